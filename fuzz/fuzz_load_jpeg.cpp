// libFuzzer target: LoadJpeg on arbitrary bytes, with the limits of a real load, and the window
// decode that a run makes of the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "trim/bitmap.h"
#include "trim/codec/jpeg_decoder.h"
#include "support/jpeg_load.h"
#include "trim/load_result.h"

namespace {

using namespace phototrim;

// Decodes `rect` of the stored picture; Ok only when every kept row came. `check` sees each row.
template <typename Check>
LoadResult DecodeWindow(const std::uint8_t* data, std::size_t size, const PixelRect& rect, Check check) {
  JpegDecoder decoder;
  LoadResult result = decoder.OpenMemory(data, size, LoadLimits{});
  if (result == LoadResult::Ok) result = decoder.Start(rect);
  std::vector<std::uint8_t> row(result == LoadResult::Ok ? static_cast<std::size_t>(decoder.DecodedWidth()) * 3 : 0);
  for (int y = rect.y; result == LoadResult::Ok && y < rect.y + rect.height; ++y) {
    std::uint8_t* rows[1] = {row.data()};
    int got = 0;
    result = decoder.ReadKeptRows(rows, 1, got);
    if (result == LoadResult::Ok && got != 1) std::abort();  // a kept row that never came
    if (result == LoadResult::Ok) check(y, row.data() + 3 * (rect.x - decoder.DecodedLeft()));
  }
  return result == LoadResult::Ok ? decoder.Finish() : result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Kept across inputs like the run's own bitmaps, so reuse of their memory is exercised too.
  static Bitmap work, scratch;
  std::vector<std::uint8_t> profile;
  const LoadResult result = LoadJpegFromMemory(data, size, work, scratch, profile);
  if (result == LoadResult::Ok) {
    // A picture that loads is whole: every row can be read (ASan checks the bounds).
    unsigned sum = 0;
    for (int y = 0; y < work.Height(); ++y) sum += work.Row(y)[0] + work.Row(y)[work.Stride() - 1];
    if (work.Width() < 1 || work.Height() < 1 || sum == 0xFFFFFFFFu) std::abort();
  } else if (result != LoadResult::Failed && result != LoadResult::OutOfMemory) {
    std::abort();  // no other result is defined for a load
  } else if (work.Width() != 1 || work.Height() != 1 || !profile.empty()) {
    std::abort();  // a failed load leaves the bitmap 1 x 1 and no profile
  }
  if (result == LoadResult::OutOfMemory) return 0;

  // The whole picture as stored, then a window of it chosen by the bytes: the window fails
  // exactly when the whole decode does, and holds its pixels.
  Bitmap stored;
  const LoadResult whole = DecodeWindow(data, size, {0, 0, 0, 0}, [](int, const std::uint8_t*) {});
  JpegDecoder header;
  if (header.OpenMemory(data, size, LoadLimits{}) != LoadResult::Ok) {
    if (whole == LoadResult::Ok) std::abort();
    return 0;
  }
  const int W = header.Width(), H = header.Height();
  if (static_cast<std::uint64_t>(W) * static_cast<std::uint64_t>(H) > (std::uint64_t{1} << 22)) return 0;
  stored.Reset(W, H);
  const LoadResult full = DecodeWindow(data, size, {0, 0, W, H}, [&](int y, const std::uint8_t* row) {
    std::memcpy(stored.Row(y), row, static_cast<std::size_t>(W) * 3);
  });
  if ((full == LoadResult::Ok) != (result == LoadResult::Ok) || (whole == LoadResult::Ok) != (result == LoadResult::Ok))
    std::abort();
  const std::uint32_t pick = size >= 4 ? static_cast<std::uint32_t>(data[size - 1] | data[size - 2] << 8 | data[size - 3] << 16) : 0;
  const int w = 1 + static_cast<int>(pick % static_cast<std::uint32_t>(W));
  const int h = 1 + static_cast<int>((pick >> 8) % static_cast<std::uint32_t>(H));
  const PixelRect rect{static_cast<int>((pick >> 4) % static_cast<std::uint32_t>(W - w + 1)),
                       static_cast<int>((pick >> 12) % static_cast<std::uint32_t>(H - h + 1)), w, h};
  const LoadResult window = DecodeWindow(data, size, rect, [&](int y, const std::uint8_t* row) {
    if (full == LoadResult::Ok && std::memcmp(row, stored.Row(y) + 3 * rect.x, static_cast<std::size_t>(rect.width) * 3) != 0)
      std::abort();  // a window that differs from the whole decode
  });
  if ((window == LoadResult::Ok) != (full == LoadResult::Ok)) std::abort();
  return 0;
}
