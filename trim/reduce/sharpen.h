// The luminance sharpening of the reduced picture: the exact arithmetic of one pixel and one row.
#pragma once

#include <cstdint>

namespace phototrim {

// The tool's own luminance weights, over 255: red takes 28 (not 77) and blue 151 (not 29).
inline constexpr int kLumaRed = 28;
inline constexpr int kLumaGreen = 77;
inline constexpr int kLumaBlue = 151;

// Luminance of a pixel.
inline int Luminance(int blue, int green, int red) { return (kLumaRed * red + kLumaGreen * green + kLumaBlue * blue) / 255; }

// The sharpened luminance: half the difference to the neighbours' luminance Lb is added, the
// halving truncated toward zero (C++ division of a negative value).
inline int SharpenedLuminance(int L0, int Lb) { return L0 - (Lb - L0) / 2; }

// n / 255 for n < 65536: (n * 32897) >> 23, the high half of the product shifted by 7; exact
// because 32897*255 - 2^23 = 127 and n * 127 < 2^23 for every 16-bit n.
inline constexpr std::uint16_t kDivide255Multiplier = 32897;
inline constexpr int kDivide255Shift = 7;
// k / 12 for k < 8192: (k * 5462) >> 16, the high half of the product; exact because
// 5462*12 - 2^16 = 8 and k * 8 < 2^16. A blurred channel is at most 12 * 255.
inline constexpr std::uint16_t kDivide12Multiplier = 5462;

// Each channel becomes clamp(trunc(C0 * Lnew / L0), 0, 255). It is computed in float as
// t = RN(RN(C0 * ratio) + 2^-10) with ratio = RN(Lnew * RN(1/L0)), all operands exact integers.
// For a true quotient Q = C0*Lnew/L0 in [0, 256) the three roundings of C0*ratio move it by less
// than 256 * 3.01 * 2^-24 < 4.6e-5 and the last one by at most 2^-16, so t lies in
// (Q + 9.1e-4, Q + 1.04e-3): above Q, and below the next integer, which a Q that is not an integer
// has at least 1/L0 >= 1/255 above it. Truncation therefore gives floor(Q). Q >= 256 gives t > 255,
// clamped to 255; Lnew < 0 gives t < 0 (or t = 2^-10 when C0 = 0), clamped to 0. L0 = 0 forces
// Lnew = -(Lb/2) <= 0, hence black, as the rule wants; 1/L0 is then taken as 1 only to stay finite.
// A test checks every C0, L0 and Lb.
inline float LuminanceRatio(int Lnew, int L0) {
  return static_cast<float>(Lnew) * (1.0f / static_cast<float>(L0 > 0 ? L0 : 1));
}
inline constexpr float kScaleBias = 0x1p-10f;
inline int ScaledChannel(int c0, float ratio) {
  const int q = static_cast<int>(static_cast<float>(c0) * ratio + kScaleBias);
  return q < 0 ? 0 : (q > 255 ? 255 : q);
}

// Inner pixels xBegin .. xEnd-1 of one target row, each sharpened from its eight neighbours
// weighted 1 2 1 / 2 0 2 / 1 2 1 (sum 12, per channel, divided with truncation). Rows are planar
// (blue, green, red at [0], [1], [2]); out gets blue, green, red bytes from pixel 0 on. Written so
// that the compiler can vectorise it; the vector kernels use it for the pixels after their last
// full vector.
[[gnu::always_inline]] inline void SharpenInner(const std::uint16_t* const* above, const std::uint16_t* const* row,
                                                const std::uint16_t* const* below, int xBegin, int xEnd,
                                                std::uint8_t* __restrict out) {
  const std::uint16_t* __restrict aB = above[0];
  const std::uint16_t* __restrict aG = above[1];
  const std::uint16_t* __restrict aR = above[2];
  const std::uint16_t* __restrict mB = row[0];
  const std::uint16_t* __restrict mG = row[1];
  const std::uint16_t* __restrict mR = row[2];
  const std::uint16_t* __restrict bB = below[0];
  const std::uint16_t* __restrict bG = below[1];
  const std::uint16_t* __restrict bR = below[2];
  for (int x = xBegin; x < xEnd; ++x) {
    const int blurB = (aB[x - 1] + 2 * aB[x] + aB[x + 1] + 2 * mB[x - 1] + 2 * mB[x + 1] + bB[x - 1] + 2 * bB[x] + bB[x + 1]) / 12;
    const int blurG = (aG[x - 1] + 2 * aG[x] + aG[x + 1] + 2 * mG[x - 1] + 2 * mG[x + 1] + bG[x - 1] + 2 * bG[x] + bG[x + 1]) / 12;
    const int blurR = (aR[x - 1] + 2 * aR[x] + aR[x + 1] + 2 * mR[x - 1] + 2 * mR[x + 1] + bR[x - 1] + 2 * bR[x] + bR[x + 1]) / 12;
    const int L0 = Luminance(mB[x], mG[x], mR[x]);
    const float ratio = LuminanceRatio(SharpenedLuminance(L0, Luminance(blurB, blurG, blurR)), L0);
    out[3 * x + 0] = static_cast<std::uint8_t>(ScaledChannel(mB[x], ratio));
    out[3 * x + 1] = static_cast<std::uint8_t>(ScaledChannel(mG[x], ratio));
    out[3 * x + 2] = static_cast<std::uint8_t>(ScaledChannel(mR[x], ratio));
  }
}

// The first and last pixel of a row stay as they are.
inline void CopyBorderPixels(const std::uint16_t* const* row, int w, std::uint8_t* out) {
  for (int c = 0; c < 3; ++c) {
    out[c] = static_cast<std::uint8_t>(row[c][0]);
    out[3 * (w - 1) + c] = static_cast<std::uint8_t>(row[c][w - 1]);
  }
}

// One whole target row: border pixels unchanged, the others sharpened.
void SharpenRowPlain(const std::uint16_t* const* above, const std::uint16_t* const* row,
                     const std::uint16_t* const* below, int w, std::uint8_t* out);

// A border row: the reduced pixels unchanged, as blue, green, red bytes.
void CopyReducedRow(const std::uint16_t* const* row, int w, std::uint8_t* out);

}  // namespace phototrim
