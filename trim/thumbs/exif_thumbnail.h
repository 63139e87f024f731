// The small JPEG that cameras and phones embed in a photo's Exif block, read with libexiv2.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace phototrim {

// The embedded thumbnail's JPEG bytes, or empty when there is none or the file's metadata cannot
// be read (libexiv2's exceptions end here). Safe to call from several threads at once.
std::vector<std::uint8_t> ExifThumbnailBytes(const std::string& path);

}  // namespace phototrim
