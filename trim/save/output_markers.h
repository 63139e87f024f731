// What a run's outputs state beyond their pixels, on request: Exif capture data, print resolution.
#pragma once

#include <cstdint>
#include <vector>

#include "trim/codec/jpeg_encode.h"
#include "trim/geometry/size_table.h"

namespace phototrim {

// Read once at the start of a run.
struct MarkerSettings {
  bool keepExif = false;
  bool keepGps = false;
  int dpi = 0;  // the print resolution to state, 0 for none
  bool operator==(const MarkerSettings&) const = default;
};

// The resolution a run's outputs state with `dpiTag`: the chosen dpi of a print size; a pixel size
// or a fixed pixel size states none.
int StatedDpi(const SizeSettings& size, bool dpiTag);

// The markers of an output of `width` x `height` made from an input with the Exif block `inputExif`.
JpegMarkers OutputMarkers(const std::vector<std::uint8_t>& inputExif, int width, int height, const MarkerSettings& settings);

}  // namespace phototrim
