// Where the rows of a reduction fed by a decoder go: straight into the picture, or, when the
// picture stands a quarter turn from its rows, into a second one that is turned at the end.
#pragma once

#include <cstdint>
#include <functional>

#include "trim/bitmap.h"
#include "trim/geometry/orientation.h"

namespace phototrim {

class ReducedPicture {
 public:
  ReducedPicture(Bitmap& picture, Bitmap& scratch) : picture_(picture), scratch_(scratch) {}
  // A reduced picture of `rows` rows of `columns` pixels, in the order the source rows come;
  // `turned`: they are columns of the upright picture. False when the memory cannot be had.
  bool Begin(int rows, int columns, bool turned);
  std::uint8_t* Row(int i) { return turned_ ? scratch_.Row(i) : picture_.Row(i); }
  // Every row is written: the picture now holds the reduced picture upright. A turn is made a few
  // dozen rows at a time, asking `shouldStop` in between; false when it said stop.
  bool Finish(const std::function<bool()>& shouldStop);

 private:
  Bitmap& picture_;
  Bitmap& scratch_;
  bool turned_ = false;
};

}  // namespace phototrim
