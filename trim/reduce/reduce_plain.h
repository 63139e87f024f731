// PlainRows: point-sampling reduction of the decoded rows to a smaller size, no averaging.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "trim/bitmap.h"
#include "trim/kept_rows.h"
#include "trim/reduce/reduced_picture.h"

namespace phototrim {

// Point sampling of the kept rows of a decode, fed as they come: each target pixel takes one source
// pixel, each row is looked at once, and sampled into the reduced picture when a target row takes it.
class PlainRows : public RowSink {
 public:
  // `shouldStop` is asked while a turned picture is turned (it may be empty).
  PlainRows(Bitmap& picture, Bitmap& scratch, std::function<bool()> shouldStop = {})
      : output_(picture, scratch), shouldStop_(std::move(shouldStop)) {}
  // The kept rows reduced to tw x th upright (not larger than they are). Ok or OutOfMemory.
  LoadResult Begin(const KeptRows& kept, int tw, int th);

  int NextRows(std::uint8_t** rows, int wanted) override;
  LoadResult RowsFilled(int count) override;
  LoadResult Finish() override;

 private:
  ReducedPicture output_;
  std::function<bool()> shouldStop_;
  KeptRows kept_;
  int targetRows_ = 0, targetColumns_ = 0;
  std::unique_ptr<std::size_t[]> offsets_;  // bytes into a decoded row, per target column
  std::unique_ptr<std::uint8_t[]> rows_;    // the rows being decoded
  std::size_t rowBytes_ = 0;
  int arrived_ = 0;
  int next_ = 0;  // the next target row, in the order the rows come
};

}  // namespace phototrim
