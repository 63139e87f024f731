// Crop geometry: the crop size, the check, the place of the kept rectangle, the reduction target.
#include "trim/geometry/crop.h"

#include <cstdint>


namespace phototrim {

PixelSize ComputeCropSize(int W, int H, const TargetSize& pair) {
  // A pair of zero or below never gets here (the run refuses it first); answer with an empty crop,
  // which the crop check refuses, rather than divide by zero.
  if (pair.LongSide <= 0 || pair.ShortSide <= 0 || W <= 0 || H <= 0) return {0, 0};
  // 64-bit products: a typed fixed size near 2^31 must not wrap. Every quotient is at most W or H
  // (the branch taken guarantees it), so it fits back into an int.
  const std::int64_t w = W, h = H, L = pair.LongSide, S = pair.ShortSide;
  if (W > H) {
    if (w * S > h * L) return {static_cast<int>(h * L / S), H};
    return {W, static_cast<int>(w * S / L)};
  }
  // Portrait and square pictures get the pair turned upright, so a square comes out taller than wide.
  if (w * L > h * S) return {static_cast<int>(h * S / L), H};
  return {W, static_cast<int>(w * L / S)};
}

PixelSize ComputeReductionTarget(int W, int H, const TargetSize& pair) {
  if (W > H) return {pair.LongSide, pair.ShortSide};
  return {pair.ShortSide, pair.LongSide};
}

PixelRect CentredRect(int W, int H, int cw, int ch) {
  // The middle of the room, truncated: an odd surplus leaves the extra column on the right, the
  // extra row below.
  return PlacedRect(W, H, cw, ch, kCentred);
}

bool SmallPicture(int W, int H) { return (W <= 320 && H <= 240) || (W <= 240 && H <= 320); }

CropDecision DecideCrop(int W, int H, const TargetSize& pair, CropPosition place, bool sizeLimit) {
  const PixelSize crop = ComputeCropSize(W, H, pair);
  const CropCheck check = CheckCrop(W, H, crop.width, crop.height, sizeLimit);
  if (check != CropCheck::Ok) return {check, {}};
  return {check, PlacedRect(W, H, crop.width, crop.height, place)};
}

CropCheck CheckCrop(int W, int H, int cw, int ch, bool sizeLimit) {
  const PixelRect rect = CentredRect(W, H, cw, ch);
  // An empty picture cannot be saved.
  if (rect.x < 0 || rect.y < 0 || cw > W || ch > H || cw < 1 || ch < 1) return CropCheck::Refused;
  if (sizeLimit && (cw > PlaneCapacity || ch > PlaneCapacity)) return CropCheck::BeyondSizeLimit;
  return CropCheck::Ok;
}

}  // namespace phototrim
