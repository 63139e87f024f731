// The reduction's kernels with 256-bit vectors (AVX2), run only where the processor has them.
#include "trim/reduce/reduction_kernels.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include <algorithm>

#include "trim/reduce/area_spans.h"
#include "trim/reduce/reduction_vectors.h"
#include "trim/reduce/sharpen.h"

namespace phototrim {

namespace {

// Eight int32 quotients of 8 sums, four doubles at a time; see ExactAverage for why this is exact.
PHOTOTRIM_AVX2 inline __m128i Averages(__m256i total, __m256d inverseLow, __m256d inverseHigh) {
  const __m256d bias = _mm256_set1_pd(kAverageBias);
  const __m128i low = _mm256_cvttpd_epi32(
      _mm256_add_pd(_mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(total)), inverseLow), bias));
  const __m128i high = _mm256_cvttpd_epi32(
      _mm256_add_pd(_mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(total, 1)), inverseHigh), bias));
  return _mm_packs_epi32(low, high);  // 8 x 16 bits, each 0..255
}

PHOTOTRIM_AVX2 inline __m256i Load(const std::uint16_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }

// Half of 16 16-bit lanes as floats, split within each 128-bit half (lanes 0-3 and 8-11, then
// 4-7 and 12-15) so that packs_epi32 of the two results restores the order. Non-negative values,
// and signed ones.
PHOTOTRIM_AVX2 inline __m256 FloatsLow(__m256i v) { return _mm256_cvtepi32_ps(_mm256_unpacklo_epi16(v, _mm256_setzero_si256())); }
PHOTOTRIM_AVX2 inline __m256 FloatsHigh(__m256i v) { return _mm256_cvtepi32_ps(_mm256_unpackhi_epi16(v, _mm256_setzero_si256())); }
PHOTOTRIM_AVX2 inline __m256 SignedFloatsLow(__m256i v) {
  return _mm256_cvtepi32_ps(_mm256_unpacklo_epi16(v, _mm256_srai_epi16(v, 15)));
}
PHOTOTRIM_AVX2 inline __m256 SignedFloatsHigh(__m256i v) {
  return _mm256_cvtepi32_ps(_mm256_unpackhi_epi16(v, _mm256_srai_epi16(v, 15)));
}

}  // namespace

namespace {

// Band rows side by side, [position][row], from four lanes' sums of 32 positions (in the order the
// unpacks leave them): a 4 x 4 transpose in each 128-bit half.
PHOTOTRIM_AVX2 inline void StoreSideBySide(const __m256i (&block)[4][4], std::int32_t* sums, std::size_t p) {
  for (int k = 0; k < 4; ++k) {
    const __m256i ab0 = _mm256_unpacklo_epi32(block[0][k], block[1][k]);
    const __m256i ab1 = _mm256_unpackhi_epi32(block[0][k], block[1][k]);
    const __m256i cd0 = _mm256_unpacklo_epi32(block[2][k], block[3][k]);
    const __m256i cd1 = _mm256_unpackhi_epi32(block[2][k], block[3][k]);
    const __m256i column[4] = {_mm256_unpacklo_epi64(ab0, cd0), _mm256_unpackhi_epi64(ab0, cd0),
                               _mm256_unpacklo_epi64(ab1, cd1), _mm256_unpackhi_epi64(ab1, cd1)};
    for (int i = 0; i < 4; ++i) {
      std::int32_t* low = sums + (p + static_cast<std::size_t>(4 * k + i)) * kBandRows;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(low), _mm256_castsi256_si128(column[i]));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(low + 16 * kBandRows), _mm256_extracti128_si256(column[i], 1));
    }
  }
}

// Bytes of two rows interleaved and widened to 16 bits, then one multiply-add per pair:
// w0*a + w1*b in 32 bits (at most 2*100*255, no overflow). The unpacks work within 128-bit
// halves: s[0] holds positions 0-3 and 16-19, s[1] 4-7 and 20-23, s[2] 8-11 and 24-27, s[3]
// 12-15 and 28-31.
PHOTOTRIM_AVX2 inline void AddPair(const std::uint8_t* a, const std::uint8_t* b, __m256i pair, __m256i (&s)[4]) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a));
  const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b));
  const __m256i lo = _mm256_unpacklo_epi8(x, y);
  const __m256i hi = _mm256_unpackhi_epi8(x, y);
  s[0] = _mm256_add_epi32(s[0], _mm256_madd_epi16(_mm256_unpacklo_epi8(lo, zero), pair));
  s[1] = _mm256_add_epi32(s[1], _mm256_madd_epi16(_mm256_unpackhi_epi8(lo, zero), pair));
  s[2] = _mm256_add_epi32(s[2], _mm256_madd_epi16(_mm256_unpacklo_epi8(hi, zero), pair));
  s[3] = _mm256_add_epi32(s[3], _mm256_madd_epi16(_mm256_unpackhi_epi8(hi, zero), pair));
}

