// The decoder's window: rows skipped and columns cropped give exactly the pixels of the whole
// decode, and a damaged file fails as its whole decode does, whatever part of it is kept.
#include "trim/codec/jpeg_decoder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "support/picture_files.h"
#include "support/test_folder.h"
#include "support/jpeg_load.h"
#include "trim/load_result.h"

namespace phototrim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::JpegOptions;

Bytes Encoded(int width, int height, const JpegOptions& options) {
  Bitmap picture;
  testing::FillRandom(picture, width, height, static_cast<std::uint32_t>(width * 7 + height));
  // Random pixels, smoothed a little across so that the chroma upsampling has edges to get wrong.
  for (int y = 0; y < height; ++y)
    for (int i = 3; i < width * 3; ++i) picture.Row(y)[i] = static_cast<std::uint8_t>((picture.Row(y)[i] + picture.Row(y)[i - 3]) / 2);
  return EncodeJpeg(picture, options);
}

// Decodes `rect` of the stored picture with the window and compares it with the whole decode.
// The number of differing bytes, or -1 when the decode failed. `narrowed` is set when the decoder
// decodes fewer columns than the picture has (the window decode).
int DifferingBytes(const Bytes& jpeg, const Bitmap& whole, const PixelRect& rect, bool& narrowed) {
  JpegDecoder decoder;
  if (decoder.OpenMemory(jpeg.data(), jpeg.size(), LoadLimits{}) != LoadResult::Ok || decoder.Start(rect) != LoadResult::Ok) return -1;
  narrowed = narrowed || decoder.DecodedWidth() < decoder.Width();
  std::vector<std::uint8_t> row(static_cast<std::size_t>(decoder.DecodedWidth()) * 3);
  int differing = 0;
  for (int y = rect.y; y < rect.y + rect.height; ++y) {
    std::uint8_t* rows[1] = {row.data()};
    int got = 0;
    if (decoder.ReadKeptRows(rows, 1, got) != LoadResult::Ok || got != 1) return -1;
    const std::uint8_t* kept = row.data() + 3 * (rect.x - decoder.DecodedLeft());
    for (int i = 0; i < rect.width * 3; ++i) differing += kept[i] != whole.Row(y)[3 * rect.x + i];
  }
  return decoder.Finish() == LoadResult::Ok ? differing : -1;
}

TEST(WindowDecode, KeptPixelsAreThoseOfTheWholeDecode) {
  struct Variant {
    const char* name;
    JpegOptions options;
    bool windowOnly;
  };
  std::vector<Variant> variants;
  // Every sampling of the luminance that the window takes, baseline and progressive.
  for (int h = 1; h <= 4; ++h)
    for (int v = 1; v <= 2; ++v)
      for (bool progressive : {false, true}) {
        JpegOptions o;
        o.sampleH = h, o.sampleV = v, o.progressive = progressive;
        variants.push_back({progressive ? "progressive sampling" : "sampling", o, true});
      }
  JpegOptions gray, restarts, cmyk, arithmetic, smoothed, tall;
  gray.grayscale = true;
  restarts.restartInterval = 1;
  cmyk.adobeCmyk = true;
  arithmetic.arithmetic = true;
  smoothed.dcNeverRefined = true;
  tall.sampleH = 1, tall.sampleV = 4;
  variants.push_back({"grayscale", gray, true});
  variants.push_back({"restart markers", restarts, true});
  // Decoded whole: CMYK, arithmetic coding, a progressive file that libjpeg smooths, 1x4 sampling.
  variants.push_back({"cmyk", cmyk, false});
  variants.push_back({"arithmetic", arithmetic, false});
  variants.push_back({"smoothed", smoothed, false});
  variants.push_back({"1x4 sampling", tall, false});

  std::mt19937 random(77);
  for (const Variant& variant : variants) {
    for (const auto& [W, H] : {std::pair{333, 251}, std::pair{97, 45}}) {
      const Bytes jpeg = Encoded(W, H, variant.options);
      Bitmap whole, scratch;
      std::vector<std::uint8_t> profile;
      ASSERT_EQ(LoadJpegFromMemory(jpeg.data(), jpeg.size(), whole, scratch, profile), LoadResult::Ok) << variant.name;
      // The whole picture, a centred crop of each kind, and random windows.
      std::vector<PixelRect> windows = {{0, 0, W, H}, {W / 7, 0, W - W / 7 - W / 9, H}, {0, H / 5, W, H - H / 5 - H / 6}};
      for (int i = 0; i < 12; ++i) {
        const int w = std::uniform_int_distribution<int>(1, W)(random), h = std::uniform_int_distribution<int>(1, H)(random);
        windows.push_back({std::uniform_int_distribution<int>(0, W - w)(random), std::uniform_int_distribution<int>(0, H - h)(random), w, h});
      }
      bool narrowed = false;
      for (const PixelRect& rect : windows) {
        EXPECT_EQ(DifferingBytes(jpeg, whole, rect, narrowed), 0)
            << variant.name << " h" << variant.options.sampleH << "v" << variant.options.sampleV << " " << W << "x" << H
            << " window " << rect.x << "," << rect.y << " " << rect.width << "x" << rect.height;
      }
      // Some of the windows are narrow enough for the window decode to leave columns out.
      EXPECT_EQ(narrowed, variant.windowOnly) << variant.name << " " << W << "x" << H;
    }
  }
}

TEST(WindowDecode, DamageOutsideTheWindowFailsTheFile) {
  // Cut in the bottom half, or a few bytes before the end: the top rows decode, the file fails.
  const Bytes jpeg = Encoded(320, 240, JpegOptions{});
  for (const std::size_t size : {jpeg.size() * 3 / 4, jpeg.size() - 4}) {
    const Bytes cut(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(size));
    JpegDecoder decoder;
    ASSERT_EQ(decoder.OpenMemory(cut.data(), cut.size(), LoadLimits{}), LoadResult::Ok);
    ASSERT_EQ(decoder.Start({100, 8, 50, 40}), LoadResult::Ok);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(decoder.DecodedWidth()) * 3);
    std::uint8_t* rows[1] = {row.data()};
    for (int got = 1; got == 1;) ASSERT_EQ(decoder.ReadKeptRows(rows, 1, got), LoadResult::Ok);
    EXPECT_EQ(decoder.Finish(), LoadResult::Failed) << size;
    EXPECT_EQ(decoder.Reason(), "Premature end of JPEG file");
  }
}

TEST(WindowDecode, FailuresSayWhy) {
  testing::TestFolder folder;
  testing::MakeFolders(folder / "folder.jpg");
  const std::pair<std::string, std::string> cases[] = {
      {folder / "missing.jpg", "No such file or directory"},
      {folder / "folder.jpg", "通常のファイルではありません"},
  };
  for (const auto& [path, reason] : cases) {
    JpegDecoder decoder;
    EXPECT_EQ(decoder.OpenFile(path, LoadLimits{}), LoadResult::Failed);
    EXPECT_EQ(decoder.Reason(), reason);
  }
  JpegDecoder decoder;
  const Bytes text = {'n', 'o', 't', ' ', 'a', ' ', 'j', 'p', 'e', 'g'};
  EXPECT_EQ(decoder.OpenMemory(text.data(), text.size(), LoadLimits{}), LoadResult::Failed);
  EXPECT_EQ(decoder.Reason(), "Not a JPEG file: starts with 0x6e 0x6f");
}

}  // namespace
}  // namespace phototrim
