// CMYK rows as libjpeg gives them, made RGB: the one conversion of every decode that meets them.
#pragma once

#include <cstdint>

namespace phototrim {

// `width` pixels of C, M, Y, K (libjpeg's JCS_CMYK output, YCCK included) into blue, green, red.
// `inverted`: stored as Adobe writes it (libjpeg saw an Adobe marker), 255 meaning no ink.
void CmykRowToBgr(const std::uint8_t* cmyk, std::uint8_t* bgr, int width, bool inverted);

}  // namespace phototrim
