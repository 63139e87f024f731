// Where the rows of a reduction fed by a decoder go.
#include "trim/reduce/reduced_picture.h"

#include <algorithm>

namespace phototrim {

bool ReducedPicture::Begin(int rows, int columns, bool turned) {
  turned_ = turned;
  if (!turned) return picture_.Reset(columns, rows);
  return scratch_.Reset(columns, rows) && picture_.Reset(rows, columns);
}

bool ReducedPicture::Finish(const std::function<bool()>& shouldStop) {
  if (!turned_) return true;
  // The reduced rows are already in upright order along both axes (the spans were counted that
  // way), so the turn is a plain transposition; 16 rows of it take well under a millisecond.
  constexpr int kRowsBetweenStopTests = 16;
  const int rows = scratch_.Height();
  for (int first = 0; first < rows; first += kRowsBetweenStopTests) {
    if (first > 0 && shouldStop && shouldStop()) return false;
    const int count = std::min(kRowsBetweenStopTests, rows - first);
    TurnRowsInto(scratch_, first, 0, scratch_.Width(), first, count, rows, OrientationAxes{true, false, false}, picture_);
  }
  return true;
}

}  // namespace phototrim
