// libFuzzer target: the crop positions file's parser; what it accepts must read back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "trim/geometry/crop_positions_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  phototrim::CropPositions read;
  phototrim::PositionsFileError error;
  if (!phototrim::ParseCropPositions(text, read, error)) {
    if (error.line < 1 || error.reason.empty() || !read.empty()) std::abort();
    return 0;
  }
  phototrim::CropPositions again;
  if (!phototrim::ParseCropPositions(phototrim::CropPositionsText(read), again, error)) std::abort();
  if (again.size() != read.size()) std::abort();
  for (const auto& [path, entry] : read.Entries())
    if (again.Of(path) != entry.place || entry.place.x > 10000 || entry.place.y > 10000) std::abort();
  return 0;
}
