// The reduction's kernels with 128-bit vectors (SSE2, and SSE4.1 for the 32-bit multiply).
#include "trim/reduce/reduction_kernels.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include <algorithm>

#include "trim/reduce/area_spans.h"
#include "trim/reduce/reduction_vectors.h"
#include "trim/reduce/sharpen.h"

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

PHOTOTRIM_SSE41 inline __m128i Load(const std::uint16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// The low or high 4 of 8 16-bit lanes as floats: non-negative values, and signed ones.
PHOTOTRIM_SSE41 inline __m128 FloatsLow(__m128i v) { return _mm_cvtepi32_ps(_mm_unpacklo_epi16(v, _mm_setzero_si128())); }
PHOTOTRIM_SSE41 inline __m128 FloatsHigh(__m128i v) { return _mm_cvtepi32_ps(_mm_unpackhi_epi16(v, _mm_setzero_si128())); }
PHOTOTRIM_SSE41 inline __m128 SignedFloatsLow(__m128i v) { return _mm_cvtepi32_ps(_mm_unpacklo_epi16(v, _mm_srai_epi16(v, 15))); }
PHOTOTRIM_SSE41 inline __m128 SignedFloatsHigh(__m128i v) { return _mm_cvtepi32_ps(_mm_unpackhi_epi16(v, _mm_srai_epi16(v, 15))); }

}  // namespace

PHOTOTRIM_SSE41 void VerticalBandSse41(const BandRow* band, std::size_t begin, std::size_t end, std::int32_t* sums) {
  const std::size_t stop = begin + (end - begin) / 16 * 16;
  const __m128i zero = _mm_setzero_si128();
  // Half a band at a time: fewer rows read side by side keeps the memory reads streaming.
  for (int half = 0; half < kBandRows; half += 4) {
    alignas(16) std::int32_t block[4][16];
    for (std::size_t p = begin; p < stop; p += 16) {
      const bool fetch = (p & 63) == 0;  // once per cache line
      for (int r = 0; r < 4; ++r) {
        const BandRow& lane = band[half + r];
        __m128i s0 = zero, s1 = zero, s2 = zero, s3 = zero;
        for (int t = 0; t < lane.count; t += 2) {
          if (fetch) {
            _mm_prefetch(reinterpret_cast<const char*>(lane.rows[t] + p + kPrefetchAhead), _MM_HINT_T0);
            _mm_prefetch(reinterpret_cast<const char*>(lane.rows[t + 1] + p + kPrefetchAhead), _MM_HINT_T0);
          }
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
        __m128i a = _mm_load_si128(reinterpret_cast<const __m128i*>(block[0] + j));
        __m128i b = _mm_load_si128(reinterpret_cast<const __m128i*>(block[1] + j));
        __m128i c = _mm_load_si128(reinterpret_cast<const __m128i*>(block[2] + j));
        __m128i d = _mm_load_si128(reinterpret_cast<const __m128i*>(block[3] + j));
        Transpose4(a, b, c, d);
        std::int32_t* to = sums + (p + static_cast<std::size_t>(j)) * kBandRows + half;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 0 * kBandRows), a);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 1 * kBandRows), b);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 2 * kBandRows), c);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 3 * kBandRows), d);
      }
    }
  }
  if (stop < end) VerticalBandPlain(band, stop, end, sums);
}

namespace {

// Taps > 0: the tap count known at compile time, so the tap loop unrolls. Eight target columns at
// a time: their averages are put side by side as rows in registers and written to the rows at once.
template <int Taps>
PHOTOTRIM_SSE41 void HorizontalBandSse41With(const std::int32_t* sums, const ColumnTaps& taps, const double* rowInverse,
                                             int rows, std::uint16_t* const* out) {
  const __m128d rowInv[4] = {_mm_loadu_pd(rowInverse + 0), _mm_loadu_pd(rowInverse + 2),
                             _mm_loadu_pd(rowInverse + 4), _mm_loadu_pd(rowInverse + 6)};
  const auto* vectors = reinterpret_cast<const __m128i*>(sums);
  for (int x0 = 0; x0 < taps.count; x0 += 8) {
    const int count = std::min(8, taps.count - x0);
    __m128i averages[3][8];
    for (int i = 0; i < 8; ++i) {
      if (i >= count) {
        averages[0][i] = averages[1][i] = averages[2][i] = _mm_setzero_si128();
        continue;
      }
      const int x = x0 + i;
      // Each position holds the band's 8 rows in two vectors; a source column is 3 positions.
      const __m128i* column = vectors + static_cast<std::size_t>(taps.start[x]) * 6;
      const std::int32_t* weights = taps.weights + static_cast<std::size_t>(x) * static_cast<std::size_t>(taps.taps);
      __m128i total[6];
      for (auto& t : total) t = _mm_setzero_si128();
      for (int k = 0; k < (Taps > 0 ? Taps : taps.taps); ++k, column += 6) {
        const __m128i weight = _mm_set1_epi32(weights[k]);
        for (int j = 0; j < 6; ++j)
          total[j] = _mm_add_epi32(total[j], _mm_mullo_epi32(weight, _mm_loadu_si128(column + j)));
      }
      const __m128d columnInv = _mm_set1_pd(taps.inverse[x]);
      const __m128d inv[4] = {_mm_mul_pd(columnInv, rowInv[0]), _mm_mul_pd(columnInv, rowInv[1]),
                              _mm_mul_pd(columnInv, rowInv[2]), _mm_mul_pd(columnInv, rowInv[3])};
      for (int c = 0; c < 3; ++c)
        averages[c][i] = _mm_packs_epi32(Averages(total[2 * c], inv[0], inv[1]), Averages(total[2 * c + 1], inv[2], inv[3]));
    }
    for (int c = 0; c < 3; ++c) StoreColumnsAsRows(averages[c], count, rows, out, c, x0);
  }
}

}  // namespace

