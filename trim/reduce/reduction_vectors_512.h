// What the 512-bit kernels of the reduction share: the exact quotient of the area average, the
// sharpening's arithmetic in 32 lanes, and the byte shuffle back to pixels. x86 only.
#pragma once

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include <cstdint>

#include "trim/reduce/sharpen.h"

#define PHOTOTRIM_AVX512 __attribute__((target("avx2,avx512f,avx512bw,avx512vl,avx512vbmi,avx512vnni")))

namespace phototrim {

// floor(sum / total) for 16 lanes with 0 <= sum < 2^31 and 255 * total < 2^31 (so sum <= 255 * total
// and the quotient Q < 256), given inverse = RN(RN(1/Sx) * RN(1/Sy)) in float, within 3.01 * 2^-24
// of 1/total. The estimate e = RN(RN(sum) * inverse + 2^-10) (the last two steps one fused rounding)
// is within 255 * 4.02 * 2^-24 + 2^-17 < 7.7e-5 of sum/total + 2^-10, and 2^-10 > 9.7e-4: so
// Q <= sum/total < e < sum/total + 1.1e-3 < Q + 2. Its truncation q is thus Q or Q + 1, and
// q * total > sum tells which. q * total <= 256 * total < 2^32 is compared unsigned.
inline constexpr float kEstimateBias = 0x1p-10f;
PHOTOTRIM_AVX512 inline __m512i ExactAverages(__m512i sum, __m512i total, __m512 inverse) {
  const __m512 estimate = _mm512_fmadd_ps(_mm512_cvtepi32_ps(sum), inverse, _mm512_set1_ps(kEstimateBias));
  const __m512i q = _mm512_cvttps_epi32(estimate);
  const __mmask16 over = _mm512_cmpgt_epu32_mask(_mm512_mullo_epi32(q, total), sum);
  return _mm512_mask_sub_epi32(q, over, q, _mm512_set1_epi32(1));
}

PHOTOTRIM_AVX512 inline __m512i Divide255(__m512i n) {
  return _mm512_srli_epi16(_mm512_mulhi_epu16(n, _mm512_set1_epi16(static_cast<short>(kDivide255Multiplier))),
                           kDivide255Shift);
}
PHOTOTRIM_AVX512 inline __m512i Divide12(__m512i k) {
  return _mm512_mulhi_epu16(k, _mm512_set1_epi16(static_cast<short>(kDivide12Multiplier)));
}
// The luminance of blue, green, red in 16-bit lanes ([0], [1], [2]): at most 255 * 255, so the
// weighted sum fits 16 bits unsigned.
PHOTOTRIM_AVX512 inline __m512i Luma(const __m512i (&c)[3]) {
  return Divide255(_mm512_add_epi16(_mm512_add_epi16(_mm512_mullo_epi16(c[2], _mm512_set1_epi16(kLumaRed)),
                                                     _mm512_mullo_epi16(c[1], _mm512_set1_epi16(kLumaGreen))),
                                    _mm512_mullo_epi16(c[0], _mm512_set1_epi16(kLumaBlue))));
}

// The channel rule of the sharpening, clamp(trunc(C0 * Lnew / L0), 0, 255), in integers. With
// t = Lnew * 2^16 / L0 (for Lnew > 0, L0 > 0) and K = ceil(t), the result is floor(C0 * K / 2^16):
// C0 * K / 2^16 exceeds q = C0 * Lnew / L0 by less than C0 / 2^16 <= 255 / 65536 < 1/255, and the
// next integer above q is at least 1/L0 >= 1/255 away (q is a multiple of 1/L0). K comes from one
// float division rounded up, then converted rounding up: Lnew * 2^16 and L0 are exact floats, every
// integer up to 2^24 is one, so the result is ceil(t) exactly. K is capped at 2^24 (t > 2^24 means
// Lnew / L0 > 256, so q >= 256 for C0 >= 1: 255 either way, and 0 for C0 = 0). Lnew <= 0, and L0 = 0
// (which forces Lnew = -(Lb/2) <= 0), give K = 0: black, as the rule wants.
// C0 * K / 2^16 is then C0 * (K >> 16) + (C0 * (K & 0xFFFF)) >> 16 in 16-bit lanes: at most
// 255 * 255 + 254 (or 255 * 256 when K = 2^24 and the low half is 0), so it never wraps, and the
// unsigned saturation to bytes is the clamp to 255.
struct LuminanceScale {
  __m512i high;  // K >> 16, 0..256
  __m512i low;   // K & 0xFFFF
};
inline constexpr float kScaleCap = 0x1p24f;
PHOTOTRIM_AVX512 inline __m512i ScaleOf16(__m256i Lnew, __m256i L0) {
  constexpr int kUp = _MM_FROUND_TO_POS_INF | _MM_FROUND_NO_EXC;
  const __m512 numerator = _mm512_cvtepi32_ps(_mm512_slli_epi32(_mm512_cvtepi16_epi32(Lnew), 16));
  const __m512 denominator = _mm512_cvtepi32_ps(_mm512_max_epi32(_mm512_cvtepu16_epi32(L0), _mm512_set1_epi32(1)));
  const __m512 t = _mm512_min_ps(_mm512_div_round_ps(numerator, denominator, kUp), _mm512_set1_ps(kScaleCap));
  return _mm512_max_epi32(_mm512_cvt_roundps_epi32(t, kUp), _mm512_setzero_si512());
}
// Word indices of the low and the high halves of 32 dwords held in two vectors.
struct HalvesOfDwords {
  alignas(64) std::uint16_t low[32];
  alignas(64) std::uint16_t high[32];
  constexpr HalvesOfDwords() : low{}, high{} {
    for (int i = 0; i < 32; ++i) {
      low[i] = static_cast<std::uint16_t>(2 * i);
      high[i] = static_cast<std::uint16_t>(2 * i + 1);
    }
  }
};
inline constexpr HalvesOfDwords kHalvesOfDwords;
PHOTOTRIM_AVX512 inline LuminanceScale ScaleOf(__m512i Lnew, __m512i L0) {
  const __m512i first = ScaleOf16(_mm512_castsi512_si256(Lnew), _mm512_castsi512_si256(L0));
  const __m512i second = ScaleOf16(_mm512_extracti64x4_epi64(Lnew, 1), _mm512_extracti64x4_epi64(L0, 1));
  const __m512i low = _mm512_load_si512(kHalvesOfDwords.low);
  const __m512i high = _mm512_load_si512(kHalvesOfDwords.high);
  return {_mm512_permutex2var_epi16(first, high, second), _mm512_permutex2var_epi16(first, low, second)};
}
PHOTOTRIM_AVX512 inline __m256i ScaledChannel(__m512i c0, const LuminanceScale& scale) {
  return _mm512_cvtusepi16_epi8(_mm512_add_epi16(_mm512_mullo_epi16(c0, scale.high), _mm512_mulhi_epu16(c0, scale.low)));
}

// Byte permutes that interleave 32 blue, green and red bytes into 32 pixels: the first table is
// blue then green, the second red; output byte g is channel g % 3 of pixel g / 3.
struct InterleaveIndices {
  alignas(64) std::uint8_t first[64];   // output bytes 0 .. 63
  alignas(64) std::uint8_t second[64];  // output bytes 64 .. 95 (the rest unused)
  constexpr InterleaveIndices() : first{}, second{} {
    for (int g = 0; g < 96; ++g) {
      const int pixel = g / 3, channel = g % 3;
      const auto index = static_cast<std::uint8_t>(channel * 32 + pixel);
      (g < 64 ? first[g] : second[g - 64]) = index;
    }
  }
};
inline constexpr InterleaveIndices kInterleave512;
PHOTOTRIM_AVX512 inline void StoreInterleaved(__m256i blue, __m256i green, __m256i red, std::uint8_t* to) {
  const __m512i blueGreen = _mm512_inserti64x4(_mm512_castsi256_si512(blue), green, 1);
  const __m512i reds = _mm512_castsi256_si512(red);
  const __m512i first = _mm512_permutex2var_epi8(blueGreen, _mm512_load_si512(kInterleave512.first), reds);
  const __m512i second = _mm512_permutex2var_epi8(blueGreen, _mm512_load_si512(kInterleave512.second), reds);
  _mm512_storeu_si512(to, first);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + 64), _mm512_castsi512_si256(second));
}

}  // namespace phototrim

#endif
