// What the vector kernels of the reduction share: exact divisions by multiplication, the luminance,
// and the shuffles that interleave planar blue, green, red into pixels. x86 only.
#pragma once

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "trim/reduce/sharpen.h"

#define PHOTOTRIM_SSE41 __attribute__((target("sse4.1")))
#define PHOTOTRIM_AVX2 __attribute__((target("avx2")))

namespace phototrim {

// Source rows are read this far ahead: the band reads a dozen rows side by side, more streams
// than the processor's own prefetcher follows well.
inline constexpr std::size_t kPrefetchAhead = 512;

// n / 255 for n < 65536: (n * 32897) >> 23, the high half of the product shifted by 7; exact
// because 32897*255 - 2^23 = 127 and n * 127 < 2^23 for every 16-bit n.
inline constexpr std::uint16_t kDivide255Multiplier = 32897;
inline constexpr int kDivide255Shift = 7;
// k / 12 for k < 8192: (k * 5462) >> 16, the high half of the product; exact because
// 5462*12 - 2^16 = 8 and k * 8 < 2^16. A blurred channel is at most 12 * 255.
inline constexpr std::uint16_t kDivide12Multiplier = 5462;

PHOTOTRIM_SSE41 inline __m128i Divide255(__m128i n) {
  return _mm_srli_epi16(_mm_mulhi_epu16(n, _mm_set1_epi16(static_cast<short>(kDivide255Multiplier))), kDivide255Shift);
}
PHOTOTRIM_AVX2 inline __m256i Divide255(__m256i n) {
  return _mm256_srli_epi16(_mm256_mulhi_epu16(n, _mm256_set1_epi16(static_cast<short>(kDivide255Multiplier))),
                           kDivide255Shift);
}
PHOTOTRIM_SSE41 inline __m128i Divide12(__m128i k) {
  return _mm_mulhi_epu16(k, _mm_set1_epi16(static_cast<short>(kDivide12Multiplier)));
}
PHOTOTRIM_AVX2 inline __m256i Divide12(__m256i k) {
  return _mm256_mulhi_epu16(k, _mm256_set1_epi16(static_cast<short>(kDivide12Multiplier)));
}

// The luminance of blue, green, red in 16-bit lanes ([0], [1], [2]): at most 255 * 255, so the
// weighted sum fits 16 bits unsigned.
PHOTOTRIM_SSE41 inline __m128i Luma(const __m128i (&c)[3]) {
  return Divide255(_mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(c[2], _mm_set1_epi16(kLumaRed)),
                                               _mm_mullo_epi16(c[1], _mm_set1_epi16(kLumaGreen))),
                                 _mm_mullo_epi16(c[0], _mm_set1_epi16(kLumaBlue))));
}
PHOTOTRIM_AVX2 inline __m256i Luma(const __m256i (&c)[3]) {
  return Divide255(_mm256_add_epi16(_mm256_add_epi16(_mm256_mullo_epi16(c[2], _mm256_set1_epi16(kLumaRed)),
                                                     _mm256_mullo_epi16(c[1], _mm256_set1_epi16(kLumaGreen))),
                                    _mm256_mullo_epi16(c[0], _mm256_set1_epi16(kLumaBlue))));
}

// Eight target columns of one channel, each the band's 8 rows as 16-bit lanes, written as rows:
// out[r * 3 + channel][x .. x+count-1] for r < rows. An 8 x 8 transposition of 16-bit values.
PHOTOTRIM_SSE41 inline void StoreColumnsAsRows(const __m128i (&column)[8], int count, int rows, std::uint16_t* const* out,
                                               int channel, int x) {
  const __m128i a0 = _mm_unpacklo_epi16(column[0], column[1]), a1 = _mm_unpackhi_epi16(column[0], column[1]);
  const __m128i a2 = _mm_unpacklo_epi16(column[2], column[3]), a3 = _mm_unpackhi_epi16(column[2], column[3]);
  const __m128i a4 = _mm_unpacklo_epi16(column[4], column[5]), a5 = _mm_unpackhi_epi16(column[4], column[5]);
  const __m128i a6 = _mm_unpacklo_epi16(column[6], column[7]), a7 = _mm_unpackhi_epi16(column[6], column[7]);
  const __m128i b0 = _mm_unpacklo_epi32(a0, a2), b1 = _mm_unpackhi_epi32(a0, a2);  // rows 0-1, 2-3 of columns 0-3
  const __m128i b2 = _mm_unpacklo_epi32(a1, a3), b3 = _mm_unpackhi_epi32(a1, a3);  // rows 4-5, 6-7
  const __m128i b4 = _mm_unpacklo_epi32(a4, a6), b5 = _mm_unpackhi_epi32(a4, a6);  // the same of columns 4-7
  const __m128i b6 = _mm_unpacklo_epi32(a5, a7), b7 = _mm_unpackhi_epi32(a5, a7);
  const __m128i row[8] = {_mm_unpacklo_epi64(b0, b4), _mm_unpackhi_epi64(b0, b4), _mm_unpacklo_epi64(b1, b5),
                          _mm_unpackhi_epi64(b1, b5), _mm_unpacklo_epi64(b2, b6), _mm_unpackhi_epi64(b2, b6),
                          _mm_unpacklo_epi64(b3, b7), _mm_unpackhi_epi64(b3, b7)};
  for (int r = 0; r < rows; ++r) {
    std::uint16_t* to = out[r * 3 + channel] + x;
    if (count == 8) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to), row[r]);
    } else {
      alignas(16) std::uint16_t values[8];
      _mm_store_si128(reinterpret_cast<__m128i*>(values), row[r]);
      for (int i = 0; i < count; ++i) to[i] = values[i];
    }
  }
}

// Byte shuffles that interleave planar blue, green, red into pixels: output byte g of the row
// piece is channel g % 3 of pixel g / 3; 0x80 leaves a zero for the other channels to fill.
struct InterleaveMasks {
  alignas(16) std::uint8_t mask[3][3][16];  // [output vector][channel][byte]
  constexpr InterleaveMasks() : mask{} {
    for (int k = 0; k < 3; ++k)
      for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 16; ++i) {
          const int g = 16 * k + i;
          mask[k][c][i] = static_cast<std::uint8_t>(g % 3 == c ? g / 3 : 0x80);
        }
  }
};
inline constexpr InterleaveMasks kInterleave;

// Output vector k (bytes 16k .. 16k+15) of 16 pixels whose channels are the bytes of blue, green, red.
PHOTOTRIM_SSE41 inline __m128i Interleaved(int k, __m128i blue, __m128i green, __m128i red) {
  const auto m = [k](int c) { return _mm_load_si128(reinterpret_cast<const __m128i*>(kInterleave.mask[k][c])); };
  return _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(blue, m(0)), _mm_shuffle_epi8(green, m(1))), _mm_shuffle_epi8(red, m(2)));
}

}  // namespace phototrim

#endif
