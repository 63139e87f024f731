// A row sink that stands the kept rows upright in a picture: the whole kept picture, unreduced.
#pragma once

#include "trim/bitmap.h"
#include "trim/codec/row_sink.h"

namespace phototrim {

// Rows that stay rows are decoded straight into `picture` (bottom up when the rows are reversed,
// each turned around in place when mirrored); the margin columns of the decode are cut off without
// a copy. Quarter turns are decoded a few rows at a time into `chunk` and written turned into
// `picture`, so the picture is never held twice.
class UprightRows : public RowSink {
 public:
  UprightRows(Bitmap& picture, Bitmap& chunk) : picture_(picture), chunk_(chunk) {}
  // Ok, or OutOfMemory when the picture cannot be had.
  LoadResult Begin(const KeptRows& kept);

  int NextRows(std::uint8_t** rows, int wanted) override;
  LoadResult RowsFilled(int count) override;
  LoadResult Finish() override;

 private:
  void TurnChunk();

  Bitmap& picture_;
  Bitmap& chunk_;
  KeptRows kept_;
  int done_ = 0;     // rows filled
  int inChunk_ = 0;  // rows of the chunk filled and not yet turned into the picture
};

}  // namespace phototrim
