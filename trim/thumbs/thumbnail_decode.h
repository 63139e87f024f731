// Small upright pictures for the crop check: a JPEG decoded at a reduced DCT scale and turned upright.
#pragma once

#include <string>

#include "trim/bitmap.h"
#include "trim/load_result.h"

namespace phototrim {

struct Thumbnail {
  Bitmap pixels;   // upright, at least `longSide` on its longer side when the picture is that large
  int width = 0;   // the whole picture, upright, in pixels
  int height = 0;
};

// The DCT scale (8 for 1/8, 4, 2 or 1) that decodes a picture whose longer stored side is
// `longest` to the fewest pixels that still give `longSide` on that side.
int ThumbnailScale(int longest, int longSide);

// The thumbnail of a picture (a HEIF file, named so: DecodeHeifThumbnail), upright by its EXIF orientation, at least `longSide` long (or the
// whole picture when it is smaller). The picture's embedded Exif thumbnail when it is faithful and
// large enough; else the file decoded at ThumbnailScale. Ok, or Failed / OutOfMemory with
// `reason` (libjpeg's words or ours).
LoadResult DecodeThumbnail(const std::string& path, int longSide, Thumbnail& out, std::string& reason);

// Whether an embedded thumbnail shows a width x height picture (as stored) unchanged: the same
// shape within 1 %, and no dark bars on two opposite sides (a picture letterboxed into its shape).
bool FaithfulThumbnail(const Bitmap& thumbnail, int width, int height);

// `stored` turned upright by EXIF orientation 1 to 8 into `upright` (anything else: as stored).
void TurnUpright(const Bitmap& stored, int orientation, Bitmap& upright);

}  // namespace phototrim
