// The plain kernels of the high-quality reduction, and the choice of the instruction set to run.
#include "trim/reduce/reduction_kernels.h"

#include <cstdlib>
#include <cstring>

#include "trim/reduce/area_spans.h"
#include "trim/reduce/sharpen.h"

namespace phototrim {

namespace {

template <typename Sum>
void HorizontalBandWith(const std::int32_t* sums, const ColumnTaps& taps, const double* rowInverse, int rows,
                        std::uint16_t* const* out) {
  for (int x = 0; x < taps.count; ++x) {
    const std::int32_t* base = sums + static_cast<std::size_t>(taps.start[x]) * 3 * kBandRows;
    const std::int32_t* weights = taps.weights + static_cast<std::size_t>(x) * static_cast<std::size_t>(taps.taps);
    for (int c = 0; c < 3; ++c) {
      Sum total[kBandRows] = {};
      for (int k = 0; k < taps.taps; ++k) {
        const std::int32_t* column = base + static_cast<std::size_t>(3 * k + c) * kBandRows;
        for (int r = 0; r < kBandRows; ++r) total[r] += static_cast<Sum>(weights[k]) * column[r];
      }
      for (int r = 0; r < rows; ++r)
        out[r * 3 + c][x] = static_cast<std::uint16_t>(ExactAverage(total[r], taps.inverse[x] * rowInverse[r]));
    }
  }
}

}  // namespace

void VerticalBandPlain(const BandRow* band, std::size_t begin, std::size_t end, std::int32_t* sums) {
  for (int r = 0; r < kBandRows; ++r) {
    const BandRow& lane = band[r];
    for (std::size_t p = begin; p < end; ++p) {
      std::int32_t total = 0;
      for (int t = 0; t < lane.count; t += 2) {
        const std::int32_t pair = lane.pairs[t / 2];
        total += (pair & 0xFFFF) * lane.rows[t][p] + (pair >> 16) * lane.rows[t + 1][p];
      }
      sums[p * kBandRows + static_cast<std::size_t>(r)] = total;
    }
  }
}

void HorizontalBandPlain(const std::int32_t* sums, const ColumnTaps& taps, const double* rowInverse, int rows,
                         std::uint16_t* const* out) {
  HorizontalBandWith<std::int32_t>(sums, taps, rowInverse, rows, out);
}

void HorizontalBand64(const std::int32_t* sums, const ColumnTaps& taps, const double* rowInverse, int rows,
                      std::uint16_t* const* out) {
  HorizontalBandWith<std::int64_t>(sums, taps, rowInverse, rows, out);
}

void SharpenRowPlain(const std::uint16_t* const* above, const std::uint16_t* const* row,
                     const std::uint16_t* const* below, int w, std::uint8_t* out) {
  CopyBorderPixels(row, w, out);
  SharpenInner(above, row, below, 1, w - 1, out);
}

void CopyReducedRow(const std::uint16_t* const* row, int w, std::uint8_t* out) {
  for (int x = 0; x < w; ++x) {
    out[3 * x + 0] = static_cast<std::uint8_t>(row[0][x]);
    out[3 * x + 1] = static_cast<std::uint8_t>(row[1][x]);
    out[3 * x + 2] = static_cast<std::uint8_t>(row[2][x]);
  }
}

namespace {

// The sets this build may run, fastest first.
constexpr KernelSet kSetsByPreference[] = {
#if defined(__x86_64__) || defined(__i386__)
    KernelSet::Avx512, KernelSet::Avx2, KernelSet::Sse4,
#elif defined(__aarch64__)
    KernelSet::Sve, KernelSet::Neon,
#endif
    KernelSet::Plain};

}  // namespace

KernelSet FastestKernelSetAtOrBelow(const char* name) {
  bool reached = name == nullptr || *name == '\0';
  for (KernelSet set : kSetsByPreference) {
    reached = reached || std::strcmp(name, KernelSetName(set)) == 0;
    if (reached && KernelSetSupported(set)) return set;
  }
  // An unknown name forces nothing.
  return name != nullptr ? FastestKernelSetAtOrBelow(nullptr) : KernelSet::Plain;
}

bool KernelSetSupported(KernelSet set) { return set == KernelSet::Plain || VectorKernelsRun(set); }

KernelSet BestKernelSet() {
  static const KernelSet best = FastestKernelSetAtOrBelow(std::getenv("PHOTOTRIM_SIMD"));
  return best;
}

const char* KernelSetName(KernelSet set) {
  switch (set) {
    case KernelSet::Plain: return "scalar";
    case KernelSet::Sse4: return "sse4";
    case KernelSet::Avx2: return "avx2";
    case KernelSet::Avx512: return "avx512";
    case KernelSet::Neon: return "neon";
    case KernelSet::Sve: return "sve";
  }
  return "scalar";
}

#if defined(__x86_64__) || defined(__i386__)
bool RowsFirstRuns() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
         __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi") &&
         __builtin_cpu_supports("avx512vnni");
}
#endif

ReductionKernels KernelsOf(KernelSet set) {
  ReductionKernels kernels = VectorKernelsOf(set);
#if defined(__x86_64__) || defined(__i386__)
  // Reductions that the rows-first kernel does not take (beyond about 1/6, or sums of 31 bits and
  // more) go band by band.
  if (set == KernelSet::Avx512 && RowsFirstRuns()) {
    kernels.byRows = ByRowsAvx512;
    kernels.sharpen = SharpenRowAvx512;
  }
  if (set == KernelSet::Avx2) {
    kernels.byRows = ByRowsAvx2;
    kernels.gathers = GatherLayout::Lanes128;
  }
#endif
  return kernels;
}

}  // namespace phototrim
