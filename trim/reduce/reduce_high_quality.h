// ReduceHighQuality: area average in hundredths of a pixel, then a 3x3 luminance sharpening.
#pragma once

#include <functional>
#include <string>

#include "trim/bitmap.h"
#include "trim/kept_rows.h"
#include "trim/reduce/area_reduction.h"
#include "trim/reduce/reduced_picture.h"
#include "trim/reduce/reduction_planes.h"

namespace phototrim {

// The admission checks of a reduction of W x H to w x h, in their order; the first that fails
// writes its reason into `errorText` and makes it true. `sizeLimit`: sources and targets larger
// than PlaneCapacity on a side are refused (the run may lift that limit).
bool HighQualityRefused(int W, int H, int w, int h, bool sizeLimit, std::string& errorText);

// The same reduction of the kept rows of a decode, fed as they come: only the rows one band reads
// are held (a few dozen), and `picture` receives the reduced picture, upright. The caller has
// made the admission checks on the upright sizes.
class HighQualityRows : public RowSink {
 public:
  HighQualityRows(ReductionPlanes& planes, Bitmap& picture, Bitmap& scratch, std::function<bool()> shouldStop,
                  KernelSet kernelSet = BestKernelSet())
      : planes_(planes), output_(picture, scratch), shouldStop_(std::move(shouldStop)), kernelSet_(kernelSet) {}
  // The kept rows reduced to w x h upright. Ok or OutOfMemory.
  LoadResult Begin(const KeptRows& kept, int w, int h);

  int NextRows(std::uint8_t** rows, int wanted) override;
  LoadResult RowsFilled(int count) override;  // Ok, or Stopped when the stop test said so
  LoadResult Finish() override;

 private:
  std::uint8_t* Slot(int k) { return planes_.SourceRows() + static_cast<std::size_t>(k % capacity_) * rowBytes_; }

  ReductionPlanes& planes_;
  ReducedPicture output_;
  std::function<bool()> shouldStop_;
  KernelSet kernelSet_;
  AreaReduction reduction_;
  std::size_t rowBytes_ = 0;
  std::size_t left_ = 0;  // bytes from the start of a decoded row to its first kept pixel
  int capacity_ = 1;      // source rows held
  int arrived_ = 0;
};

}  // namespace phototrim
