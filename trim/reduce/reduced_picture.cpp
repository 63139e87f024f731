// Where the rows of a reduction fed by a decoder go.
#include "trim/reduce/reduced_picture.h"

namespace phototrim {

bool ReducedPicture::Begin(int rows, int columns, bool turned) {
  turned_ = turned;
  if (!turned) return picture_.Reset(columns, rows);
  return scratch_.Reset(columns, rows) && picture_.Reset(rows, columns);
}

bool ReducedPicture::Finish() {
  if (!turned_) return true;
  // The reduced rows are already in upright order along both axes (the spans were counted that
  // way), so the turn is a plain transposition.
  TurnRowsInto(scratch_, 0, scratch_.Width(), 0, scratch_.Height(), scratch_.Height(), OrientationAxes{true, false, false},
               picture_);
  return true;
}

}  // namespace phototrim
