// The band passes and the sharpening of the high-quality reduction, written once: Highway compiles
// this file for every instruction set (AVX-512, AVX2, SSE4, NEON, SVE and a portable fallback), and
// VectorKernelsOf hands out the one asked for.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

// The 128-bit set without SSE4.1 lacks the 32-bit multiply; every processor that runs it has SSE4.
#ifndef HWY_DISABLED_TARGETS
#define HWY_DISABLED_TARGETS HWY_SSSE3
#endif

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "trim/reduce/reduction_kernels_highway.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep (before highway.h)
#include <hwy/highway.h>
#include <hwy/cache_control.h>

#include "trim/reduce/area_spans.h"
#include "trim/reduce/reduction_kernels.h"
#include "trim/reduce/sharpen.h"

HWY_BEFORE_NAMESPACE();
namespace phototrim {
namespace HWY_NAMESPACE {
// Highway's one-lane fallback (what GCC before 12.3 gets instead of its 128-bit emulation) has no
// interleaves nor halves: there the plain kernels are the fallback.
#if HWY_TARGET != HWY_SCALAR
namespace {

namespace hn = hwy::HWY_NAMESPACE;

// Positions summed lane by lane before the lanes are put side by side: the lane's rows and weights
// stay in registers over the whole block, and its sums (4 KB for four lanes) stay in the
// first-level cache until the transposition takes them. A multiple of every vector length.
constexpr std::size_t kLaneBlock = 256;

// Four rows of four 32-bit values turned into four columns, in 128-bit pieces (every target has them).
template <class D>
HWY_INLINE void Transpose4(D d, hn::Vec<D>& a, hn::Vec<D>& b, hn::Vec<D>& c, hn::Vec<D>& e) {
  const hn::Repartition<std::uint64_t, D> d64;
  const auto ab0 = hn::BitCast(d64, hn::InterleaveLower(d, a, b));  // a0 b0 a1 b1
  const auto ab1 = hn::BitCast(d64, hn::InterleaveUpper(d, a, b));  // a2 b2 a3 b3
  const auto ce0 = hn::BitCast(d64, hn::InterleaveLower(d, c, e));
  const auto ce1 = hn::BitCast(d64, hn::InterleaveUpper(d, c, e));
  a = hn::BitCast(d, hn::InterleaveLower(d64, ab0, ce0));  // a0 b0 c0 e0
  b = hn::BitCast(d, hn::InterleaveUpper(d64, ab0, ce0));
  c = hn::BitCast(d, hn::InterleaveLower(d64, ab1, ce1));
  e = hn::BitCast(d, hn::InterleaveUpper(d64, ab1, ce1));
}

// The sums of four lanes put side by side into sums[p * kBandRows + half + r]: lane r's sums of
// positions begin + i .. + 3 are at lanes[r][At(i)].
template <class Place>
HWY_INLINE void StoreSideBySide(const std::int32_t (*lanes)[kLaneBlock], std::size_t count, std::int32_t* sums,
                                std::size_t begin, Place At) {
  const hn::Full128<std::int32_t> d;
  for (std::size_t i = 0; i < count; i += 4) {
    const std::size_t at = At(i);
    auto a = hn::Load(d, lanes[0] + at), b = hn::Load(d, lanes[1] + at);
    auto c = hn::Load(d, lanes[2] + at), e = hn::Load(d, lanes[3] + at);
    Transpose4(d, a, b, c, e);
    std::int32_t* to = sums + (begin + i) * kBandRows;
    hn::StoreU(a, d, to + 0 * kBandRows);
    hn::StoreU(b, d, to + 1 * kBandRows);
    hn::StoreU(c, d, to + 2 * kBandRows);
    hn::StoreU(e, d, to + 3 * kBandRows);
  }
}

#if HWY_ARCH_X86
// Pairs > 0: every lane has at most that many pairs of rows (a lane with fewer adds pairs of
// weight 0), so the pairs unroll; 0: each lane its own count. The bytes of two rows are
// interleaved and widened to 16 bits, then one multiply-add makes w0*a + w1*b in 32 bits (at most
// 2*100*255). On x86 the interleaves work within 128-bit blocks: the k-th of the four sums of a
// vector holds positions 16b + 4k .. 16b + 4k + 3 of each block b.
template <int Pairs>
void VerticalBandWith(const BandRow* band, std::size_t begin, std::size_t stop, std::int32_t* sums) {
  const hn::ScalableTag<std::uint8_t> d8;
  const hn::Repartition<std::int16_t, decltype(d8)> d16;
  const hn::Repartition<std::int32_t, decltype(d8)> d32;
  const std::size_t step = hn::Lanes(d8);
  const std::size_t quarter = hn::Lanes(d32);
  const auto zero = hn::Zero(d8);
  const std::uint8_t* any = band[0].rows[0];  // a row every band has, read with weight 0
  HWY_ALIGN std::int32_t lanes[4][kLaneBlock];
  for (int half = 0; half < kBandRows; half += 4) {
    for (std::size_t block = begin; block < stop; block += kLaneBlock) {
      const std::size_t blockEnd = std::min(stop, block + kLaneBlock);
      for (int r = 0; r < 4; ++r) {
        const BandRow& lane = band[half + r];
        const int pairs = Pairs > 0 ? Pairs : lane.count / 2;
        const std::uint8_t* rows[2 * (Pairs > 0 ? Pairs : kMaxTaps / 2)];
        std::int32_t weights[Pairs > 0 ? Pairs : kMaxTaps / 2];
        for (int t = 0; t < pairs; ++t) {
          const bool used = 2 * t < lane.count;
          rows[2 * t] = used ? lane.rows[2 * t] : any;
          rows[2 * t + 1] = used ? lane.rows[2 * t + 1] : any;
          weights[t] = used ? lane.pairs[t] : 0;
        }
        for (std::size_t p = block; p < blockEnd; p += step) {
          const bool fetch = (p & 63) == 0;  // once per cache line
          auto s0 = hn::Zero(d32), s1 = hn::Zero(d32), s2 = hn::Zero(d32), s3 = hn::Zero(d32), unused = hn::Zero(d32);
          for (int t = 0; t < pairs; ++t) {
            if (fetch) {
              hwy::Prefetch(rows[2 * t] + p + kPrefetchAhead);
              hwy::Prefetch(rows[2 * t + 1] + p + kPrefetchAhead);
            }
            const auto a = hn::LoadU(d8, rows[2 * t] + p);
            const auto b = hn::LoadU(d8, rows[2 * t + 1] + p);
            const auto low = hn::InterleaveLower(d8, a, b), high = hn::InterleaveUpper(d8, a, b);
            const auto pair = hn::BitCast(d16, hn::Set(d32, weights[t]));
            const auto widened = [&](hn::Vec<decltype(d8)> v, bool upper) {
              return hn::BitCast(d16, upper ? hn::InterleaveUpper(d8, v, zero) : hn::InterleaveLower(d8, v, zero));
            };
            s0 = hn::ReorderWidenMulAccumulate(d32, widened(low, false), pair, s0, unused);
            s1 = hn::ReorderWidenMulAccumulate(d32, widened(low, true), pair, s1, unused);
            s2 = hn::ReorderWidenMulAccumulate(d32, widened(high, false), pair, s2, unused);
            s3 = hn::ReorderWidenMulAccumulate(d32, widened(high, true), pair, s3, unused);
          }
          std::int32_t* to = lanes[r] + (p - block);
          hn::Store(s0, d32, to);
          hn::Store(s1, d32, to + quarter);
          hn::Store(s2, d32, to + 2 * quarter);
          hn::Store(s3, d32, to + 3 * quarter);
        }
      }
      StoreSideBySide(lanes, blockEnd - block, sums + half, block, [step, quarter](std::size_t i) {
        const std::size_t within = i % step;
        return i - within + (within % 16) / 4 * quarter + within / 16 * 4;
      });
    }
  }
}
#else
// Pairs > 0: every lane has at most that many pairs of rows (a lane with fewer adds pairs of
// weight 0), so the pairs unroll; 0: each lane its own count.
template <int Pairs>
void VerticalBandWith(const BandRow* band, std::size_t begin, std::size_t stop, std::int32_t* sums) {
  const hn::ScalableTag<std::uint16_t> d16;
  const hn::Rebind<std::uint8_t, decltype(d16)> d8;
  const hn::Half<decltype(d16)> dh16;
  const hn::Rebind<std::uint32_t, decltype(dh16)> d32;
  const std::size_t step = hn::Lanes(d16);
  const std::size_t half32 = hn::Lanes(d32);
  const std::uint8_t* any = band[0].rows[0];  // a row every band has, read with weight 0
  HWY_ALIGN std::int32_t lanes[4][kLaneBlock];
  for (int half = 0; half < kBandRows; half += 4) {
    for (std::size_t block = begin; block < stop; block += kLaneBlock) {
      const std::size_t blockEnd = std::min(stop, block + kLaneBlock);
      for (int r = 0; r < 4; ++r) {
        const BandRow& lane = band[half + r];
        const int pairs = Pairs > 0 ? Pairs : lane.count / 2;
        const std::uint8_t* rows[2 * (Pairs > 0 ? Pairs : kMaxTaps / 2)];
        std::uint16_t weights[2 * (Pairs > 0 ? Pairs : kMaxTaps / 2)];
        for (int t = 0; t < pairs; ++t) {
          const bool used = 2 * t < lane.count;
          rows[2 * t] = used ? lane.rows[2 * t] : any;
          rows[2 * t + 1] = used ? lane.rows[2 * t + 1] : any;
          weights[2 * t] = static_cast<std::uint16_t>(used ? lane.pairs[t] & 0xFFFF : 0);
          weights[2 * t + 1] = static_cast<std::uint16_t>(used ? lane.pairs[t] >> 16 : 0);
        }
        auto* to = reinterpret_cast<std::uint32_t*>(lanes[r]);
        for (std::size_t p = block; p < blockEnd; p += step) {
          const bool fetch = (p & 63) == 0;  // once per cache line
          auto low = hn::Zero(d32), high = hn::Zero(d32);
          for (int t = 0; t < pairs; ++t) {
            if (fetch) {
              hwy::Prefetch(rows[2 * t] + p + kPrefetchAhead);
              hwy::Prefetch(rows[2 * t + 1] + p + kPrefetchAhead);
            }
            // w0*a + w1*b in 16 bits: at most 2*100*255 < 2^16.
            const auto a = hn::PromoteTo(d16, hn::LoadU(d8, rows[2 * t] + p));
            const auto b = hn::PromoteTo(d16, hn::LoadU(d8, rows[2 * t + 1] + p));
            const auto pair = hn::Add(hn::Mul(a, hn::Set(d16, weights[2 * t])), hn::Mul(b, hn::Set(d16, weights[2 * t + 1])));
            low = hn::Add(low, hn::PromoteTo(d32, hn::LowerHalf(dh16, pair)));
            high = hn::Add(high, hn::PromoteTo(d32, hn::UpperHalf(dh16, pair)));
          }
          hn::Store(low, d32, to + (p - block));
          hn::Store(high, d32, to + (p - block) + half32);
        }
      }
      StoreSideBySide(lanes, blockEnd - block, sums + half, block, [](std::size_t i) { return i; });
    }
  }
}
#endif

void VerticalBand(const BandRow* band, std::size_t begin, std::size_t end, std::int32_t* sums) {
#if HWY_ARCH_X86
  const std::size_t step = hn::Lanes(hn::ScalableTag<std::uint8_t>());
#else
  const std::size_t step = hn::Lanes(hn::ScalableTag<std::uint16_t>());
#endif
  const std::size_t stop = begin + (end - begin) / step * step;
  int most = 0;
  for (int r = 0; r < kBandRows; ++r) most = std::max(most, band[r].count / 2);
  // Reductions down to 1/4 read at most 5 rows a target row: 3 pairs.
  switch (most) {
    case 1: VerticalBandWith<1>(band, begin, stop, sums); break;
    case 2: VerticalBandWith<2>(band, begin, stop, sums); break;
    case 3: VerticalBandWith<3>(band, begin, stop, sums); break;
    default: VerticalBandWith<0>(band, begin, stop, sums); break;
  }
  if (stop < end) VerticalBandPlain(band, stop, end, sums);
}

// Eight columns of 16-bit values (`columns[i]`, one value per band row) written as rows:
// out[r * 3 + channel][x .. x+count-1] for r < rows. An 8 x 8 transposition in 128-bit pieces.
HWY_INLINE void StoreColumnsAsRows(const std::int16_t (*columns)[kBandRows], int count, int rows,
                                   std::uint16_t* const* out, int channel, int x) {
  const hn::Full128<std::int16_t> d;
  const hn::Repartition<std::int32_t, decltype(d)> d32;
  const hn::Repartition<std::int64_t, decltype(d)> d64;
  hn::Vec<decltype(d)> column[8];
  for (int i = 0; i < 8; ++i) column[i] = hn::Load(d, columns[i]);
  hn::Vec<decltype(d32)> a[8];
  for (int i = 0; i < 4; ++i) {
    a[2 * i] = hn::BitCast(d32, hn::InterleaveLower(d, column[2 * i], column[2 * i + 1]));
    a[2 * i + 1] = hn::BitCast(d32, hn::InterleaveUpper(d, column[2 * i], column[2 * i + 1]));
  }
  // Rows 0-1, 2-3 of columns 0-3 (b0, b1), rows 4-5, 6-7 (b2, b3); the same of columns 4-7.
  const auto b0 = hn::BitCast(d64, hn::InterleaveLower(d32, a[0], a[2]));
  const auto b1 = hn::BitCast(d64, hn::InterleaveUpper(d32, a[0], a[2]));
  const auto b2 = hn::BitCast(d64, hn::InterleaveLower(d32, a[1], a[3]));
  const auto b3 = hn::BitCast(d64, hn::InterleaveUpper(d32, a[1], a[3]));
  const auto b4 = hn::BitCast(d64, hn::InterleaveLower(d32, a[4], a[6]));
  const auto b5 = hn::BitCast(d64, hn::InterleaveUpper(d32, a[4], a[6]));
  const auto b6 = hn::BitCast(d64, hn::InterleaveLower(d32, a[5], a[7]));
  const auto b7 = hn::BitCast(d64, hn::InterleaveUpper(d32, a[5], a[7]));
  const hn::Vec<decltype(d)> row[8] = {
      hn::BitCast(d, hn::InterleaveLower(d64, b0, b4)), hn::BitCast(d, hn::InterleaveUpper(d64, b0, b4)),
      hn::BitCast(d, hn::InterleaveLower(d64, b1, b5)), hn::BitCast(d, hn::InterleaveUpper(d64, b1, b5)),
      hn::BitCast(d, hn::InterleaveLower(d64, b2, b6)), hn::BitCast(d, hn::InterleaveUpper(d64, b2, b6)),
      hn::BitCast(d, hn::InterleaveLower(d64, b3, b7)), hn::BitCast(d, hn::InterleaveUpper(d64, b3, b7))};
  for (int r = 0; r < rows; ++r) {
    auto* to = reinterpret_cast<std::int16_t*>(out[r * 3 + channel] + x);
    if (count == 8) {
      hn::StoreU(row[r], d, to);
    } else {
      HWY_ALIGN std::int16_t values[8];
      hn::Store(row[r], d, values);
      std::copy_n(values, count, to);
    }
  }
}

// Taps > 0: the tap count known at compile time, so the tap loop unrolls. Eight target columns at
// a time: their averages are put side by side as rows and written to the rows at once. The
// band's 8 rows of a position are one vector of 8 lanes, or two of 4.
template <int Taps>
void HorizontalBandWith(const std::int32_t* sums, const ColumnTaps& taps, const double* rowInverse, int rows,
                        std::uint16_t* const* out) {
  const hn::CappedTag<std::int32_t, kBandRows> d;
  const hn::Half<decltype(d)> dh;
  const hn::Rebind<double, decltype(dh)> dd;
  const hn::Rebind<std::int16_t, decltype(d)> d16;
  const int n = static_cast<int>(hn::Lanes(d));
  const int halfLanes = static_cast<int>(hn::Lanes(dd));
  const auto bias = hn::Set(dd, kAverageBias);
  // ExactAverage on n lanes: see there why the product, the bias and the truncation are exact.
  const auto averages = [&](hn::Vec<decltype(d)> total, hn::Vec<decltype(dd)> inverseLow,
                            hn::Vec<decltype(dd)> inverseHigh) {
    const auto low = hn::PromoteTo(dd, hn::LowerHalf(dh, total));
    const auto high = hn::PromoteTo(dd, hn::UpperHalf(dh, total));
    const auto quotientLow = hn::DemoteTo(dh, hn::Add(hn::Mul(low, inverseLow), bias));
    const auto quotientHigh = hn::DemoteTo(dh, hn::Add(hn::Mul(high, inverseHigh), bias));
    return hn::DemoteTo(d16, hn::Combine(d, quotientHigh, quotientLow));  // each 0..255
  };
  for (int x0 = 0; x0 < taps.count; x0 += 8) {
    const int count = std::min(8, taps.count - x0);
    HWY_ALIGN std::int16_t columns[3][8][kBandRows] = {};
    for (int i = 0; i < count; ++i) {
      const int x = x0 + i;
      // A source column is 3 positions of kBandRows sums.
      const std::int32_t* column = sums + static_cast<std::size_t>(taps.start[x]) * 3 * kBandRows;
      const std::int32_t* weights = taps.weights + static_cast<std::size_t>(x) * static_cast<std::size_t>(taps.taps);
      const auto columnInverse = hn::Set(dd, taps.inverse[x]);
      for (int j = 0; j < kBandRows; j += n) {
        auto blue = hn::Zero(d), green = hn::Zero(d), red = hn::Zero(d);
        const std::int32_t* at = column + j;
        for (int k = 0; k < (Taps > 0 ? Taps : taps.taps); ++k, at += 3 * kBandRows) {
          const auto weight = hn::Set(d, weights[k]);
          blue = hn::Add(blue, hn::Mul(weight, hn::LoadU(d, at)));
          green = hn::Add(green, hn::Mul(weight, hn::LoadU(d, at + kBandRows)));
          red = hn::Add(red, hn::Mul(weight, hn::LoadU(d, at + 2 * kBandRows)));
        }
        // RN(RN(1/Sx) * RN(1/Sy)) of each row, as AverageInverse forms it.
        const auto inverseLow = hn::Mul(columnInverse, hn::LoadU(dd, rowInverse + j));
        const auto inverseHigh = hn::Mul(columnInverse, hn::LoadU(dd, rowInverse + j + halfLanes));
        hn::Store(averages(blue, inverseLow, inverseHigh), d16, columns[0][i] + j);
        hn::Store(averages(green, inverseLow, inverseHigh), d16, columns[1][i] + j);
        hn::Store(averages(red, inverseLow, inverseHigh), d16, columns[2][i] + j);
      }
    }
    for (int c = 0; c < 3; ++c) StoreColumnsAsRows(columns[c], count, rows, out, c, x0);
  }
}

void HorizontalBand(const std::int32_t* sums, const ColumnTaps& taps, const double* rowInverse, int rows,
                    std::uint16_t* const* out) {
  switch (taps.taps) {  // reductions down to 1/3 have at most 4 taps, to 1/4 at most 5
    case 2: HorizontalBandWith<2>(sums, taps, rowInverse, rows, out); break;
    case 3: HorizontalBandWith<3>(sums, taps, rowInverse, rows, out); break;
    case 4: HorizontalBandWith<4>(sums, taps, rowInverse, rows, out); break;
    case 5: HorizontalBandWith<5>(sums, taps, rowInverse, rows, out); break;
    default: HorizontalBandWith<0>(sums, taps, rowInverse, rows, out); break;
  }
}

template <class D>
HWY_INLINE hn::Vec<D> Divide255(D d, hn::Vec<D> v) {
  return hn::ShiftRight<kDivide255Shift>(hn::MulHigh(v, hn::Set(d, kDivide255Multiplier)));
}

// The luminance of blue, green, red in 16-bit lanes: at most 255 * 255, so the weighted sum fits
// 16 bits unsigned.
template <class D>
HWY_INLINE hn::Vec<D> Luma(D d, const hn::Vec<D> (&c)[3]) {
  return Divide255(d, hn::Add(hn::Add(hn::Mul(c[2], hn::Set(d, kLumaRed)), hn::Mul(c[1], hn::Set(d, kLumaGreen))),
                              hn::Mul(c[0], hn::Set(d, kLumaBlue))));
}
// Truncation of floats known to lie well inside the 32-bit range (a scaled channel: |C0 * Lnew / L0|
// stays below 2^17). Highway's ConvertTo also mends the conversion of values beyond the range,
// three more instructions a vector on x86, a tenth of the sharpening's time with AVX2.
template <class D, class V>
HWY_INLINE hn::Vec<D> TruncateInRange(D d, V v) {
#if HWY_TARGET == HWY_AVX2
  if constexpr (sizeof(v.raw) == 32) return hn::Vec<D>{_mm256_cvttps_epi32(v.raw)};
#elif HWY_TARGET == HWY_SSE4
  if constexpr (sizeof(v.raw) == 16) return hn::Vec<D>{_mm_cvttps_epi32(v.raw)};
#endif
  return hn::ConvertTo(d, v);
}

#if HWY_TARGET == HWY_AVX2
// pshufb tables that put eight pixels' blue and green bytes (bytes 0-7 and 8-15 of a 128-bit lane)
// and red bytes (bytes 0-7 of another) in pixel order: output bytes 0-15 of the lane's 24, then
// bytes 16-23 (0x80 makes a zero byte).
struct PixelBytes {
  alignas(32) std::uint8_t firstBlueGreen[32];
  alignas(32) std::uint8_t firstRed[32];
  alignas(32) std::uint8_t restBlueGreen[32];
  alignas(32) std::uint8_t restRed[32];
  constexpr PixelBytes() : firstBlueGreen{}, firstRed{}, restBlueGreen{}, restRed{} {
    for (int i = 0; i < 32; ++i) {
      const int first = i % 16, rest = 16 + i % 16;
      firstBlueGreen[i] = BlueGreenByte(first);
      firstRed[i] = RedByte(first);
      restBlueGreen[i] = rest < 24 ? BlueGreenByte(rest) : 0x80;
      restRed[i] = rest < 24 ? RedByte(rest) : 0x80;
    }
  }
  static constexpr std::uint8_t BlueGreenByte(int j) {
    return static_cast<std::uint8_t>(j % 3 == 0 ? j / 3 : (j % 3 == 1 ? 8 + j / 3 : 0x80));
  }
  static constexpr std::uint8_t RedByte(int j) { return static_cast<std::uint8_t>(j % 3 == 2 ? j / 3 : 0x80); }
};
inline constexpr PixelBytes kPixelBytes;

// The channel rule for 16 pixels, written as their blue, green, red bytes. It takes one division a
// pixel and keeps the channels in 16-bit lanes, where the float rule takes a product and two
// conversions a channel in 32-bit lanes; the AVX2 sharpening takes a fifth less time with it. Only
// AVX2 has it, partly in intrinsics: Highway 1.0 has no unsigned narrowing of two vectors into one,
// and its byte interleave of 16 pixels works on 128-bit vectors, with twice the shuffles.
//
// With L0' = max(L0, 1), Lnew' = max(Lnew, 0), whole = (Lnew' >= L0'), rest = Lnew' - whole * L0'
// and t = rest * 2^16 / L0', each channel is C0 * whole + floor(C0 * K / 2^16) with K = floor(t) + 1,
// saturated to 255. That is the rule: C0 * (whole + K / 2^16) exceeds q = C0 * Lnew' / L0' by at most
// C0 / 2^16 < 1/L0' (C0 * L0' <= 255 * 256), and q, a multiple of 1/L0', has no integer in
// (q, q + 1/L0'). Lnew <= 0 gives whole = 0 and K = 1: black, as the rule wants (L0 = 0 forces
// Lnew <= 0). Lnew <= L0 + L0/2, so rest <= 255, t < 2^16 and K <= 65281.
// K comes from one float division, x = RN((rest * 2^16 + L0') / L0') = RN(t + 1): its operands are
// exact (below 2^24) and |x - (t + 1)| <= 2^-9. An integer t gives x = t + 1 exactly; any other t is
// at least 1/d from an integer, for the odd d > 1 with L0' = d * 2^a (so d <= 255 and
// 1/d > 2^-9): x truncates to floor(t) + 1.
HWY_INLINE void StoreSharpened(hn::Full256<std::uint16_t> d, const hn::Vec256<std::uint16_t> (&centre)[3],
                               hn::Vec256<std::uint16_t> L0, hn::Vec256<std::int16_t> Lnew, std::uint8_t* to) {
  const hn::Full256<std::int16_t> di;
  const hn::Full256<std::uint32_t> du32;
  const hn::Full256<std::int32_t> dw;
  const hn::Full256<float> df;
  const auto denominator = hn::Max(L0, hn::Set(d, 1));
  const auto numerator = hn::Max(Lnew, hn::Zero(di));
  const auto whole = hn::BitCast(d, hn::Not(hn::VecFromMask(di, hn::Lt(numerator, hn::BitCast(di, denominator)))));
  const auto rest = hn::Sub(hn::BitCast(d, numerator), hn::And(denominator, whole));
  // The zips take the 16-bit lanes apart within 128-bit blocks; the narrowing puts them back in
  // order. The numerator's 32-bit lanes are rest * 2^16 + L0'.
  const auto quotient = [&](hn::Vec256<std::uint32_t> top, hn::Vec256<std::uint32_t> bottom) {
    return _mm256_cvttps_epi32(hn::Div(hn::ConvertTo(df, hn::BitCast(dw, top)), hn::ConvertTo(df, hn::BitCast(dw, bottom))).raw);
  };
  const hn::Vec256<std::uint16_t> K{_mm256_packus_epi32(
      quotient(hn::ZipLower(du32, denominator, rest), hn::ZipLower(du32, denominator, hn::Zero(d))),
      quotient(hn::ZipUpper(du32, denominator, rest), hn::ZipUpper(du32, denominator, hn::Zero(d))))};
  hn::Vec256<std::uint16_t> channel[3];
  for (int c = 0; c < 3; ++c) channel[c] = hn::Add(hn::And(centre[c], whole), hn::MulHigh(centre[c], K));
  // Each 128-bit lane holds eight pixels after the narrowing to bytes (which saturates at 255):
  // 24 bytes of the 48, made with in-lane shuffles and written as 16 and 8 bytes.
  const auto table = [](const std::uint8_t* bytes) { return _mm256_load_si256(reinterpret_cast<const __m256i*>(bytes)); };
  const __m256i blueGreen = _mm256_packus_epi16(channel[0].raw, channel[1].raw);
  const __m256i red = _mm256_packus_epi16(channel[2].raw, channel[2].raw);
  const __m256i first = _mm256_or_si256(_mm256_shuffle_epi8(blueGreen, table(kPixelBytes.firstBlueGreen)),
                                        _mm256_shuffle_epi8(red, table(kPixelBytes.firstRed)));
  const __m256i last = _mm256_or_si256(_mm256_shuffle_epi8(blueGreen, table(kPixelBytes.restBlueGreen)),
                                       _mm256_shuffle_epi8(red, table(kPixelBytes.restRed)));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm256_castsi256_si128(first));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(to + 16), _mm256_castsi256_si128(last));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 24), _mm256_extracti128_si256(first, 1));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(to + 40), _mm256_extracti128_si256(last, 1));
}
#endif

