// The naive CMYK to RGB conversion, as viewers without a CMYK profile show such files.
#include "trim/codec/cmyk_rows.h"

namespace phototrim {

void CmykRowToBgr(const std::uint8_t* cmyk, std::uint8_t* bgr, int width, bool inverted) {
  // Adobe files store CMYK inverted (255 is no ink), so the usual conversion
  // R = (255-C)(255-K)/255 becomes R = C*K/255 on the stored values. Rounded to nearest: 255 is
  // odd, so a quotient is never exactly halfway, and adding 127 before the division rounds it.
  for (int x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
    unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
    if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
    bgr[0] = static_cast<std::uint8_t>((y * k + 127) / 255);
    bgr[1] = static_cast<std::uint8_t>((m * k + 127) / 255);
    bgr[2] = static_cast<std::uint8_t>((c * k + 127) / 255);
  }
}

}  // namespace phototrim
