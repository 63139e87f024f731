// The reduction's kernels with 256-bit vectors (AVX2), run only where the processor has them.
#include "trim/reduction_kernels.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include "trim/area_spans.h"
#include "trim/sharpen.h"

#define PHOTOTRIM_AVX2 __attribute__((target("avx2")))

namespace phototrim {

namespace {

// Eight rows of eight 32-bit values become eight columns.
PHOTOTRIM_AVX2 inline void Transpose8(__m256i (&v)[8]) {
  const __m256i t0 = _mm256_unpacklo_epi32(v[0], v[1]);
  const __m256i t1 = _mm256_unpackhi_epi32(v[0], v[1]);
  const __m256i t2 = _mm256_unpacklo_epi32(v[2], v[3]);
  const __m256i t3 = _mm256_unpackhi_epi32(v[2], v[3]);
  const __m256i t4 = _mm256_unpacklo_epi32(v[4], v[5]);
  const __m256i t5 = _mm256_unpackhi_epi32(v[4], v[5]);
  const __m256i t6 = _mm256_unpacklo_epi32(v[6], v[7]);
  const __m256i t7 = _mm256_unpackhi_epi32(v[6], v[7]);
  const __m256i u0 = _mm256_unpacklo_epi64(t0, t2);
  const __m256i u1 = _mm256_unpackhi_epi64(t0, t2);
  const __m256i u2 = _mm256_unpacklo_epi64(t1, t3);
  const __m256i u3 = _mm256_unpackhi_epi64(t1, t3);
  const __m256i u4 = _mm256_unpacklo_epi64(t4, t6);
  const __m256i u5 = _mm256_unpackhi_epi64(t4, t6);
  const __m256i u6 = _mm256_unpacklo_epi64(t5, t7);
  const __m256i u7 = _mm256_unpackhi_epi64(t5, t7);
  v[0] = _mm256_permute2x128_si256(u0, u4, 0x20);
  v[1] = _mm256_permute2x128_si256(u1, u5, 0x20);
  v[2] = _mm256_permute2x128_si256(u2, u6, 0x20);
  v[3] = _mm256_permute2x128_si256(u3, u7, 0x20);
  v[4] = _mm256_permute2x128_si256(u0, u4, 0x31);
  v[5] = _mm256_permute2x128_si256(u1, u5, 0x31);
  v[6] = _mm256_permute2x128_si256(u2, u6, 0x31);
  v[7] = _mm256_permute2x128_si256(u3, u7, 0x31);
}

// Eight int32 quotients of 8 sums, four doubles at a time; see ExactAverage for why this is exact.
PHOTOTRIM_AVX2 inline __m128i Averages(__m256i total, __m256d inverseLow, __m256d inverseHigh) {
  const __m256d bias = _mm256_set1_pd(kAverageBias);
  const __m128i low = _mm256_cvttpd_epi32(
      _mm256_add_pd(_mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(total)), inverseLow), bias));
  const __m128i high = _mm256_cvttpd_epi32(
      _mm256_add_pd(_mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(total, 1)), inverseHigh), bias));
  return _mm_packs_epi32(low, high);  // 8 x 16 bits, each 0..255
}

}  // namespace

