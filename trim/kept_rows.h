// What a decoder hands on and what takes it: the kept rectangle of the decoded rows, and the sink
// that receives those rows as they are decoded. Shared by the decoder and the reductions.
#pragma once

#include <cstdint>

#include "trim/geometry/orientation.h"
#include "trim/load_result.h"

namespace phototrim {

// The most rows a sink is asked for at once: the decoder's largest read.
inline constexpr int kMaxRowsOffered = 16;

// How the kept rectangle lies in the decoded rows, and how it stands upright.
struct KeptRows {
  int decodedWidth = 0;  // pixels of a decoded row
  int left = 0;          // the first kept pixel of a decoded row
  int width = 0;         // kept pixels a row
  int count = 0;         // kept rows
  OrientationAxes axes;  // how the stored rows lie upright
};

// Takes the kept rows of a picture, in the order they are decoded (stored order, top to bottom).
class RowSink {
 public:
  virtual ~RowSink() = default;
  // Room for the next rows: up to `wanted` (at most kMaxRowsOffered) buffers of a decoded row each;
  // returns how many (at least 1 while rows are still to come).
  virtual int NextRows(std::uint8_t** rows, int wanted) = 0;
  // The first `count` buffers of the last NextRows now hold the next rows. Ok, or what ends the
  // decode (Stopped, OutOfMemory).
  virtual LoadResult RowsFilled(int count) = 0;
  // Every kept row has come. Ok, Stopped or OutOfMemory.
  virtual LoadResult Finish() = 0;
};

}  // namespace phototrim
