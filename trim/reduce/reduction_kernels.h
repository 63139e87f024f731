// The inner loops of the high-quality reduction, in a plain version and in vector versions.
#pragma once

#include <cstddef>
#include <cstdint>

#include "trim/reduce/reduction_planes.h"

namespace phototrim {

// A span covers at most 101 source pixels (the reduction stops at 1/100); one more pads an odd
// list to pairs.
inline constexpr int kMaxTaps = 102;

// The source rows of one target row with their weights. The list has an even length: an odd one
// ends with its last row repeated at weight 0, so that the vector kernels take rows two at a time.
// pairs[i] holds the weights of rows 2i and 2i+1 as two 16-bit halves (low half first).
struct BandRow {
  const std::uint8_t* rows[kMaxTaps];
  std::int32_t pairs[kMaxTaps / 2];
  int count = 0;  // even; 0 for a band row beyond the last target row
};

// The horizontal spans in the layout of ReductionPlanes.
struct ColumnTaps {
  int count = 0;                      // target width w
  int taps = 0;                       // source columns read per target column
  const int* start = nullptr;         // first source column read, per target column
  const std::int32_t* weights = nullptr;  // taps weights per target column
  const double* inverse = nullptr;    // 1/Sx per target column
};

struct ReductionKernels {
  // sums[p * kBandRows + r] = sum over t of weight(r, t) * band[r].rows[t][p], for p in [begin, end).
  void (*vertical)(const BandRow* band, std::size_t begin, std::size_t end, std::int32_t* sums);
  // For band rows r < rows and target columns x: out[r*3 + c][x] = floor(S / (Sx * Sy)) with
  // S = sum over the taps of weight * sums[(3*column + c) * kBandRows + r]; rowInverse[r] = 1/Sy.
  // Only for sums below 2^31 (HorizontalBand64 takes the others).
  void (*horizontal)(const std::int32_t* sums, const ColumnTaps& taps, const double* rowInverse, int rows,
                     std::uint16_t* const* out);
  // One sharpened target row, written as blue, green, red bytes; the three rows are planar
  // (channel c of row at [c]) and hold 16-bit values, so the vector code need not widen them.
  void (*sharpen)(const std::uint16_t* const* above, const std::uint16_t* const* row,
                  const std::uint16_t* const* below, int w, std::uint8_t* out);
};

enum class KernelSet { Plain, Sse41, Avx2 };

bool KernelSetSupported(KernelSet set);
// The fastest set this processor runs.
KernelSet BestKernelSet();
ReductionKernels KernelsOf(KernelSet set);

// The horizontal pass with 64-bit sums, for reductions near 1/100 on both axes where
// 255 * Sx * Sy passes 2^31.
void HorizontalBand64(const std::int32_t* sums, const ColumnTaps& taps, const double* rowInverse, int rows,
                      std::uint16_t* const* out);

// The plain kernels, also used for the last positions that do not fill a vector.
void VerticalBandPlain(const BandRow* band, std::size_t begin, std::size_t end, std::int32_t* sums);
void HorizontalBandPlain(const std::int32_t* sums, const ColumnTaps& taps, const double* rowInverse, int rows,
                         std::uint16_t* const* out);

// Vector versions, each in its own file; only called when the processor has the instructions.
#if defined(__x86_64__) || defined(__i386__)
void VerticalBandSse41(const BandRow* band, std::size_t begin, std::size_t end, std::int32_t* sums);
void HorizontalBandSse41(const std::int32_t* sums, const ColumnTaps& taps, const double* rowInverse, int rows,
                         std::uint16_t* const* out);
void SharpenRowSse41(const std::uint16_t* const* above, const std::uint16_t* const* row,
                     const std::uint16_t* const* below, int w, std::uint8_t* out);
void VerticalBandAvx2(const BandRow* band, std::size_t begin, std::size_t end, std::int32_t* sums);
void HorizontalBandAvx2(const std::int32_t* sums, const ColumnTaps& taps, const double* rowInverse, int rows,
                        std::uint16_t* const* out);
void SharpenRowAvx2(const std::uint16_t* const* above, const std::uint16_t* const* row,
                    const std::uint16_t* const* below, int w, std::uint8_t* out);
#endif

}  // namespace phototrim