PHOTOTRIM_AVX2 void VerticalBandAvx2(const BandRow* band, std::size_t begin, std::size_t end, std::int32_t* sums) {
  alignas(32) std::int32_t block[kBandRows][16];
  std::size_t p = begin;
  for (; p + 16 <= end; p += 16) {
    for (int r = 0; r < kBandRows; ++r) {
      const BandRow& lane = band[r];
      __m256i low = _mm256_setzero_si256();
      __m256i high = _mm256_setzero_si256();
      for (int t = 0; t < lane.count; t += 2) {
        // Bytes of two rows interleaved and widened to 16 bits, then one multiply-add per pair:
        // w0*a + w1*b in 32 bits (at most 2*100*255, no overflow).
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lane.rows[t] + p));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lane.rows[t + 1] + p));
        const __m256i pair = _mm256_set1_epi32(lane.pairs[t / 2]);
        low = _mm256_add_epi32(low, _mm256_madd_epi16(_mm256_cvtepu8_epi16(_mm_unpacklo_epi8(a, b)), pair));
        high = _mm256_add_epi32(high, _mm256_madd_epi16(_mm256_cvtepu8_epi16(_mm_unpackhi_epi8(a, b)), pair));
      }
      _mm256_store_si256(reinterpret_cast<__m256i*>(block[r] + 0), low);
      _mm256_store_si256(reinterpret_cast<__m256i*>(block[r] + 8), high);
    }
    // Band rows side by side: [position][row].
    for (int j = 0; j < 16; j += 8) {
      __m256i v[8];
      for (int r = 0; r < kBandRows; ++r) v[r] = _mm256_load_si256(reinterpret_cast<const __m256i*>(block[r] + j));
      Transpose8(v);
      std::int32_t* to = sums + (p + static_cast<std::size_t>(j)) * kBandRows;
      for (int i = 0; i < 8; ++i) _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + i * kBandRows), v[i]);
    }
  }
  if (p < end) VerticalBandPlain(band, p, end, sums);
}

PHOTOTRIM_AVX2 void HorizontalBandAvx2(const std::int32_t* sums, const ColumnTaps& taps, const double* rowInverse,
                                       int rows, std::uint8_t* const* out) {
  const __m256d rowInvLow = _mm256_loadu_pd(rowInverse);
  const __m256d rowInvHigh = _mm256_loadu_pd(rowInverse + 4);
  const auto* vectors = reinterpret_cast<const __m256i*>(sums);
  for (int x = 0; x < taps.count; ++x) {
    // Each position holds the band's 8 rows in one vector; a source column is 3 positions.
    const __m256i* column = vectors + static_cast<std::size_t>(taps.start[x]) * 3;
    const std::int32_t* weights = taps.weights + static_cast<std::size_t>(x) * static_cast<std::size_t>(taps.taps);
    __m256i blue = _mm256_setzero_si256();
    __m256i green = _mm256_setzero_si256();
    __m256i red = _mm256_setzero_si256();
    for (int k = 0; k < taps.taps; ++k, column += 3) {
      const __m256i weight = _mm256_set1_epi32(weights[k]);
      blue = _mm256_add_epi32(blue, _mm256_mullo_epi32(weight, _mm256_loadu_si256(column + 0)));
      green = _mm256_add_epi32(green, _mm256_mullo_epi32(weight, _mm256_loadu_si256(column + 1)));
      red = _mm256_add_epi32(red, _mm256_mullo_epi32(weight, _mm256_loadu_si256(column + 2)));
    }
    const __m256d columnInv = _mm256_set1_pd(taps.inverse[x]);
    const __m256d invLow = _mm256_mul_pd(columnInv, rowInvLow);
    const __m256d invHigh = _mm256_mul_pd(columnInv, rowInvHigh);
    const __m128i blueGreen = _mm_packus_epi16(Averages(blue, invLow, invHigh), Averages(green, invLow, invHigh));
    const __m128i redBytes = _mm_packus_epi16(Averages(red, invLow, invHigh), _mm_setzero_si128());
    alignas(16) std::uint8_t bytes[32];
    _mm_store_si128(reinterpret_cast<__m128i*>(bytes), blueGreen);
    _mm_store_si128(reinterpret_cast<__m128i*>(bytes + 16), redBytes);
    for (int r = 0; r < rows; ++r) {
      out[r * 3 + 0][x] = bytes[r];
      out[r * 3 + 1][x] = bytes[8 + r];
      out[r * 3 + 2][x] = bytes[16 + r];
    }
  }
}

PHOTOTRIM_AVX2 void SharpenRowAvx2(const std::uint8_t* const* above, const std::uint8_t* const* row,
                                   const std::uint8_t* const* below, int w, std::uint8_t* out) {
  SharpenRowBody(above, row, below, w, out);
}

}  // namespace phototrim

#endif
