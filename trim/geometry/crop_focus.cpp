// Crop positions from a region: the offset wanted, turned into the hundredths that give it.
#include "trim/geometry/crop_focus.h"

#include <algorithm>
#include <cstdint>

#include "trim/geometry/crop.h"

namespace phototrim {

namespace {

// The smallest position whose offset, floor(room x position / 10000), is `offset` (0 <= offset <= room):
// the ceiling of offset x 10000 / room. Exact wherever a hundredth of a percent is under a pixel.
int PositionFor(int offset, int room) {
  if (room <= 0) return 5000;
  const std::int64_t wanted = std::clamp(offset, 0, room);
  return static_cast<int>((wanted * kPositionScale + room - 1) / room);
}

}  // namespace

CropPosition CentreOnRegion(int W, int H, const TargetSize& pair, const PixelRect& region) {
  const PixelSize crop = ComputeCropSize(W, H, pair);
  if (CheckCrop(W, H, crop.width, crop.height, false) != CropCheck::Ok || region.width < 1 || region.height < 1)
    return kCentred;
  CropPosition place;
  // The frame's centre on the region's centre: offset = region centre - half the frame.
  if (W > crop.width) place.x = PositionFor(region.x + region.width / 2 - crop.width / 2, W - crop.width);
  if (H > crop.height) place.y = PositionFor(region.y + region.height / 2 - crop.height / 2, H - crop.height);
  return place;
}

}  // namespace phototrim
