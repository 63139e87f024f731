// ReduceHighQuality: the admission checks, then the area average and the sharpening of the decoded rows.
#include "trim/reduce/reduce_high_quality.h"

#include <algorithm>
#include <cstdint>

#include "trim/format.h"
#include "trim/geometry/crop.h"
#include "trim/messages.h"
#include "trim/load_result.h"

namespace phototrim {

namespace {

// Decoded rows start on a cache line (the held rows' block starts on one): a row's loads touch
// no more lines than its bytes need.
constexpr std::size_t kRowAlignment = 64;

}  // namespace

bool HighQualityRefused(int W, int H, int w, int h, bool sizeLimit, std::string& errorText) {
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
  if (sizeLimit && (W > PlaneCapacity || H > PlaneCapacity)) {
    errorText = Format(text::kHqSourceTooLarge, W, H, PlaneCapacity, PlaneCapacity);
    return true;
  }
  if (sizeLimit && (w > PlaneCapacity || h > PlaneCapacity)) {
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

LoadResult HighQualityRows::Begin(const KeptRows& kept, int w, int h) {
  // Upright, a turned picture's stored rows are its columns: the row axis is then reduced to w.
  const bool turned = kept.axes.turned;
  const ReductionAxes axes{kept.count, kept.width, turned ? w : h, turned ? h : w, kept.axes.rowsReversed,
                           kept.axes.columnsMirrored};
  if (!output_.Begin(axes.targetRows, axes.targetColumns, turned)) return LoadResult::OutOfMemory;
  rowBytes_ = (static_cast<std::size_t>(kept.decodedWidth) * 3 + kRowAlignment - 1) / kRowAlignment * kRowAlignment;
  left_ = static_cast<std::size_t>(kept.left) * 3;
  arrived_ = 0;
  const ReduceResult started = reduction_.Start(
      axes, planes_, kernelSet_, [this](int k) -> const std::uint8_t* { return Slot(k) + left_; },
      [this](int i) { return output_.Row(i); }, shouldStop_);
  if (started != ReduceResult::Ok) return LoadResult::OutOfMemory;
  // One band's rows, and room for the rows the decoder writes while that band is not complete.
  capacity_ = reduction_.RowsPerBandRead() + kMaxRowsOffered;
  return planes_.PrepareSourceRows(static_cast<std::size_t>(capacity_) * rowBytes_) ? LoadResult::Ok : LoadResult::OutOfMemory;
}

int HighQualityRows::NextRows(std::uint8_t** rows, int wanted) {
  // Never the slot of a row that a band still has to read.
  const int n = std::max(1, std::min(wanted, reduction_.FirstRowNeeded() + capacity_ - arrived_));
  for (int i = 0; i < n; ++i) rows[i] = Slot(arrived_ + i);
  return n;
}

LoadResult HighQualityRows::RowsFilled(int count) {
  arrived_ += count;
  // An aborted reduction stops the decode that feeds it.
  return reduction_.Arrived(arrived_) == ReduceResult::Ok ? LoadResult::Ok : LoadResult::Stopped;
}

LoadResult HighQualityRows::Finish() {
  if (!reduction_.Done()) return LoadResult::OutOfMemory;  // rows missing: cannot happen after a whole decode
  return output_.Finish(shouldStop_) ? LoadResult::Ok : LoadResult::Stopped;
}

}  // namespace phototrim
