// Small upright pictures for the crop check: a JPEG decoded at a reduced DCT scale and turned upright.
#pragma once

#include <string>

#include "trim/bitmap.h"

namespace phototrim {

struct Thumbnail {
  Bitmap pixels;   // upright, at least `longSide` on its longer side when the picture is that large
  int width = 0;   // the whole picture, upright, in pixels
  int height = 0;
};

// The DCT scale (8 for 1/8, 4, 2 or 1) that decodes a picture whose longer stored side is
// `longest` to the fewest pixels that still give `longSide` on that side.
int ThumbnailScale(int longest, int longSide);

// Decodes the JPEG file at `path` at ThumbnailScale, turned upright by its EXIF orientation.
// kOk, or kLoadFailed / kOutOfMemory with `reason` (libjpeg's words or ours).
int DecodeThumbnail(const std::string& path, int longSide, Thumbnail& out, std::string& reason);

// `stored` turned upright by EXIF orientation 1 to 8 into `upright` (anything else: as stored).
void TurnUpright(const Bitmap& stored, int orientation, Bitmap& upright);

}  // namespace phototrim
