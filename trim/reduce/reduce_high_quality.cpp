// ReduceHighQuality: the admission checks, then the area average and the sharpening, band by band.
#include "trim/reduce/reduce_high_quality.h"

#include <algorithm>
#include <cstdint>

#include "trim/reduce/area_spans.h"
#include "trim/geometry/crop.h"
#include "trim/format.h"
#include "trim/messages.h"
#include "trim/reduce/reduce_high_quality_core.h"
#include "trim/result_codes.h"
#include "trim/reduce/sharpen.h"

namespace phototrim {

namespace {

// Source bytes (times rows read) that one call of the vertical kernel may cover between two stop
// tests: about a tenth of a millisecond, so that even a 1/100 band answers an abort at once.
constexpr std::size_t kWorkBetweenStopTests = std::size_t{1} << 21;

// The six checks, in their order; the first that fails writes its reason.
bool Refused(int W, int H, int w, int h, std::string& errorText) {
  // A side below 1 is no reduction at all (and would divide by zero below); no caller asks for it.
  if (w < 1 || h < 1) {
    errorText = text::kHqRatio;
    return true;
  }
  // Each quotient rounds down on its own; a difference of 3 still passes.
  const std::int64_t d = std::int64_t{W} * 100 / H - std::int64_t{w} * 100 / h;
  if (d >= 4 || d <= -4) {
    errorText = Format(text::kHqAspect, w, h);
    return true;
  }
  if (W == w && H == h) {
    errorText = Format(text::kHqSameSize, w, h);
    return true;
  }
  if (W > PlaneCapacity || H > PlaneCapacity) {
    errorText = Format(text::kHqSourceTooLarge, W, H, PlaneCapacity, PlaneCapacity);
    return true;
  }
  if (w > PlaneCapacity || h > PlaneCapacity) {
    errorText = Format(text::kHqTargetTooLarge, w, h, PlaneCapacity, PlaneCapacity);
    return true;
  }
  // Exactly 1/100 passes; beyond it a span would cover more than 101 source pixels.
  if (std::int64_t{w} * 100 < W || std::int64_t{h} * 100 < H) {
    errorText = text::kHqRatio;
    return true;
  }
  if (W <= w || H <= h) {
    errorText = text::kHqEnlarge;
    return true;
  }
  return false;
}

// The horizontal spans as tap lists of one length (the longest span), so the kernels run without
// branches. A list that would run past the right edge starts earlier, with weight 0 in front.
ColumnTaps BuildColumnTaps(ReductionPlanes& planes, int W, int w, int taps) {
  int* start = planes.ColumnStart();
  std::int32_t* weights = planes.ColumnWeights();
  double* inverse = planes.ColumnInverse();
  for (int x = 0; x < w; ++x) {
    const Span span = SpanOf(x, w, W);
    start[x] = std::min(span.first, W - taps);
    const int offset = span.first - start[x];
    std::int32_t* list = weights + static_cast<std::size_t>(x) * static_cast<std::size_t>(taps);
    for (int k = 0; k < taps; ++k) list[k] = (k >= offset && k < offset + span.count) ? WeightAt(span, k - offset) : 0;
    inverse[x] = 1.0 / span.total;
  }
  return {w, taps, start, weights, inverse};
}

// The source rows of target row y, rows of weight 0 left out, padded to pairs.
int FillBandRow(BandRow& lane, const Span& span, Bitmap& image) {
  std::int32_t weights[kMaxTaps];
  int n = 0;
  for (int k = 0; k < span.count; ++k) {
    const int weight = WeightAt(span, k);
    if (weight == 0) continue;
    lane.rows[n] = image.Row(span.first + k);
    weights[n++] = weight;
  }
  if (n % 2 != 0) {
    lane.rows[n] = lane.rows[n - 1];
    weights[n++] = 0;
  }
  for (int i = 0; i < n; i += 2) lane.pairs[i / 2] = weights[i] | (weights[i + 1] << 16);
  lane.count = n;
  return n;
}

}  // namespace

int ReduceHighQualityWith(Bitmap& image, int w, int h, ReductionPlanes& planes, std::string& errorText,
                          const std::function<bool()>& shouldStop, KernelSet kernelSet) {
  errorText.clear();
  const int W = image.Width();
  const int H = image.Height();
  if (Refused(W, H, w, h, errorText)) return kReduceRefused;

  // Separable: a pixel's weight is columnWeight * rowWeight, so S = Sx * Sy and the sum is
  // sum over rows of rowWeight * (sum over columns of columnWeight * value). The vertical pass sums
  // rows (exact in 32 bits: at most 101*100*255), the horizontal pass the columns of those sums.
  int taps = 1, largestSx = 1, largestSy = 1;
  for (int x = 0; x < w; ++x) {
    const Span span = SpanOf(x, w, W);
    taps = std::max(taps, span.count);
    largestSx = std::max(largestSx, span.total);
  }
  for (int y = 0; y < h; ++y) largestSy = std::max(largestSy, SpanOf(y, h, H).total);
  if (!planes.Prepare(W, w, taps)) return kOutOfMemory;
  const ColumnTaps columns = BuildColumnTaps(planes, W, w, taps);

  const ReductionKernels kernels = KernelsOf(kernelSet);
  // 255 * Sx * Sy bounds every sum; near 1/100 on both axes it passes 2^31 and needs 64 bits.
  const bool wideSums = 255 * std::int64_t{largestSx} * largestSy >= (std::int64_t{1} << 31);
  const auto horizontal = wideSums ? HorizontalBand64 : kernels.horizontal;

  std::int32_t* sums = planes.ColumnSums();
  std::uint16_t* ring = planes.ReducedRows();
  const auto plane = [&](int y, int c) {
    return ring + (static_cast<std::size_t>(y % kReducedRingRows) * 3 + static_cast<std::size_t>(c)) * w;
  };
  const std::size_t positions = static_cast<std::size_t>(W) * 3;

  BandRow band[kBandRows];
  double rowInverse[kBandRows];
  std::uint16_t* out[kBandRows * 3];
  int written = 0;  // target rows already in the image
  for (int y0 = 0; y0 < h; y0 += kBandRows) {
    if (shouldStop()) return kReduceAborted;
    const int rows = std::min(kBandRows, h - y0);
    std::size_t bandTaps = 0;
    for (int r = 0; r < kBandRows; ++r) {
      if (r >= rows) {
        band[r].count = 0;
        rowInverse[r] = 0.0;
        continue;
      }
      const Span span = SpanOf(y0 + r, h, H);
      bandTaps += static_cast<std::size_t>(FillBandRow(band[r], span, image));
      rowInverse[r] = 1.0 / span.total;
      for (int c = 0; c < 3; ++c) out[r * 3 + c] = plane(y0 + r, c);
    }

    // Vertical sums, in pieces small enough to keep the stop tests frequent.
    const std::size_t piece = std::max<std::size_t>(16, kWorkBetweenStopTests / std::max<std::size_t>(bandTaps, 1) / 16 * 16);
    for (std::size_t begin = 0; begin < positions; begin += piece) {
      if (begin > 0 && shouldStop()) return kReduceAborted;
      kernels.vertical(band, begin, std::min(positions, begin + piece), sums);
    }
    horizontal(sums, columns, rowInverse, rows, out, planes.BandBytes());

    // Sharpen every row whose lower neighbour is now known. The result goes over source row y at
    // the old row length. The next band, from target row y1 = y0 + rows on, reads only source rows
    // from y1 on (a span starts at y1*H/h >= y1), and every row written here lies above y1, so
    // nothing still needed is overwritten. SetSize packs the rows at the end.
    const int ready = (y0 + rows == h) ? h : y0 + rows - 1;
    for (; written < ready; ++written) {
      if (shouldStop()) return kReduceAborted;
      const int y = written;
      const std::uint16_t* row[3] = {plane(y, 0), plane(y, 1), plane(y, 2)};
      if (y == 0 || y == h - 1) {
        CopyReducedRow(row, w, image.Row(y));  // border rows stay as averaged
      } else {
        const std::uint16_t* above[3] = {plane(y - 1, 0), plane(y - 1, 1), plane(y - 1, 2)};
        const std::uint16_t* below[3] = {plane(y + 1, 0), plane(y + 1, 1), plane(y + 1, 2)};
        kernels.sharpen(above, row, below, w, image.Row(y));
      }
    }
  }
  // Keeps the top-left w x h; shrinking needs no memory.
  if (!image.SetSize(w, h)) return kOutOfMemory;
  return kOk;
}

int ReduceHighQuality(Bitmap& image, int w, int h, ReductionPlanes& planes, std::string& errorText, EventPump& pump) {
  return ReduceHighQualityWith(image, w, h, planes, errorText, [&pump] { return pump.ShouldStop(); }, BestKernelSet());
}

}  // namespace phototrim
