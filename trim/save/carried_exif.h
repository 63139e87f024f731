// The Exif capture data an output carries on request: dates, camera, lens and exposure, never GPS
// unless asked, never a thumbnail or a maker note; written with libexiv2.
#pragma once

#include <cstdint>
#include <vector>

namespace phototrim {

struct ExifCarry {
  bool keepGps = false;
  int dpi = 0;  // the output's print resolution, or 0 when it states none
};

// The APP1 payload ("Exif\0\0" and a TIFF structure) for an output of `width` x `height` from the
// input's Exif block `tiff` (from its TIFF header on). The pixels are upright, so an Orientation is
// 1; PixelX/YDimension, when the input had them, are the output's. Empty when the input has no
// readable Exif or what is kept would not fit in one marker.
std::vector<std::uint8_t> CarriedExif(const std::vector<std::uint8_t>& tiff, int width, int height, const ExifCarry& carry);

}  // namespace phototrim
