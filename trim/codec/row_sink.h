// Where decoded rows go, row by row as the decoder makes them, and the loop that takes them there.
#pragma once

#include <cstdint>

#include "trim/codec/jpeg_decoder.h"
#include "trim/codec/orientation.h"

namespace phototrim {

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
  // Room for the next rows: up to `wanted` buffers of a decoded row each; returns how many (at least
  // 1 while rows are still to come).
  virtual int NextRows(std::uint8_t** rows, int wanted) = 0;
  // The first `count` buffers of the last NextRows now hold the next rows. kOk, or a code that ends
  // the decode (kStopped, kOutOfMemory).
  virtual int RowsFilled(int count) = 0;
  // Every kept row has come. kOk or kOutOfMemory.
  virtual int Finish() = 0;
};

// The kept rows of a started decoder (Start() with `rect`, stored coordinates) as the sink sees them.
KeptRows KeptRowsOf(const JpegDecoder& decoder, const PixelRect& rect, const OrientationAxes& axes);

// Decodes the kept rows of a started decoder into `sink`, then the rest of the file (for its faults).
// kOk, or the first failure of the decoder or the sink.
int DecodeRowsInto(JpegDecoder& decoder, RowSink& sink);

}  // namespace phototrim
