// Turns and mirrors a decoded picture so that it stands as its EXIF orientation says viewers show it.
#pragma once

#include "trim/bitmap.h"

namespace phototrim {

// Applies EXIF orientation 2 to 8 to `picture`; 1 and anything else leave it as it is. Mirrors and
// the half turn work in place; the quarter turns (5 to 8, which swap width and height) write into
// `scratch` and then swap the two bitmaps. False, with `picture` unchanged, when `scratch` cannot
// get the memory.
bool ApplyOrientation(Bitmap& picture, Bitmap& scratch, int orientation);

}  // namespace phototrim