// Positions summed lane by lane before the lanes are put side by side: the lane's rows and
// weights stay in registers over the whole block, and its sums (4 KB for four lanes) stay in
// the first-level cache until the transposition takes them.
constexpr std::size_t kLaneBlock = 256;

// Every lane with at most Pairs pairs of rows (a lane with fewer adds pairs of weight 0), so the
// pairs unroll.
template <int Pairs>
PHOTOTRIM_AVX2 void VerticalBandAvx2Pairs(const BandRow* band, std::size_t begin, std::size_t stop, std::int32_t* sums) {
  const std::uint8_t* any = band[0].rows[0];  // a row every band has, read with weight 0
  alignas(32) __m256i laneSums[4][kLaneBlock / 32][4];
  for (int half = 0; half < kBandRows; half += 4) {
    for (std::size_t block = begin; block < stop; block += kLaneBlock) {
      const std::size_t blockEnd = std::min(stop, block + kLaneBlock);
      for (int r = 0; r < 4; ++r) {
        const BandRow& lane = band[half + r];
        const std::uint8_t* rows[2 * Pairs];
        std::int32_t weights[Pairs];
        for (int t = 0; t < Pairs; ++t) {
          const bool used = 2 * t < lane.count;
          rows[2 * t] = used ? lane.rows[2 * t] : any;
          rows[2 * t + 1] = used ? lane.rows[2 * t + 1] : any;
          weights[t] = used ? lane.pairs[t] : 0;
        }
        for (std::size_t p = block; p < blockEnd; p += 32) {
          const bool fetch = (p & 63) == 0;  // once per cache line
          __m256i s[4] = {_mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256()};
          for (int t = 0; t < Pairs; ++t) {
            if (fetch) {
              _mm_prefetch(reinterpret_cast<const char*>(rows[2 * t] + p + kPrefetchAhead), _MM_HINT_T0);
              _mm_prefetch(reinterpret_cast<const char*>(rows[2 * t + 1] + p + kPrefetchAhead), _MM_HINT_T0);
            }
            AddPair(rows[2 * t] + p, rows[2 * t + 1] + p, _mm256_set1_epi32(weights[t]), s);
          }
          for (int k = 0; k < 4; ++k) laneSums[r][(p - block) / 32][k] = s[k];
        }
      }
      for (std::size_t p = block; p < blockEnd; p += 32) {
        const std::size_t i = (p - block) / 32;
        const __m256i quad[4][4] = {{laneSums[0][i][0], laneSums[0][i][1], laneSums[0][i][2], laneSums[0][i][3]},
                                    {laneSums[1][i][0], laneSums[1][i][1], laneSums[1][i][2], laneSums[1][i][3]},
                                    {laneSums[2][i][0], laneSums[2][i][1], laneSums[2][i][2], laneSums[2][i][3]},
                                    {laneSums[3][i][0], laneSums[3][i][1], laneSums[3][i][2], laneSums[3][i][3]}};
        StoreSideBySide(quad, sums + half, p);
      }
    }
  }
}

}  // namespace

