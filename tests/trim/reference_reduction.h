// The high-quality reduction written pixel by pixel, word for word as the rule reads: the engine's
// fast version must give the same bytes.
#pragma once

#include <string>

#include "support/whole_picture_steps.h"
#include "trim/bitmap.h"

namespace phototrim::testing {

// Same results and refusals as ReduceHighQuality, never aborted: packed 0x00RRGGBB source and
// reduced planes, each target pixel summed over its block of source pixels in 64 bits.
// `sizeLimit`: refuse pictures larger than 6200 on a side, as the window always does.
StepResult ReferenceReduceHighQuality(Bitmap& image, int w, int h, std::string& errorText, bool sizeLimit = true);

}  // namespace phototrim::testing
