// Encodes a Bitmap as a baseline JFIF stream with libjpeg, written to an open file descriptor.
#pragma once

#include <cstdint>
#include <vector>

#include "trim/bitmap.h"

namespace phototrim {

// libjpeg's defaults for RGB input (YCbCr, 2x2/1x1/1x1, standard Huffman tables, no restarts,
// JFIF density unit 0 at 1 x 1), the float FDCT and `quality` scaled with baseline forced. The ICC
// profile follows the JFIF marker when `colorProfile` is not empty; nothing else is written.
// Every write is checked; false when encoding or any write fails.
bool EncodeJpegToFd(const Bitmap& picture, const std::vector<std::uint8_t>& colorProfile, int quality, int fd);

}  // namespace phototrim