PHOTOTRIM_SSE41 void HorizontalBandSse41(const std::int32_t* sums, const ColumnTaps& taps, const double* rowInverse,
                                         int rows, std::uint16_t* const* out) {
  switch (taps.taps) {  // reductions down to 1/3 have at most 4 taps, to 1/4 at most 5
    case 2: HorizontalBandSse41With<2>(sums, taps, rowInverse, rows, out); break;
    case 3: HorizontalBandSse41With<3>(sums, taps, rowInverse, rows, out); break;
    case 4: HorizontalBandSse41With<4>(sums, taps, rowInverse, rows, out); break;
    case 5: HorizontalBandSse41With<5>(sums, taps, rowInverse, rows, out); break;
    default: HorizontalBandSse41With<0>(sums, taps, rowInverse, rows, out); break;
  }
}

PHOTOTRIM_SSE41 void SharpenRowSse41(const std::uint16_t* const* above, const std::uint16_t* const* row,
                                     const std::uint16_t* const* below, int w, std::uint8_t* out) {
  CopyBorderPixels(row, w, out);
  const __m128 one = _mm_set1_ps(1.0f);
  const __m128 bias = _mm_set1_ps(kScaleBias);
  // Local copies, so the compiler need not reload them after every store to `out`.
  const std::uint16_t* const a[3] = {above[0], above[1], above[2]};
  const std::uint16_t* const m[3] = {row[0], row[1], row[2]};
  const std::uint16_t* const b[3] = {below[0], below[1], below[2]};
  int x = 1;
  // Eight inner pixels at a time; the loads reach x-1 .. x+8, all inside the row.
  for (; x + 8 <= w - 1; x += 8) {
    __m128i centre[3], blur[3];
    for (int c = 0; c < 3; ++c) {
      const std::uint16_t* const ac = a[c] + x;
      const std::uint16_t* const mc = m[c] + x;
      const std::uint16_t* const bc = b[c] + x;
      const __m128i corners = _mm_add_epi16(_mm_add_epi16(Load(ac - 1), Load(ac + 1)), _mm_add_epi16(Load(bc - 1), Load(bc + 1)));
      const __m128i edges = _mm_add_epi16(_mm_add_epi16(Load(ac), Load(bc)), _mm_add_epi16(Load(mc - 1), Load(mc + 1)));
      blur[c] = Divide12(_mm_add_epi16(corners, _mm_slli_epi16(edges, 1)));  // at most 12*255
      centre[c] = Load(mc);
    }
    const __m128i L0 = Luma(centre);
    const __m128i difference = _mm_sub_epi16(Luma(blur), L0);
    // Halving toward zero: add 1 to a negative value before the arithmetic shift.
    const __m128i Lnew = _mm_sub_epi16(L0, _mm_srai_epi16(_mm_add_epi16(difference, _mm_srli_epi16(difference, 15)), 1));
    const __m128i L0atLeast1 = _mm_max_epi16(L0, _mm_set1_epi16(1));
    const __m128 ratioLow = _mm_mul_ps(SignedFloatsLow(Lnew), _mm_div_ps(one, FloatsLow(L0atLeast1)));
    const __m128 ratioHigh = _mm_mul_ps(SignedFloatsHigh(Lnew), _mm_div_ps(one, FloatsHigh(L0atLeast1)));
    __m128i words[3];
    for (int c = 0; c < 3; ++c) {
      const __m128i low = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(FloatsLow(centre[c]), ratioLow), bias));
      const __m128i high = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(FloatsHigh(centre[c]), ratioHigh), bias));
      words[c] = _mm_packs_epi32(low, high);
    }
    // packus is the clamp to 0..255.
    const __m128i blueGreen = _mm_packus_epi16(words[0], words[1]);
    const __m128i blue = blueGreen;
    const __m128i green = _mm_srli_si128(blueGreen, 8);
    const __m128i red = _mm_packus_epi16(words[2], words[2]);
    std::uint8_t* to = out + 3 * x;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to), Interleaved(0, blue, green, red));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(to + 16), Interleaved(1, blue, green, red));
  }
  SharpenInner(above, row, below, x, w - 1, out);
}

}  // namespace phototrim

#endif