void SharpenRow(const std::uint16_t* const* above, const std::uint16_t* const* row, const std::uint16_t* const* below,
                int w, std::uint8_t* out) {
  CopyBorderPixels(row, w, out);
  const hn::ScalableTag<std::uint16_t> d;
  const hn::RebindToSigned<decltype(d)> di;
  const hn::Half<decltype(d)> dh;
  const hn::Half<decltype(di)> dhi;
  const hn::Rebind<std::int32_t, decltype(dh)> d32;
  const hn::Rebind<float, decltype(dh)> df;
  const hn::Rebind<std::uint8_t, decltype(dh)> dh8;
  const hn::Rebind<std::uint8_t, decltype(d)> d8;
  const int n = static_cast<int>(hn::Lanes(d));
  const auto one = hn::Set(df, 1.0f);
  const auto bias = hn::Set(df, kScaleBias);
  // Local copies, so the compiler need not reload them after every store to `out`.
  const std::uint16_t* const a[3] = {above[0], above[1], above[2]};
  const std::uint16_t* const m[3] = {row[0], row[1], row[2]};
  const std::uint16_t* const b[3] = {below[0], below[1], below[2]};
  int x = 1;
  // n inner pixels at a time; the loads reach x-1 .. x+n, all inside the row. The last vector ends
  // at the last inner pixel and overlaps the one before: it writes a few pixels again, with the
  // same values, rather than leaving up to n-1 of them to the plain code.
  for (bool more = w - 1 - n >= 1; more; x += n) {
    if (x + n > w - 1) x = w - 1 - n;
    more = x + n < w - 1;
    hn::Vec<decltype(d)> centre[3], blur[3];
    for (int c = 0; c < 3; ++c) {
      const std::uint16_t* const ac = a[c] + x;
      const std::uint16_t* const mc = m[c] + x;
      const std::uint16_t* const bc = b[c] + x;
      const auto corners = hn::Add(hn::Add(hn::LoadU(d, ac - 1), hn::LoadU(d, ac + 1)),
                                   hn::Add(hn::LoadU(d, bc - 1), hn::LoadU(d, bc + 1)));
      const auto edges = hn::Add(hn::Add(hn::LoadU(d, ac), hn::LoadU(d, bc)),
                                 hn::Add(hn::LoadU(d, mc - 1), hn::LoadU(d, mc + 1)));
      // At most 12*255.
      blur[c] = hn::MulHigh(hn::Add(corners, hn::ShiftLeft<1>(edges)), hn::Set(d, kDivide12Multiplier));
      centre[c] = hn::LoadU(d, mc);
    }
    const auto L0 = Luma(d, centre);
    const auto difference = hn::BitCast(di, hn::Sub(Luma(d, blur), L0));
    // Halving toward zero: add 1 to a negative value before the arithmetic shift.
    const auto Lnew = hn::Sub(hn::BitCast(di, L0),
                              hn::ShiftRight<1>(hn::Add(difference, hn::BitCast(di, hn::ShiftRight<15>(hn::BitCast(d, difference))))));
    const auto L0atLeast1 = hn::Max(L0, hn::Set(d, 1));
#if HWY_TARGET == HWY_AVX2
    StoreSharpened(d, centre, L0, Lnew, out + 3 * x);
#elif HWY_ARCH_X86
    // LuminanceRatio and ScaledChannel in 32-bit lanes. On x86 the zips and the narrowing work
    // within 128-bit blocks, so narrowing the zipped halves together restores the lanes' order,
    // and the halves cost no lane crossing.
    const hn::Repartition<std::int32_t, decltype(d)> dw;
    const hn::Repartition<float, decltype(d)> dwf;
    const hn::Repartition<std::int16_t, decltype(d)> dn;
    const auto zero = hn::Zero(d);
    const auto sign = hn::BitCast(d, hn::ShiftRight<15>(Lnew));
    const auto lowFloats = [&](hn::Vec<decltype(d)> v, hn::Vec<decltype(d)> high) {
      return hn::ConvertTo(dwf, hn::BitCast(dw, hn::ZipLower(hn::Repartition<std::uint32_t, decltype(d)>(), v, high)));
    };
    const auto highFloats = [&](hn::Vec<decltype(d)> v, hn::Vec<decltype(d)> high) {
      return hn::ConvertTo(dwf, hn::BitCast(dw, hn::ZipUpper(hn::Repartition<std::uint32_t, decltype(d)>(), v, high)));
    };
    const auto oneWide = hn::Set(dwf, 1.0f);
    const auto biasWide = hn::Set(dwf, kScaleBias);
    const auto ratioLow = hn::Mul(lowFloats(hn::BitCast(d, Lnew), sign), hn::Div(oneWide, lowFloats(L0atLeast1, zero)));
    const auto ratioHigh = hn::Mul(highFloats(hn::BitCast(d, Lnew), sign), hn::Div(oneWide, highFloats(L0atLeast1, zero)));
    hn::Vec<decltype(d8)> channel[3];
    for (int c = 0; c < 3; ++c) {
      const auto low = TruncateInRange(dw, hn::Add(hn::Mul(lowFloats(centre[c], zero), ratioLow), biasWide));
      const auto high = TruncateInRange(dw, hn::Add(hn::Mul(highFloats(centre[c], zero), ratioHigh), biasWide));
      channel[c] = hn::DemoteTo(d8, hn::ReorderDemote2To(dn, low, high));  // the clamp to 0..255
    }
    hn::StoreInterleaved3(channel[0], channel[1], channel[2], d8, out + 3 * x);
#else
    // LuminanceRatio and ScaledChannel on each half: float lanes are 32 bits.
    const auto scaled = [&](auto half) {
      const auto pick = [&](auto tag, auto v) { return half ? hn::UpperHalf(tag, v) : hn::LowerHalf(tag, v); };
      const auto toFloat = [&](auto v) { return hn::ConvertTo(df, hn::PromoteTo(d32, v)); };
      const auto ratio = hn::Mul(toFloat(pick(dhi, Lnew)), hn::Div(one, toFloat(pick(dh, L0atLeast1))));
      hn::Vec<decltype(dh8)> channel[3];
      for (int c = 0; c < 3; ++c) {
        const auto q = hn::ConvertTo(d32, hn::Add(hn::Mul(toFloat(pick(dh, centre[c])), ratio), bias));
        channel[c] = hn::DemoteTo(dh8, q);  // the clamp to 0..255
      }
      return std::array<hn::Vec<decltype(dh8)>, 3>{channel[0], channel[1], channel[2]};
    };
    const auto low = scaled(false);
    const auto high = scaled(true);
    hn::StoreInterleaved3(hn::Combine(d8, high[0], low[0]), hn::Combine(d8, high[1], low[1]),
                          hn::Combine(d8, high[2], low[2]), d8, out + 3 * x);
#endif
  }
  SharpenInner(above, row, below, x, w - 1, out);
}

}  // namespace

