// Encodes a Bitmap as a baseline JFIF stream with libjpeg, into a byte sink.
#pragma once

#include <cstdint>
#include <vector>

#include "trim/bitmap.h"
#include "trim/codec/byte_sink.h"

namespace phototrim {

// libjpeg's defaults for RGB input (YCbCr, 2x2/1x1/1x1, standard Huffman tables, no restarts,
// JFIF density unit 0 at 1 x 1), the float FDCT and `quality` scaled with baseline forced. The ICC
// profile follows the JFIF marker when `colorProfile` is not empty; nothing else is written.
// False when encoding fails or the sink refuses bytes.
// What an output states besides its pixels and colour profile, on request: its Exif capture data
// (an APP1 payload, after the JFIF marker) and its print resolution (JFIF density in dots per inch).
// Empty and 0, the stream is exactly the one without them.
struct JpegMarkers {
  std::vector<std::uint8_t> exif;
  int dpi = 0;
};

bool EncodeJpeg(const Bitmap& picture, const std::vector<std::uint8_t>& colorProfile, int quality, ByteSink& sink,
                const JpegMarkers& markers = {});

}  // namespace phototrim