PHOTOTRIM_AVX2 void VerticalBandAvx2(const BandRow* band, std::size_t begin, std::size_t end, std::int32_t* sums) {
  const std::size_t stop = begin + (end - begin) / 32 * 32;
  int most = 0;
  for (int r = 0; r < kBandRows; ++r) most = std::max(most, band[r].count / 2);
  // Reductions down to 1/4 read at most 5 rows a target row: 3 pairs.
  switch (most) {
    case 1: VerticalBandAvx2Pairs<1>(band, begin, stop, sums); break;
    case 2: VerticalBandAvx2Pairs<2>(band, begin, stop, sums); break;
    case 3: VerticalBandAvx2Pairs<3>(band, begin, stop, sums); break;
    default:
      for (int half = 0; half < kBandRows; half += 4) {
        for (std::size_t p = begin; p < stop; p += 32) {
          const bool fetch = (p & 63) == 0;
          alignas(32) __m256i block[4][4];
          for (int r = 0; r < 4; ++r) {
            const BandRow& lane = band[half + r];
            __m256i s[4] = {_mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256()};
            for (int t = 0; t < lane.count; t += 2) {
              if (fetch) {
                _mm_prefetch(reinterpret_cast<const char*>(lane.rows[t] + p + kPrefetchAhead), _MM_HINT_T0);
                _mm_prefetch(reinterpret_cast<const char*>(lane.rows[t + 1] + p + kPrefetchAhead), _MM_HINT_T0);
              }
              AddPair(lane.rows[t] + p, lane.rows[t + 1] + p, _mm256_set1_epi32(lane.pairs[t / 2]), s);
            }
            for (int k = 0; k < 4; ++k) block[r][k] = s[k];
          }
          StoreSideBySide(block, sums + half, p);
        }
      }
      break;
  }
  if (stop < end) VerticalBandPlain(band, stop, end, sums);
}

namespace {

// Taps > 0: the tap count known at compile time, so the tap loop unrolls. Eight target columns at
// a time: their averages are put side by side as rows in registers and written to the rows at once.
template <int Taps>
PHOTOTRIM_AVX2 void HorizontalBandAvx2With(const std::int32_t* sums, const ColumnTaps& taps, const double* rowInverse,
                                           int rows, std::uint16_t* const* out) {
  const __m256d rowInvLow = _mm256_loadu_pd(rowInverse);
  const __m256d rowInvHigh = _mm256_loadu_pd(rowInverse + 4);
  const auto* vectors = reinterpret_cast<const __m256i*>(sums);
  for (int x0 = 0; x0 < taps.count; x0 += 8) {
    const int count = std::min(8, taps.count - x0);
    __m128i averages[3][8];
    for (int i = 0; i < 8; ++i) {
      if (i >= count) {
        averages[0][i] = averages[1][i] = averages[2][i] = _mm_setzero_si128();
        continue;
      }
      const int x = x0 + i;
      // Each position holds the band's 8 rows in one vector; a source column is 3 positions.
      const __m256i* column = vectors + static_cast<std::size_t>(taps.start[x]) * 3;
      const std::int32_t* weights = taps.weights + static_cast<std::size_t>(x) * static_cast<std::size_t>(taps.taps);
      __m256i blue = _mm256_setzero_si256();
      __m256i green = _mm256_setzero_si256();
      __m256i red = _mm256_setzero_si256();
      for (int k = 0; k < (Taps > 0 ? Taps : taps.taps); ++k, column += 3) {
        const __m256i weight = _mm256_set1_epi32(weights[k]);
        blue = _mm256_add_epi32(blue, _mm256_mullo_epi32(weight, _mm256_loadu_si256(column + 0)));
        green = _mm256_add_epi32(green, _mm256_mullo_epi32(weight, _mm256_loadu_si256(column + 1)));
        red = _mm256_add_epi32(red, _mm256_mullo_epi32(weight, _mm256_loadu_si256(column + 2)));
      }
      const __m256d columnInv = _mm256_set1_pd(taps.inverse[x]);
      const __m256d invLow = _mm256_mul_pd(columnInv, rowInvLow);
      const __m256d invHigh = _mm256_mul_pd(columnInv, rowInvHigh);
      averages[0][i] = Averages(blue, invLow, invHigh);
      averages[1][i] = Averages(green, invLow, invHigh);
      averages[2][i] = Averages(red, invLow, invHigh);
    }
    for (int c = 0; c < 3; ++c) StoreColumnsAsRows(averages[c], count, rows, out, c, x0);
  }
}

}  // namespace