ReductionKernels KernelsOfTarget() { return {VerticalBand, HorizontalBand, SharpenRow, nullptr}; }
#else
ReductionKernels KernelsOfTarget() { return {VerticalBandPlain, HorizontalBandPlain, SharpenRowPlain, nullptr}; }
#endif

}  // namespace HWY_NAMESPACE
}  // namespace phototrim
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace phototrim {

namespace {

// The Highway target of a set, 0 where this build has none.
std::int64_t TargetOf(KernelSet set) {
  switch (set) {
    case KernelSet::Plain: return HWY_TARGETS & (HWY_EMU128 | HWY_SCALAR);
    case KernelSet::Sse4: return HWY_TARGETS & HWY_SSE4;
    case KernelSet::Avx2: return HWY_TARGETS & HWY_AVX2;
    case KernelSet::Avx512: return HWY_TARGETS & HWY_AVX3;
    case KernelSet::Neon: return HWY_TARGETS & HWY_NEON;
    case KernelSet::Sve: return HWY_TARGETS & (HWY_SVE | HWY_SVE2);
  }
  return 0;
}

}  // namespace

bool VectorKernelsRun(KernelSet set) {
  const std::int64_t target = TargetOf(set);
  if (target == 0) return false;
  // The fallback runs everywhere.
  return set == KernelSet::Plain || (hwy::SupportedTargets() & target) != 0;
}

ReductionKernels VectorKernelsOf(KernelSet set) {
  switch (set) {
#if HWY_TARGETS & HWY_AVX3
    case KernelSet::Avx512: return N_AVX3::KernelsOfTarget();
#endif
#if HWY_TARGETS & HWY_AVX2
    case KernelSet::Avx2: return N_AVX2::KernelsOfTarget();
#endif
#if HWY_TARGETS & HWY_SSE4
    case KernelSet::Sse4: return N_SSE4::KernelsOfTarget();
#endif
#if HWY_TARGETS & HWY_SVE2
    case KernelSet::Sve:
      if (hwy::SupportedTargets() & HWY_SVE2) return N_SVE2::KernelsOfTarget();
#if HWY_TARGETS & HWY_SVE
      return N_SVE::KernelsOfTarget();
#endif
      break;
#elif HWY_TARGETS & HWY_SVE
    case KernelSet::Sve: return N_SVE::KernelsOfTarget();
#endif
#if HWY_TARGETS & HWY_NEON
    case KernelSet::Neon: return N_NEON::KernelsOfTarget();
#endif
    default: break;
  }
#if HWY_TARGETS & HWY_EMU128
  return N_EMU128::KernelsOfTarget();
#else
  return N_SCALAR::KernelsOfTarget();
#endif
}

}  // namespace phototrim
#endif  // HWY_ONCE
