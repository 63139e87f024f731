// The area average and the sharpening of the high-quality reduction, fed source rows as they come.
#include "trim/reduce/area_reduction.h"

#include <algorithm>
#include <cstdlib>

#include "trim/reduce/area_spans.h"
#include "trim/reduce/lane_gathers.h"
#include "trim/reduce/row_gathers.h"
#include "trim/reduce/sharpen.h"

namespace phototrim {

namespace {

// Source bytes (times rows read) that the passes may cover between two stop tests: about a tenth
// of a millisecond, so that even a 1/100 band answers an abort at once.
constexpr std::size_t kWorkBetweenStopTests = std::size_t{1} << 21;
// Source rows that a band should not read more of: a band of strong reductions (beyond 1/8) has
// fewer target rows, so that a feeder holds few rows at any reduction (101 at 1/100).
constexpr int kBandRowsRead = 64;

// The horizontal spans as tap lists of one length (the longest span), so the kernels run without
// branches. A list that would run past the end of the row starts earlier, with weight 0 in front.
// When the row runs the other way (mirrored), a span is the same pixels counted from the other
// end: its list starts at the lower stored pixel and takes the weights last to first.
ColumnTaps BuildColumnTaps(ReductionPlanes& planes, int W, int w, int taps, bool mirrored) {
  int* start = planes.ColumnStart();
  std::int32_t* weights = planes.ColumnWeights();
  double* inverse = planes.ColumnInverse();
  for (int x = 0; x < w; ++x) {
    const Span span = SpanOf(x, w, W);
    const int first = mirrored ? W - span.first - span.count : span.first;
    start[x] = std::min(first, W - taps);
    const int offset = first - start[x];
    std::int32_t* list = weights + static_cast<std::size_t>(x) * static_cast<std::size_t>(taps);
    for (int k = 0; k < taps; ++k) {
      const int j = k - offset;  // the j-th stored pixel of the span
      list[k] = j >= 0 && j < span.count ? WeightAt(span, mirrored ? span.count - 1 - j : j) : 0;
    }
    inverse[x] = 1.0 / span.total;
  }
  return {w, taps, start, weights, inverse};
}

}  // namespace

ReduceResult AreaReduction::Start(const ReductionAxes& axes, ReductionPlanes& planes, KernelSet kernelSet,
                                  SourceRow sourceRow, TargetRow targetRow, std::function<bool()> shouldStop) {
  axes_ = axes;
  planes_ = &planes;
  sourceRow_ = std::move(sourceRow);
  targetRow_ = std::move(targetRow);
  shouldStop_ = std::move(shouldStop);
  const int W = axes.sourceColumns, w = axes.targetColumns, H = axes.sourceRows, h = axes.targetRows;

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
  if (!planes.Prepare(W, w, taps)) return ReduceResult::OutOfMemory;
  columns_ = BuildColumnTaps(planes, W, w, taps, axes.columnsMirrored);
  // Strips of target columns whose taps lie within kStripPositions positions (one column alone
  // always fits: its taps are at most 101 pixels). The tap lists start further right with every
  // column, or further left when the row runs the other way.
  int* stripFirst = planes.StripFirst();
  int* stripStart = planes.StripStart();
  stripCount_ = 0;
  for (int first = 0; first < w;) {
    int end = first + 1;
    while (end < w && (std::abs(columns_.start[end] - columns_.start[first]) + taps) * 3 <= kStripPositions) ++end;
    const int low = StripLow(first, end);
    for (int x = first; x < end; ++x) stripStart[x] = columns_.start[x] - low;
    stripFirst[stripCount_++] = first;
    first = end;
  }
  stripFirst[stripCount_] = w;
  kernels_ = KernelsOf(kernelSet);
  // 255 * Sx * Sy bounds every sum; near 1/100 on both axes it passes 2^31 and needs 64 bits.
  const bool wideSums = 255 * std::int64_t{largestSx} * largestSy >= (std::int64_t{1} << 31);
  horizontal_ = wideSums ? HorizontalBand64 : kernels_.horizontal;
  // Rows first where the kernels can: their sums are 32-bit, and every group's taps must lie in one
  // window of the row.
  byRows_ = false;
  if (kernels_.byRows != nullptr && !wideSums) {
    if (kernels_.gathers == GatherLayout::Lanes128) {
      byRows_ = LaneGathersFit(columns_, W);
      if (byRows_) {
        if (!planes.PrepareLaneGathers(LaneGatherBlocks(w))) return ReduceResult::OutOfMemory;
        gathers_ = BuildLaneGathers(columns_, W, planes);
      }
    } else if (const int quads = RowGatherQuads(columns_); quads > 0) {
      byRows_ = true;
      if (!planes.PrepareRowGathers(RowGatherGroups(w), quads)) return ReduceResult::OutOfMemory;
      gathers_ = BuildRowGathers(columns_, W, quads, planes);
    }
  }
  storedRow_ = -1;

  const int rowsPerTarget = (H + h - 1) / h;
  bandRows_ = std::clamp(kBandRowsRead / rowsPerTarget, 1, kBandRows);
  bandCount_ = (h + bandRows_ - 1) / bandRows_;
  nextBand_ = written_ = 0;
  nextToWrite_ = axes.rowsReversed ? h - 1 : 0;
  rowsPerBandRead_ = 0;
  for (int b = 0; b < bandCount_; ++b) {
    int from = 0, to = 0;
    SourceRowsOf(BandAt(b), from, to);
    rowsPerBandRead_ = std::max(rowsPerBandRead_, to - from + 1);
  }
  return ReduceResult::Ok;
}

int AreaReduction::StripLow(int first, int end) const {
  return std::min(columns_.start[first], columns_.start[end - 1]);
}

AreaReduction::Band AreaReduction::BandAt(int index) const {
  const int h = axes_.targetRows;
  if (!axes_.rowsReversed) {
    const int first = index * bandRows_;
    return {first, std::min(bandRows_, h - first)};
  }
  const int end = h - index * bandRows_;
  const int first = std::max(0, end - bandRows_);
  return {first, end - first};
}

void AreaReduction::SourceRowsOf(const Band& band, int& from, int& to) const {
  const int H = axes_.sourceRows, h = axes_.targetRows;
  const Span top = SpanOf(band.first, h, H), bottom = SpanOf(band.first + band.rows - 1, h, H);
  const int low = top.first, high = bottom.first + bottom.count - 1;
  from = axes_.rowsReversed ? H - 1 - high : low;
  to = axes_.rowsReversed ? H - 1 - low : high;
}

int AreaReduction::FirstRowNeeded() const {
  if (nextBand_ >= bandCount_) return axes_.sourceRows;
  int from = 0, to = 0;
  SourceRowsOf(BandAt(nextBand_), from, to);
  return from;
}

ReduceResult AreaReduction::Arrived(int arrived) {
  while (nextBand_ < bandCount_) {
    int from = 0, to = 0;
    const Band band = BandAt(nextBand_);
    SourceRowsOf(band, from, to);
    if (to >= arrived) break;
    if (const ReduceResult reduced = ReduceBand(band); reduced != ReduceResult::Ok) return reduced;
    ++nextBand_;
  }
  return ReduceResult::Ok;
}

std::uint16_t* AreaReduction::ReducedRow(int y, int c) const {
  return planes_->ReducedRows() +
         (static_cast<std::size_t>(y % kReducedRingRows) * 3 + static_cast<std::size_t>(c)) *
             static_cast<std::size_t>(axes_.targetColumns);
}

ReduceResult AreaReduction::ReduceBand(const Band& band) {
  if (shouldStop_()) return ReduceResult::Aborted;
  if (byRows_) return ReduceBandByRows(band);
  const int H = axes_.sourceRows, h = axes_.targetRows;

  BandRow lanes[kBandRows];
  double rowInverse[kBandRows];
  std::uint16_t* out[kBandRows * 3];
  std::size_t bandTaps = 0;
  for (int r = 0; r < kBandRows; ++r) {
    BandRow& lane = lanes[r];
    if (r >= band.rows) {
      lane.count = 0;
      rowInverse[r] = 0.0;
      continue;
    }
    // The source rows of target row y, rows of weight 0 left out, padded to pairs with a row of
    // weight 0 (the vector kernels take rows two at a time).
    const Span span = SpanOf(band.first + r, h, H);
    std::int32_t weights[kMaxTaps];
    int n = 0;
    for (int k = 0; k < span.count; ++k) {
      const int weight = WeightAt(span, k);
      if (weight == 0) continue;
      const int row = span.first + k;
      lane.rows[n] = sourceRow_(axes_.rowsReversed ? H - 1 - row : row);
      weights[n++] = weight;
    }
    if (n % 2 != 0) {
      lane.rows[n] = lane.rows[n - 1];
      weights[n++] = 0;
    }
    for (int i = 0; i < n; i += 2) lane.pairs[i / 2] = weights[i] | (weights[i + 1] << 16);
    lane.count = n;
    bandTaps += static_cast<std::size_t>(n);
    rowInverse[r] = 1.0 / span.total;
    for (int c = 0; c < 3; ++c) out[r * 3 + c] = ReducedRow(band.first + r, c);
  }

  // Strip by strip, the vertical sums of the strip's source columns and at once the horizontal
  // pass over them, while they are in the cache. The source columns of two strips may overlap by
  // a span: those few sums are made twice. Between strips, a stop test once about a tenth of a
  // millisecond of work has passed.
  const int* stripFirst = planes_->StripFirst();
  const int* stripStart = planes_->StripStart();
  std::int32_t* sums = planes_->ColumnSums();
  BandRow strip[kBandRows];
  std::size_t work = 0;
  for (int s = 0; s < stripCount_; ++s) {
    const int x0 = stripFirst[s], x1 = stripFirst[s + 1];
    const int low = StripLow(x0, x1);
    const std::size_t begin = static_cast<std::size_t>(low) * 3;
    const std::size_t positions =
        static_cast<std::size_t>(std::max(columns_.start[x0], columns_.start[x1 - 1]) + columns_.taps - low) * 3;
    if (work >= kWorkBetweenStopTests) {
      if (shouldStop_()) return ReduceResult::Aborted;
      work = 0;
    }
    work += bandTaps * positions;
    for (int r = 0; r < kBandRows; ++r) {
      strip[r].count = lanes[r].count;
      for (int t = 0; t < lanes[r].count; ++t) strip[r].rows[t] = lanes[r].rows[t] + begin;
      for (int t = 0; t < lanes[r].count / 2; ++t) strip[r].pairs[t] = lanes[r].pairs[t];
    }
    kernels_.vertical(strip, 0, positions, sums);
    const ColumnTaps columns{x1 - x0, columns_.taps, stripStart + x0,
                             columns_.weights + static_cast<std::size_t>(x0) * static_cast<std::size_t>(columns_.taps),
                             columns_.inverse + x0};
    std::uint16_t* stripOut[kBandRows * 3];
    for (int i = 0; i < band.rows * 3; ++i) stripOut[i] = out[i] + x0;
    horizontal_(sums, columns, rowInverse, band.rows, stripOut);
  }
  return WriteReadyRows(band);
}

int AreaReduction::RowsOfTarget(int y, int* rows, int* weights) const {
  const int H = axes_.sourceRows;
  const Span span = SpanOf(y, axes_.targetRows, H);
  int n = 0;
  for (int k = 0; k < span.count; ++k) {
    // Bottom up, the span's rows come last to first.
    const int j = axes_.rowsReversed ? span.count - 1 - k : k;
    const int weight = WeightAt(span, j);
    if (weight == 0) continue;
    rows[n] = axes_.rowsReversed ? H - 1 - (span.first + j) : span.first + j;
    weights[n++] = weight;
  }
  return n;
}

ReduceResult AreaReduction::ReduceBandByRows(const Band& band) {
  // Target rows in the order their rows come. Two neighbours share at most one source row (a span
  // is longer than one source pixel), the last of the one and the first of the other: its sums
  // along the width are made once and kept for the second.
  const int h = axes_.targetRows;
  std::size_t work = 0;
  for (int i = 0; i < band.rows; ++i) {
    const int y = axes_.rowsReversed ? band.first + band.rows - 1 - i : band.first + i;
    if (work >= kWorkBetweenStopTests) {
      if (shouldStop_()) return ReduceResult::Aborted;
      work = 0;
    }
    int rows[kMaxTaps], weights[kMaxTaps];
    const int count = RowsOfTarget(y, rows, weights);
    const int next = axes_.rowsReversed ? y - 1 : y + 1;
    int nextRows[kMaxTaps], nextWeights[kMaxTaps];
    const bool nextReadsLast = next >= 0 && next < h && RowsOfTarget(next, nextRows, nextWeights) > 0 &&
                               nextRows[0] == rows[count - 1];
    TargetRowSources sources;
    for (int k = 0; k < count; ++k) {
      if (rows[k] == storedRow_) {
        sources.stored = planes_->GatherSums(storedSums_);
        sources.storedWeight = weights[k];
        continue;
      }
      sources.fresh[sources.freshCount] = sourceRow_(rows[k]);
      sources.freshWeight[sources.freshCount++] = weights[k];
    }
    // Three spans never share a row, so a row read before is never kept again.
    sources.keepLast = nextReadsLast && rows[count - 1] != storedRow_;
    sources.kept = planes_->GatherSums(1 - storedSums_);
    const Span span = SpanOf(y, h, axes_.sourceRows);
    sources.total = span.total;
    sources.inverse = 1.0f / static_cast<float>(span.total);
    std::uint16_t* out[3] = {ReducedRow(y, 0), ReducedRow(y, 1), ReducedRow(y, 2)};
    kernels_.byRows(gathers_, sources, out);
    if (sources.keepLast) {
      storedRow_ = rows[count - 1];
      storedSums_ = 1 - storedSums_;
    } else {
      storedRow_ = -1;
    }
    work += static_cast<std::size_t>(sources.freshCount) * gathers_.rowBytes;
  }
  return WriteReadyRows(band);
}

ReduceResult AreaReduction::WriteReadyRows(const Band& band) {
  // A row is sharpened once both its neighbours are averaged: the reduced rows are a ring of
  // kReducedRingRows, which holds a band and the two rows next to it on the side already done.
  const int h = axes_.targetRows, w = axes_.targetColumns;
  const auto plane = [&](int y, int c) { return ReducedRow(y, c); };
  const auto write = [&](int y) {
    if (shouldStop_()) return false;
    const std::uint16_t* row[3] = {plane(y, 0), plane(y, 1), plane(y, 2)};
    if (y == 0 || y == h - 1) {
      CopyReducedRow(row, w, targetRow_(y));  // border rows stay as averaged
    } else {
      const std::uint16_t* above[3] = {plane(y - 1, 0), plane(y - 1, 1), plane(y - 1, 2)};
      const std::uint16_t* below[3] = {plane(y + 1, 0), plane(y + 1, 1), plane(y + 1, 2)};
      kernels_.sharpen(above, row, below, w, targetRow_(y));
    }
    ++written_;
    return true;
  };
  if (!axes_.rowsReversed) {
    const int ready = band.first + band.rows == h ? h : band.first + band.rows - 1;
    for (; nextToWrite_ < ready; ++nextToWrite_)
      if (!write(nextToWrite_)) return ReduceResult::Aborted;
  } else {
    const int ready = band.first == 0 ? 0 : band.first + 1;
    for (; nextToWrite_ >= ready; --nextToWrite_)
      if (!write(nextToWrite_)) return ReduceResult::Aborted;
  }
  return ReduceResult::Ok;
}

}  // namespace phototrim
