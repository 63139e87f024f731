// Hands the rows of a stored picture to a row sink as the decoder would, for the tests of the sinks.
#pragma once

#include <algorithm>
#include <cstring>

#include "trim/bitmap.h"
#include "trim/codec/row_sink.h"
#include "trim/load_result.h"

namespace phototrim::testing {

// The kept rows of all of `stored`, decoded with `margin` pixels of other columns on each side.
inline KeptRows KeptRowsWithMargin(const Bitmap& stored, int margin, int orientation) {
  return {stored.Width() + 2 * margin, margin, stored.Width(), stored.Height(), AxesOf(orientation)};
}

// Feeds every row of `stored`, at most `batch` at a time, with filler bytes in the margins (the
// sink began with KeptRowsWithMargin). The first result other than Ok, or Ok.
inline LoadResult FeedRows(RowSink& sink, const Bitmap& stored, int margin, int batch) {
  const std::size_t decoded = static_cast<std::size_t>(stored.Width() + 2 * margin) * 3;
  for (int done = 0; done < stored.Height();) {
    std::uint8_t* rows[16];
    const int n = std::min({sink.NextRows(rows, std::min(batch, 16)), stored.Height() - done});
    for (int i = 0; i < n; ++i) {
      std::memset(rows[i], 0xEE, decoded);
      std::memcpy(rows[i] + 3 * margin, stored.Row(done + i), static_cast<std::size_t>(stored.Width()) * 3);
    }
    if (const LoadResult filled = sink.RowsFilled(n); filled != LoadResult::Ok) return filled;
    done += n;
  }
  return sink.Finish();
}

}  // namespace phototrim::testing
