// The loop that takes a decoder's kept rows, row by row as it makes them, to a RowSink.
#pragma once

#include "trim/codec/jpeg_decoder.h"
#include "trim/geometry/orientation.h"
#include "trim/kept_rows.h"

namespace phototrim {

// The kept rows of a started decoder (Start() with `rect`, stored coordinates) as the sink sees them.
KeptRows KeptRowsOf(const JpegDecoder& decoder, const PixelRect& rect, const OrientationAxes& axes);

// Decodes the kept rows of a started decoder into `sink`, then the rest of the file (for its faults).
// Ok, or the first failure of the decoder or the sink.
LoadResult DecodeRowsInto(JpegDecoder& decoder, RowSink& sink);

}  // namespace phototrim
