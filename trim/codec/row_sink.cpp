// The loop that takes decoded rows to where they go.
#include "trim/codec/row_sink.h"

#include "trim/result_codes.h"

namespace phototrim {

// The sinks size their buffers for the largest read they are offered.
static_assert(JpegDecoder::kMaxRowsPerRead <= kMaxRowsOffered);

KeptRows KeptRowsOf(const JpegDecoder& decoder, const PixelRect& rect, const OrientationAxes& axes) {
  return {decoder.DecodedWidth(), rect.x - decoder.DecodedLeft(), rect.width, rect.height, axes};
}

int DecodeRowsInto(JpegDecoder& decoder, RowSink& sink) {
  std::uint8_t* rows[JpegDecoder::kMaxRowsPerRead];
  for (;;) {
    const int offered = sink.NextRows(rows, JpegDecoder::kMaxRowsPerRead);
    int got = 0;
    if (const int read = decoder.ReadKeptRows(rows, offered, got); read != kOk) return read;
    if (got == 0) break;
    if (const int taken = sink.RowsFilled(got); taken != kOk) return taken;
  }
  // The rest of the file is read before the sink finishes: a fault there fails the picture.
  if (const int finished = decoder.Finish(); finished != kOk) return finished;
  return sink.Finish();
}

}  // namespace phototrim
