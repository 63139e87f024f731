// Crop geometry: the largest centred crop with the target ratio, its check, the reduction target.
#pragma once

#include "trim/bitmap.h"
#include "trim/geometry/crop_position.h"
#include "trim/geometry/size_table.h"

namespace phototrim {

// Largest crop that the work planes and the crop accept, per side, unless the run lifts the limit.
inline constexpr int PlaneCapacity = 6200;

struct PixelSize {
  int width = 0;
  int height = 0;
};

// The crop of a W x H picture for the pair: landscape pictures get L:S, portrait and square S:L;
// the whole of one side is kept. Products are 64-bit; divisions truncate. The pair is positive.
PixelSize ComputeCropSize(int W, int H, const TargetSize& pair);

// The centred cw x ch rectangle of a W x H picture: left offset (W-cw)/2, top (H-ch)/2, so an odd
// surplus leaves the extra column on the right and row at the bottom.
PixelRect CentredRect(int W, int H, int cw, int ch);

enum class CropCheck {
  Ok,
  Refused,          // larger than the picture, or empty
  BeyondSizeLimit,  // fits the picture, but is larger than PlaneCapacity on a side
};
// Whether the centred cw x ch crop of a W x H picture is made; `sizeLimit` holds it to PlaneCapacity.
CropCheck CheckCrop(int W, int H, int cw, int ch, bool sizeLimit);

// Pictures of 320 x 240 or less (either way up), which the run skips when asked to.
bool SmallPicture(int W, int H);

// What becomes of a W x H upright picture under the pair: the crop check, and the rectangle kept
// (at `place` in the free room) when the check passes. The decoder only carries this out.
struct CropDecision {
  CropCheck check = CropCheck::Refused;
  PixelRect kept;
};
CropDecision DecideCrop(int W, int H, const TargetSize& pair, CropPosition place, bool sizeLimit);

// The reduction target of a cropped W x H picture: L wide and S high for landscape, else S x L.
PixelSize ComputeReductionTarget(int W, int H, const TargetSize& pair);

}  // namespace phototrim
