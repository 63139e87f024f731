// The inner loops of the high-quality reduction, in a plain version and in vector versions, and the
// choice of the instruction set they run on.
#pragma once

#include <cstddef>
#include <cstdint>

#include "trim/reduce/reduction_planes.h"

namespace phototrim {

// Source rows are read this far ahead: the band reads a dozen rows side by side, more streams
// than the processor's own prefetcher follows well.
inline constexpr std::size_t kPrefetchAhead = 512;

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

// The horizontal spans as byte gathers, for kernels that first reduce each source row along its
// width on its own. Sums are made for groups of the target row's 3w channel values ("outputs",
// value 3x + c); the groups of a block make 16 target columns. Laid out as the kernel's
// GatherLayout asks: Windows64, groups of 16 outputs (see row_gathers.h); Lanes128, groups of 8
// (see lane_gathers.h).
struct RowGathers {
  int columns = 0;                     // target width w
  int blocks = 0;                      // blocks of 16 target columns, the last one padded
  int quads = 0;                       // 1 or 2: source bytes gathered four at a time per output
  std::size_t rowBytes = 0;            // bytes of a source row that may be read (3 a pixel)
  const std::int32_t* window = nullptr;   // per group (Lanes128: per lane): the window's first source byte
  const std::uint8_t* tables = nullptr;   // per group, RowGatherBytes(quads) or kLaneGroupBytes bytes
};

// The source rows of one target row for a rows-first kernel, in the order they come, rows of weight
// 0 left out. A row that the target row before also read comes as its horizontal sums (`stored`);
// the sums of the last row are kept for the next target row when it reads that row too.
struct TargetRowSources {
  const std::uint8_t* fresh[kMaxTaps];  // source rows (pixel 0) still to be summed along the width
  int freshWeight[kMaxTaps];
  int freshCount = 0;
  bool keepLast = false;                // the last fresh row's sums go to `kept`
  const std::int32_t* stored = nullptr; // horizontal sums of a row read before, or null
  int storedWeight = 0;
  std::int32_t* kept = nullptr;         // one sum an output, in the kernel's own form and group order
  int total = 0;                        // Sy, the sum of the row weights
  float inverse = 0;                    // 1/Sy, rounded to float
};

// How a set's rows-first kernel wants the horizontal spans laid out: in windows of 64 bytes that
// one permute gathers from (row_gathers.h), or in windows of 32 bytes a 128-bit lane
// (lane_gathers.h).
enum class GatherLayout { Windows64, Lanes128 };

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
  // A whole target row from its source rows, each summed along its width first, then the rows
  // summed with their weights and divided: out[c][x] = floor(S / (Sx * Sy)) for every target column.
  // Only for sums below 2^31, and only where RowGathers could be built; null in sets without it.
  void (*byRows)(const RowGathers& gathers, const TargetRowSources& rows, std::uint16_t* const* out);
  GatherLayout gathers = GatherLayout::Windows64;  // the tables byRows reads
};

// The instruction sets the kernels are built for; Plain is the portable build of the same source.
// Avx512: AVX-512 F, BW, DQ and VL; where the processor also has VBMI and VNNI (byte permutes and
// byte dot products), the set adds the rows-first kernel.
enum class KernelSet { Plain, Sse4, Avx2, Avx512, Neon, Sve };

bool KernelSetSupported(KernelSet set);
// The fastest set this processor runs, or the fastest at or below the one that the environment
// variable PHOTOTRIM_SIMD names (avx512, avx2, sse4, neon, sve, scalar), for measuring the others.
KernelSet BestKernelSet();
// The fastest supported set at or below the one named (null or empty: the fastest of all; an
// unknown name forces nothing).
KernelSet FastestKernelSetAtOrBelow(const char* name);
// The set's name as PHOTOTRIM_SIMD spells it.
const char* KernelSetName(KernelSet set);
ReductionKernels KernelsOf(KernelSet set);

// The horizontal pass with 64-bit sums, for reductions near 1/100 on both axes where
// 255 * Sx * Sy passes 2^31.
void HorizontalBand64(const std::int32_t* sums, const ColumnTaps& taps, const double* rowInverse, int rows,
                      std::uint16_t* const* out);

// The plain kernels, also used for the last positions that do not fill a vector.
void VerticalBandPlain(const BandRow* band, std::size_t begin, std::size_t end, std::int32_t* sums);
void HorizontalBandPlain(const std::int32_t* sums, const ColumnTaps& taps, const double* rowInverse, int rows,
                         std::uint16_t* const* out);

// The vector kernels of one set (reduction_kernels_highway.cpp), without the rows-first kernel;
// VectorKernelsRun tells whether this build has the set and the processor runs it.
bool VectorKernelsRun(KernelSet set);
ReductionKernels VectorKernelsOf(KernelSet set);

#if defined(__x86_64__) || defined(__i386__)
// The kernels written for AVX-512 with VBMI and VNNI alone, only called when the processor has them
// (RowsFirstRuns). The rows-first kernel needs a byte permute across the whole vector and a byte
// dot product, which Highway 1.0 does not offer. The sharpening finds each channel's scale with a
// division rounded up, in integers, where the portable one divides in floats: with it the L print
// reduction of a 24-megapixel photo takes 11.4 ms instead of 13.2-14.4 (bench_reduce, kernels 3).
bool RowsFirstRuns();
void ByRowsAvx512(const RowGathers& gathers, const TargetRowSources& rows, std::uint16_t* const* out);
void SharpenRowAvx512(const std::uint16_t* const* above, const std::uint16_t* const* row,
                      const std::uint16_t* const* below, int w, std::uint8_t* out);
// The two exact shortcuts of the AVX-512 kernels on whole arrays, for the tests that check them
// against the plain arithmetic; count is a multiple of 16 (averages) or 32 (channels).
// out[i] = floor(sums[i] / totals[i]) for sums[i] < 2^31, 255 * totals[i] < 2^31 and inverses[i]
// the float 1/totals[i] as the kernel forms it.
void ExactAveragesAvx512(const std::int32_t* sums, const std::int32_t* totals, const float* inverses, int count,
                         std::int32_t* out);
// out[i] = ScaledChannel(c0[i], LuminanceRatio(Lnew[i], L0[i])), the channel rule of the sharpening.
void ScaledChannelsAvx512(const std::uint16_t* c0, const std::uint16_t* L0, const std::int16_t* Lnew, int count,
                          std::uint8_t* out);

// The rows-first kernel for AVX2 (with FMA), taking its tables from lane_gathers.h, only called
// when the processor has them (KernelSetSupported(KernelSet::Avx2)). It weighs four taps a lane
// with the multiply-add of unsigned by signed bytes, which Highway 1.0 does not offer (widening the
// bytes to 16 bits first doubles the shuffles and multiplies), and loads each 128-bit lane from its
// own place in the row.
void ByRowsAvx2(const RowGathers& gathers, const TargetRowSources& rows, std::uint16_t* const* out);
#endif

}  // namespace phototrim
