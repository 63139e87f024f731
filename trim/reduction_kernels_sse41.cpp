// The reduction's kernels with 128-bit vectors (SSE2, and SSE4.1 for the 32-bit multiply).
#include "trim/reduction_kernels.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include "trim/area_spans.h"
#include "trim/sharpen.h"

#define PHOTOTRIM_SSE41 __attribute__((target("sse4.1")))

namespace phototrim {

namespace {

PHOTOTRIM_SSE41 inline void Transpose4(__m128i& a, __m128i& b, __m128i& c, __m128i& d) {
  const __m128i ab0 = _mm_unpacklo_epi32(a, b);  // a0 b0 a1 b1
  const __m128i ab1 = _mm_unpackhi_epi32(a, b);  // a2 b2 a3 b3
  const __m128i cd0 = _mm_unpacklo_epi32(c, d);
  const __m128i cd1 = _mm_unpackhi_epi32(c, d);
  a = _mm_unpacklo_epi64(ab0, cd0);  // a0 b0 c0 d0
  b = _mm_unpackhi_epi64(ab0, cd0);
  c = _mm_unpacklo_epi64(ab1, cd1);
  d = _mm_unpackhi_epi64(ab1, cd1);
}

// Four int32 quotients of 4 sums: two doubles at a time, see ExactAverage for why this is exact.
PHOTOTRIM_SSE41 inline __m128i Averages(__m128i total, __m128d inverse01, __m128d inverse23) {
  const __m128d bias = _mm_set1_pd(kAverageBias);
  const __m128i q01 = _mm_cvttpd_epi32(_mm_add_pd(_mm_mul_pd(_mm_cvtepi32_pd(total), inverse01), bias));
  const __m128i q23 = _mm_cvttpd_epi32(
      _mm_add_pd(_mm_mul_pd(_mm_cvtepi32_pd(_mm_shuffle_epi32(total, 0xEE)), inverse23), bias));
  return _mm_unpacklo_epi64(q01, q23);
}

}  // namespace

PHOTOTRIM_SSE41 void VerticalBandSse41(const BandRow* band, std::size_t begin, std::size_t end, std::int32_t* sums) {
  alignas(16) std::int32_t block[kBandRows][16];
  const __m128i zero = _mm_setzero_si128();
  std::size_t p = begin;
  for (; p + 16 <= end; p += 16) {
    for (int r = 0; r < kBandRows; ++r) {
      const BandRow& lane = band[r];
      __m128i s0 = zero, s1 = zero, s2 = zero, s3 = zero;
      for (int t = 0; t < lane.count; t += 2) {
        // Bytes of two rows interleaved and widened to 16 bits, then one multiply-add per pair:
        // w0*a + w1*b in 32 bits (at most 2*100*255, no overflow).
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lane.rows[t] + p));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lane.rows[t + 1] + p));
        const __m128i pair = _mm_set1_epi32(lane.pairs[t / 2]);
        const __m128i lo = _mm_unpacklo_epi8(a, b);
        const __m128i hi = _mm_unpackhi_epi8(a, b);
        s0 = _mm_add_epi32(s0, _mm_madd_epi16(_mm_unpacklo_epi8(lo, zero), pair));
        s1 = _mm_add_epi32(s1, _mm_madd_epi16(_mm_unpackhi_epi8(lo, zero), pair));
        s2 = _mm_add_epi32(s2, _mm_madd_epi16(_mm_unpacklo_epi8(hi, zero), pair));
        s3 = _mm_add_epi32(s3, _mm_madd_epi16(_mm_unpackhi_epi8(hi, zero), pair));
      }
      _mm_store_si128(reinterpret_cast<__m128i*>(block[r] + 0), s0);
      _mm_store_si128(reinterpret_cast<__m128i*>(block[r] + 4), s1);
      _mm_store_si128(reinterpret_cast<__m128i*>(block[r] + 8), s2);
      _mm_store_si128(reinterpret_cast<__m128i*>(block[r] + 12), s3);
    }
    // Band rows side by side: [position][row].
    for (int j = 0; j < 16; j += 4) {
      for (int r0 = 0; r0 < kBandRows; r0 += 4) {
        __m128i a = _mm_load_si128(reinterpret_cast<const __m128i*>(block[r0 + 0] + j));
        __m128i b = _mm_load_si128(reinterpret_cast<const __m128i*>(block[r0 + 1] + j));
        __m128i c = _mm_load_si128(reinterpret_cast<const __m128i*>(block[r0 + 2] + j));
        __m128i d = _mm_load_si128(reinterpret_cast<const __m128i*>(block[r0 + 3] + j));
        Transpose4(a, b, c, d);
        std::int32_t* to = sums + (p + static_cast<std::size_t>(j)) * kBandRows + r0;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 0 * kBandRows), a);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 1 * kBandRows), b);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 2 * kBandRows), c);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 3 * kBandRows), d);
      }
    }
  }
  if (p < end) VerticalBandPlain(band, p, end, sums);
}

PHOTOTRIM_SSE41 void HorizontalBandSse41(const std::int32_t* sums, const ColumnTaps& taps, const double* rowInverse,
                                         int rows, std::uint8_t* const* out) {
  const __m128d rowInv[4] = {_mm_loadu_pd(rowInverse + 0), _mm_loadu_pd(rowInverse + 2),
                             _mm_loadu_pd(rowInverse + 4), _mm_loadu_pd(rowInverse + 6)};
  const auto* vectors = reinterpret_cast<const __m128i*>(sums);
  for (int x = 0; x < taps.count; ++x) {
    // Each position holds the band's 8 rows in two vectors; a source column is 3 positions.
    const __m128i* column = vectors + static_cast<std::size_t>(taps.start[x]) * 6;
    const std::int32_t* weights = taps.weights + static_cast<std::size_t>(x) * static_cast<std::size_t>(taps.taps);
    __m128i total[6];
    for (auto& t : total) t = _mm_setzero_si128();
    for (int k = 0; k < taps.taps; ++k, column += 6) {
      const __m128i weight = _mm_set1_epi32(weights[k]);
      for (int j = 0; j < 6; ++j)
        total[j] = _mm_add_epi32(total[j], _mm_mullo_epi32(weight, _mm_loadu_si128(column + j)));
    }
    const __m128d columnInv = _mm_set1_pd(taps.inverse[x]);
    const __m128d inv[4] = {_mm_mul_pd(columnInv, rowInv[0]), _mm_mul_pd(columnInv, rowInv[1]),
                            _mm_mul_pd(columnInv, rowInv[2]), _mm_mul_pd(columnInv, rowInv[3])};
    alignas(16) std::uint8_t bytes[3][16];
    for (int c = 0; c < 3; ++c) {
      const __m128i low = Averages(total[2 * c], inv[0], inv[1]);
      const __m128i high = Averages(total[2 * c + 1], inv[2], inv[3]);
      const __m128i words = _mm_packs_epi32(low, high);
      _mm_store_si128(reinterpret_cast<__m128i*>(bytes[c]), _mm_packus_epi16(words, words));
    }
    for (int r = 0; r < rows; ++r) {
      out[r * 3 + 0][x] = bytes[0][r];
      out[r * 3 + 1][x] = bytes[1][r];
      out[r * 3 + 2][x] = bytes[2][r];
    }
  }
}

PHOTOTRIM_SSE41 void SharpenRowSse41(const std::uint8_t* const* above, const std::uint8_t* const* row,
                                     const std::uint8_t* const* below, int w, std::uint8_t* out) {
  SharpenRowBody(above, row, below, w, out);
}

}  // namespace phototrim

#endif
