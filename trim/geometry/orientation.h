// How the rows of a stored picture lie in the picture that its EXIF orientation stands upright.
#pragma once

#include "trim/bitmap.h"

namespace phototrim {

// Rows come out of the decoder as stored, top to bottom. Upright, each stored row is a row (or, for
// the quarter turns 5 to 8, a column) of the picture, taken in one direction or the other.
struct OrientationAxes {
  bool turned = false;           // a stored row is an upright column
  bool rowsReversed = false;     // the last stored row is the first upright row (or column)
  bool columnsMirrored = false;  // within a stored row, the last pixel comes first upright
};

// The axes of EXIF orientation 1 to 8; anything else stands as stored.
OrientationAxes AxesOf(int orientation);

// The rectangle of the stored picture (W x H upright) that holds the upright rectangle `upright`.
PixelRect StoredRectOf(const PixelRect& upright, int W, int H, const OrientationAxes& axes);

// Writes the stored rows `first` .. `first` + `count` - 1 of a stored picture of `total` rows into
// `target`, the turned picture (`total` wide, `width` high): stored row k becomes column k (or
// total-1-k when the rows are reversed), pixel p of it row p (or width-1-p when mirrored). Row
// `first` is row `at` of `rows`, the others follow it; pixel 0 is at pixel `left` of each. Done in
// square tiles, so that the rows read and the columns written both stay in the cache.
void TurnRowsInto(const Bitmap& rows, int at, int left, int width, int first, int count, int total,
                  const OrientationAxes& axes, Bitmap& target);

}  // namespace phototrim
