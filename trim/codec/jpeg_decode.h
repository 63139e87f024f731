// Decodes a JPEG stream held in memory into a Bitmap with libjpeg, within the load limits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "trim/bitmap.h"
#include "trim/codec/jpeg_load.h"

namespace phototrim {

// Decodes `data` into `work` as stored (no orientation applied): full size, float IDCT, block
// smoothing and fancy upsampling on, BGR rows; grayscale widened, CMYK and YCCK made RGB.
// `orientation` gets the EXIF orientation (1 when there is none); `colorProfile` the ICC profile
// when its data colour space is RGB, else it is cleared. Returns kOk, kLoadFailed or kOutOfMemory.
int DecodeJpeg(const std::uint8_t* data, std::size_t size, const LoadLimits& limits, Bitmap& work,
               int& orientation, std::vector<std::uint8_t>& colorProfile);

}  // namespace phototrim
