// The crop and the reductions of a whole picture held in memory, in place where they shrink it.
#include "support/whole_picture_steps.h"

#include <cstdint>
#include <cstring>

#include "trim/geometry/crop.h"
#include "trim/reduce/area_reduction.h"
#include "trim/reduce/reduce_high_quality.h"

namespace phototrim {

namespace {

// The source pixel under the centre of a target pixel: (2t+1)*S / (2*T), rounded down.
int CentreSource(int target, int targetSize, int sourceSize) {
  return static_cast<int>((2 * static_cast<std::int64_t>(target) + 1) * sourceSize /
                          (2 * static_cast<std::int64_t>(targetSize)));
}

}  // namespace

StepResult CropCentered(Bitmap& work, Bitmap& /*scratch*/, int cw, int ch) {
  const int W = work.Width();
  const int H = work.Height();
  if (CheckCrop(W, H, cw, ch, true) != CropCheck::Ok) return StepResult::Refused;
  if (cw == W && ch == H) return StepResult::Ok;
  // Nothing is copied: the picture becomes a window on the kept rectangle.
  const PixelRect rect = CentredRect(W, H, cw, ch);
  if (!work.CutOut(rect.x, rect.y, cw, ch)) return StepResult::Refused;
  return StepResult::Ok;
}

StepResult ReducePlain(Bitmap& work, Bitmap& scratch, int tw, int th) {
  const int W = work.Width();
  const int H = work.Height();
  if (tw < 1 || th < 1) return StepResult::OutOfMemory;  // no bitmap can have that size
  if (tw == W && th == H) return StepResult::Ok;
  if (!scratch.Reset(tw, th)) return StepResult::OutOfMemory;
  for (int y = 0; y < th; ++y) {
    const std::uint8_t* source = work.Row(CentreSource(y, th, H));
    std::uint8_t* target = scratch.Row(y);
    for (int x = 0; x < tw; ++x) std::memcpy(target + 3 * x, source + 3 * CentreSource(x, tw, W), 3);
  }
  work.Swap(scratch);
  return StepResult::Ok;
}

StepResult ReduceHighQualityWith(Bitmap& image, int w, int h, ReductionPlanes& planes, std::string& errorText,
                                 const std::function<bool()>& shouldStop, KernelSet kernelSet) {
  errorText.clear();
  const int W = image.Width();
  const int H = image.Height();
  if (HighQualityRefused(W, H, w, h, true, errorText)) return StepResult::Refused;

  // Every source row is there from the start. Target row y goes over source row y (at the old row
  // length): the bands after it read only source rows from their first target row on (a span
  // starts at y1*H/h >= y1), so nothing still needed is overwritten. SetSize packs the rows.
  AreaReduction reduction;
  const auto row = [&image](int k) { return image.Row(k); };
  if (reduction.Start({H, W, h, w, false, false}, planes, kernelSet, row, row, shouldStop) != ReduceResult::Ok)
    return StepResult::OutOfMemory;
  if (reduction.Arrived(H) != ReduceResult::Ok) return StepResult::Aborted;
  // Keeps the top-left w x h; shrinking needs no memory.
  if (!image.SetSize(w, h)) return StepResult::OutOfMemory;
  return StepResult::Ok;
}

}  // namespace phototrim
