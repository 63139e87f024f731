// The markers of one output: the stated print resolution and the carried Exif capture data.
#include "trim/save/output_markers.h"

#include "trim/save/carried_exif.h"

namespace phototrim {

int StatedDpi(const SizeSettings& size, bool dpiTag) {
  if (!dpiTag) return 0;
  // As the target size is computed: a row out of the table is L, and both fixed texts replace the row.
  const bool validRow = size.row >= 0 && size.row < static_cast<int>(kSizeTable.size());
  const bool print = !validRow || kSizeTable[static_cast<std::size_t>(size.row)].kind == SizeKind::Print;
  const bool fixed = !size.fixedFirst.empty() && !size.fixedSecond.empty();
  return print && !fixed && size.dpi > 0 ? size.dpi : 0;
}

JpegMarkers OutputMarkers(const std::vector<std::uint8_t>& inputExif, int width, int height, const MarkerSettings& settings) {
  JpegMarkers markers;
  markers.dpi = settings.dpi;
  if (settings.keepExif) markers.exif = CarriedExif(inputExif, width, height, {settings.keepGps, settings.dpi});
  return markers;
}

}  // namespace phototrim
