// HEIF thumbnails through the run's own HEIF decoder, so that the frame sits on the run's geometry.
#include "trim/thumbs/heif_thumbnail.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

#include "trim/codec/heif_decoder.h"
#include "trim/load_result.h"

namespace phototrim {

namespace {

constexpr char kOutOfMemoryReason[] = "メモリが足りません。";

}  // namespace

bool ShrinkByBlocks(int W, int H, const std::function<const std::uint8_t*(int y)>& row, int longSide, Bitmap& out) {
  const int factor = std::max(1, std::max(W, H) / std::max(1, longSide));
  const int w = (W + factor - 1) / factor, h = (H + factor - 1) / factor;
  if (!out.Reset(w, h)) return false;
  std::vector<std::uint32_t> sums(static_cast<std::size_t>(w) * 3);
  for (int by = 0; by < h; ++by) {
    std::fill(sums.begin(), sums.end(), 0);
    const int top = by * factor, rows = std::min(factor, H - top);
    for (int y = top; y < top + rows; ++y) {
      const std::uint8_t* in = row(y);
      for (int x = 0; x < W; ++x, in += 3) {
        std::uint32_t* sum = &sums[static_cast<std::size_t>(x / factor) * 3];
        sum[0] += in[0], sum[1] += in[1], sum[2] += in[2];
      }
    }
    std::uint8_t* to = out.Row(by);
    for (int bx = 0; bx < w; ++bx) {
      const std::uint32_t count = static_cast<std::uint32_t>(rows * std::min(factor, W - bx * factor));
      for (int c = 0; c < 3; ++c) to[3 * bx + c] = static_cast<std::uint8_t>((sums[3 * bx + c] + count / 2) / count);
    }
  }
  return true;
}

LoadResult DecodeHeifThumbnail(const std::string& path, int longSide, Thumbnail& out, std::string& reason) {
  try {
    HeifDecoder decoder;
    LoadResult result = decoder.OpenFile(path, LoadLimits{});
    if (result != LoadResult::Ok) {
      reason = decoder.Reason();
      return result;
    }
    out.width = decoder.Width();
    out.height = decoder.Height();
    // A thumbnail that libheif turned otherwise than the picture, or cut to another shape, shows
    // another shape than the picture's upright one: then the picture itself is decoded.
    Bitmap embedded;
    if (decoder.DecodeThumbnail(longSide, embedded) && FaithfulThumbnail(embedded, out.width, out.height)) {
      out.pixels = std::move(embedded);
      return LoadResult::Ok;
    }
    // libheif decodes at full size only: a 12-megapixel picture costs its whole decode here.
    if ((result = decoder.Decode()) != LoadResult::Ok) {
      reason = decoder.Reason();
      return result;
    }
    std::vector<std::uint8_t> line(static_cast<std::size_t>(out.width) * 3);
    const auto row = [&](int y) {
      std::uint8_t* to = line.data();
      decoder.CopyRows(PixelRect{0, 0, out.width, out.height}, y, 1, &to);
      return static_cast<const std::uint8_t*>(line.data());
    };
    if (!ShrinkByBlocks(out.width, out.height, row, longSide, out.pixels)) {
      reason = kOutOfMemoryReason;
      return LoadResult::OutOfMemory;
    }
    return LoadResult::Ok;
  } catch (const std::bad_alloc&) {
    reason = kOutOfMemoryReason;
    return LoadResult::OutOfMemory;
  }
}

}  // namespace phototrim
