// Reads the orientation tag from the EXIF block of a JPEG file, trusting nothing in it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace phototrim {

// The orientation (1 to 8) that tag 0x0112 of IFD0 gives, from an APP1 payload that starts with
// "Exif\0\0" followed by a TIFF header in either byte order. 1 (upright) when the block is not
// EXIF, has no such tag, or the tag is damaged or out of range.
int ExifOrientation(const std::uint8_t* data, std::size_t size);

}  // namespace phototrim
