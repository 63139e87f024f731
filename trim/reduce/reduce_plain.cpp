// PlainRows: point sampling of the decoded rows onto the target size, row by row as they come.
#include "trim/reduce/reduce_plain.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "trim/load_result.h"

namespace phototrim {

namespace {

// Sampling phase: each target pixel takes the source pixel under its centre. Target pixel x covers
// [x, x+1) * W/tw in source pixels; its centre (x + 1/2) * W/tw = (2x+1)*W / (2*tw), rounded down.
// This keeps the picture centred (no drift towards the top-left) and uses each source pixel at most
// once when shrinking. 64-bit, because (2x+1)*W passes 2^31 for large pictures.
int SourceIndex(int target, int targetSize, int sourceSize) {
  return static_cast<int>((2 * static_cast<std::int64_t>(target) + 1) * sourceSize /
                          (2 * static_cast<std::int64_t>(targetSize)));
}

// Byte offsets of the sampled source pixel of every target column, in a row that starts `left`
// pixels before the source and runs the other way when `mirrored`.
std::unique_ptr<std::size_t[]> ColumnOffsets(int tw, int W, int left, bool mirrored) {
  std::unique_ptr<std::size_t[]> offsets(new (std::nothrow) std::size_t[static_cast<std::size_t>(tw)]);
  if (offsets)
    for (int x = 0; x < tw; ++x) {
      const int column = SourceIndex(x, tw, W);
      offsets[x] = static_cast<std::size_t>(left + (mirrored ? W - 1 - column : column)) * 3;
    }
  return offsets;
}

void SampleRow(const std::uint8_t* source, const std::size_t* offsets, int tw, std::uint8_t* target) {
  for (int x = 0; x < tw; ++x) {
    const std::uint8_t* pixel = source + offsets[x];
    target[3 * x + 0] = pixel[0];
    target[3 * x + 1] = pixel[1];
    target[3 * x + 2] = pixel[2];
  }
}

}  // namespace

LoadResult PlainRows::Begin(const KeptRows& kept, int tw, int th) {
  kept_ = kept;
  // Upright, a turned picture's stored rows are its columns: the row axis is then reduced to tw.
  targetRows_ = kept.axes.turned ? tw : th;
  targetColumns_ = kept.axes.turned ? th : tw;
  arrived_ = 0;
  next_ = kept.axes.rowsReversed ? targetRows_ - 1 : 0;
  rowBytes_ = static_cast<std::size_t>(kept.decodedWidth) * 3;
  offsets_ = ColumnOffsets(targetColumns_, kept.width, kept.left, kept.axes.columnsMirrored);
  rows_.reset(new (std::nothrow) std::uint8_t[rowBytes_ * kMaxRowsOffered]);
  if (!offsets_ || !rows_ || !output_.Begin(targetRows_, targetColumns_, kept.axes.turned)) return LoadResult::OutOfMemory;
  return LoadResult::Ok;
}

int PlainRows::NextRows(std::uint8_t** rows, int wanted) {
  const int n = std::min(wanted, kMaxRowsOffered);
  for (int i = 0; i < n; ++i) rows[i] = rows_.get() + rowBytes_ * static_cast<std::size_t>(i);
  return n;
}

LoadResult PlainRows::RowsFilled(int count) {
  // Shrinking, each target row takes another source row, and they come in the order of the rows:
  // the next target row is the only one that can take the row in hand.
  const int A = kept_.count;
  for (int i = 0; i < count; ++i, ++arrived_) {
    const int along = kept_.axes.rowsReversed ? A - 1 - arrived_ : arrived_;
    const bool pending = kept_.axes.rowsReversed ? next_ >= 0 : next_ < targetRows_;
    if (!pending || SourceIndex(next_, targetRows_, A) != along) continue;
    SampleRow(rows_.get() + rowBytes_ * static_cast<std::size_t>(i), offsets_.get(), targetColumns_, output_.Row(next_));
    next_ += kept_.axes.rowsReversed ? -1 : 1;
  }
  return LoadResult::Ok;
}

LoadResult PlainRows::Finish() { return output_.Finish(shouldStop_) ? LoadResult::Ok : LoadResult::Stopped; }

}  // namespace phototrim