PHOTOTRIM_AVX2 void HorizontalBandAvx2(const std::int32_t* sums, const ColumnTaps& taps, const double* rowInverse,
                                       int rows, std::uint16_t* const* out) {
  switch (taps.taps) {  // reductions down to 1/3 have at most 4 taps, to 1/4 at most 5
    case 2: HorizontalBandAvx2With<2>(sums, taps, rowInverse, rows, out); break;
    case 3: HorizontalBandAvx2With<3>(sums, taps, rowInverse, rows, out); break;
    case 4: HorizontalBandAvx2With<4>(sums, taps, rowInverse, rows, out); break;
    case 5: HorizontalBandAvx2With<5>(sums, taps, rowInverse, rows, out); break;
    default: HorizontalBandAvx2With<0>(sums, taps, rowInverse, rows, out); break;
  }
}

PHOTOTRIM_AVX2 void SharpenRowAvx2(const std::uint16_t* const* above, const std::uint16_t* const* row,
                                   const std::uint16_t* const* below, int w, std::uint8_t* out) {
  CopyBorderPixels(row, w, out);
  const __m256 one = _mm256_set1_ps(1.0f);
  const __m256 bias = _mm256_set1_ps(kScaleBias);
  // Local copies, so the compiler need not reload them after every store to `out`.
  const std::uint16_t* const a[3] = {above[0], above[1], above[2]};
  const std::uint16_t* const m[3] = {row[0], row[1], row[2]};
  const std::uint16_t* const b[3] = {below[0], below[1], below[2]};
  int x = 1;
  // Sixteen inner pixels at a time; the loads reach x-1 .. x+16, all inside the row.
  for (; x + 16 <= w - 1; x += 16) {
    __m256i centre[3], blur[3];
    for (int c = 0; c < 3; ++c) {
      const std::uint16_t* const ac = a[c] + x;
      const std::uint16_t* const mc = m[c] + x;
      const std::uint16_t* const bc = b[c] + x;
      const __m256i corners = _mm256_add_epi16(_mm256_add_epi16(Load(ac - 1), Load(ac + 1)), _mm256_add_epi16(Load(bc - 1), Load(bc + 1)));
      const __m256i edges = _mm256_add_epi16(_mm256_add_epi16(Load(ac), Load(bc)), _mm256_add_epi16(Load(mc - 1), Load(mc + 1)));
      blur[c] = Divide12(_mm256_add_epi16(corners, _mm256_slli_epi16(edges, 1)));  // at most 12*255
      centre[c] = Load(mc);
    }
    const __m256i L0 = Luma(centre);
    const __m256i difference = _mm256_sub_epi16(Luma(blur), L0);
    // Halving toward zero: add 1 to a negative value before the arithmetic shift.
    const __m256i Lnew =
        _mm256_sub_epi16(L0, _mm256_srai_epi16(_mm256_add_epi16(difference, _mm256_srli_epi16(difference, 15)), 1));
    const __m256i L0atLeast1 = _mm256_max_epi16(L0, _mm256_set1_epi16(1));
    const __m256 ratioLow = _mm256_mul_ps(SignedFloatsLow(Lnew), _mm256_div_ps(one, FloatsLow(L0atLeast1)));
    const __m256 ratioHigh = _mm256_mul_ps(SignedFloatsHigh(Lnew), _mm256_div_ps(one, FloatsHigh(L0atLeast1)));
    __m256i words[3];
    for (int c = 0; c < 3; ++c) {
      const __m256i low = _mm256_cvttps_epi32(_mm256_add_ps(_mm256_mul_ps(FloatsLow(centre[c]), ratioLow), bias));
      const __m256i high = _mm256_cvttps_epi32(_mm256_add_ps(_mm256_mul_ps(FloatsHigh(centre[c]), ratioHigh), bias));
      words[c] = _mm256_packs_epi32(low, high);  // back in lane order 0-15
    }
    // packus is the clamp to 0..255; it works within 128-bit halves, the permutes gather them.
    const __m256i blueGreen = _mm256_permute4x64_epi64(_mm256_packus_epi16(words[0], words[1]), 0xD8);
    const __m256i redRed = _mm256_permute4x64_epi64(_mm256_packus_epi16(words[2], words[2]), 0x08);
    const __m128i blue = _mm256_castsi256_si128(blueGreen);
    const __m128i green = _mm256_extracti128_si256(blueGreen, 1);
    const __m128i red = _mm256_castsi256_si128(redRed);
    std::uint8_t* to = out + 3 * x;
    for (int k = 0; k < 3; ++k)
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 16 * k), Interleaved(k, blue, green, red));
  }
  SharpenInner(above, row, below, x, w - 1, out);
}

}  // namespace phototrim

#endif
