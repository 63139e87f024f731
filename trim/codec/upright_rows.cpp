// A row sink that stands the kept rows upright in a picture.
#include "trim/codec/upright_rows.h"

#include <algorithm>
#include <utility>

#include "trim/load_result.h"

namespace phototrim {

namespace {

// Rows turned at a time: a tile of the transposition high (see TurnRowsInto).
constexpr int kChunkRows = 64;

void ReversePixels(std::uint8_t* row, int width) {
  for (int left = 0, right = width - 1; left < right; ++left, --right) {
    std::swap(row[3 * left], row[3 * right]);
    std::swap(row[3 * left + 1], row[3 * right + 1]);
    std::swap(row[3 * left + 2], row[3 * right + 2]);
  }
}

}  // namespace

LoadResult UprightRows::Begin(const KeptRows& kept) {
  kept_ = kept;
  done_ = inChunk_ = 0;
  if (kept.axes.turned) {
    if (!picture_.Reset(kept.count, kept.width) || !chunk_.Reset(kept.decodedWidth, kChunkRows)) return LoadResult::OutOfMemory;
    return LoadResult::Ok;
  }
  return picture_.Reset(kept.decodedWidth, kept.count) ? LoadResult::Ok : LoadResult::OutOfMemory;
}

int UprightRows::NextRows(std::uint8_t** rows, int wanted) {
  if (kept_.axes.turned) {
    const int n = std::min(wanted, kChunkRows - inChunk_);
    for (int i = 0; i < n; ++i) rows[i] = chunk_.Row(inChunk_ + i);
    return n;
  }
  const int n = std::min(wanted, std::max(1, kept_.count - done_));
  for (int i = 0; i < n; ++i) {
    const int k = std::min(done_ + i, kept_.count - 1);
    rows[i] = picture_.Row(kept_.axes.rowsReversed ? kept_.count - 1 - k : k);
  }
  return n;
}

LoadResult UprightRows::RowsFilled(int count) {
  if (kept_.axes.turned) {
    inChunk_ += count;
    done_ += count;
    if (inChunk_ == kChunkRows) TurnChunk();
    return LoadResult::Ok;
  }
  if (kept_.axes.columnsMirrored) {
    for (int i = 0; i < count; ++i) {
      const int k = done_ + i;
      ReversePixels(picture_.Row(kept_.axes.rowsReversed ? kept_.count - 1 - k : k) + 3 * kept_.left, kept_.width);
    }
  }
  done_ += count;
  return LoadResult::Ok;
}

void UprightRows::TurnChunk() {
  TurnRowsInto(chunk_, 0, kept_.left, kept_.width, done_ - inChunk_, inChunk_, kept_.count, kept_.axes, picture_);
  inChunk_ = 0;
}

LoadResult UprightRows::Finish() {
  if (kept_.axes.turned) {
    if (inChunk_ > 0) TurnChunk();
    return LoadResult::Ok;
  }
  // The decoded margins go; the kept rows stay where they are.
  if (kept_.decodedWidth != kept_.width && !picture_.CutOut(kept_.left, 0, kept_.width, kept_.count))
    return LoadResult::OutOfMemory;  // cannot happen: the rectangle lies inside the picture
  return LoadResult::Ok;
}

}  // namespace phototrim
