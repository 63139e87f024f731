// ReducePlain: point-sampling stretch of the whole picture to a smaller size, no averaging.
#pragma once

#include "trim/bitmap.h"

namespace phototrim {

// Reduces `work` to exactly tw x th (not larger than it) by taking, for each target pixel, one
// source pixel. kOk, or kOutOfMemory when the scratch picture cannot be had.
int ReducePlain(Bitmap& work, Bitmap& scratch, int tw, int th);

}  // namespace phototrim
