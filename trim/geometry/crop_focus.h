// A crop position that puts a region of the picture (the faces in it) in the middle of the frame.
#pragma once

#include "trim/bitmap.h"
#include "trim/geometry/crop_position.h"
#include "trim/geometry/size_table.h"

namespace phototrim {

// The position of the crop of a W x H upright picture under `pair` whose frame is centred on `region`
// along the free axis, clamped to the picture; the centre where the crop has no room or is refused.
CropPosition CentreOnRegion(int W, int H, const TargetSize& pair, const PixelRect& region);

}  // namespace phototrim
