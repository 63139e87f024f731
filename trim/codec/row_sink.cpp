// The loop that takes decoded rows to where they go.
#include "trim/codec/row_sink.h"

#include "trim/load_result.h"

namespace phototrim {

// The sinks size their buffers for the largest read they are offered.
static_assert(JpegDecoder::kMaxRowsPerRead <= kMaxRowsOffered);

KeptRows KeptRowsOf(const JpegDecoder& decoder, const PixelRect& rect, const OrientationAxes& axes) {
  return {decoder.DecodedWidth(), rect.x - decoder.DecodedLeft(), rect.width, rect.height, axes};
}

LoadResult DecodeRowsInto(JpegDecoder& decoder, RowSink& sink) {
  std::uint8_t* rows[JpegDecoder::kMaxRowsPerRead];
  for (;;) {
    const int offered = sink.NextRows(rows, JpegDecoder::kMaxRowsPerRead);
    int got = 0;
    if (const LoadResult read = decoder.ReadKeptRows(rows, offered, got); read != LoadResult::Ok) return read;
    if (got == 0) break;
    if (const LoadResult taken = sink.RowsFilled(got); taken != LoadResult::Ok) return taken;
  }
  // The rest of the file is read before the sink finishes: a fault there fails the picture.
  if (const LoadResult finished = decoder.Finish(); finished != LoadResult::Ok) return finished;
  return sink.Finish();
}

}  // namespace phototrim
