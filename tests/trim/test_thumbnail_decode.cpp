// Tests of the crop check's thumbnails: upright like the run's pictures, the scale chosen, damage reported.
#include <gtest/gtest.h>

#include <cstring>

#include <exiv2/exiv2.hpp>

#include "support/heif_files.h"
#include "support/picture_files.h"
#include "support/test_folder.h"
#include "trim/codec/heif_decoder.h"
#include "trim/load_result.h"
#include "trim/thumbs/thumbnail_decode.h"

namespace phototrim {
namespace {

TEST(Thumbnail, TurnedUprightLikeEveryViewer) {
  Bitmap stored, expected, turned;
  testing::FillPattern(stored, 7, 4, 3);
  for (int orientation = 1; orientation <= 8; ++orientation) {
    testing::UprightCopy(stored, orientation, expected);
    TurnUpright(stored, orientation, turned);
    ASSERT_EQ(turned.Width(), expected.Width()) << orientation;
    ASSERT_EQ(turned.Height(), expected.Height()) << orientation;
    for (int y = 0; y < expected.Height(); ++y)
      ASSERT_EQ(std::memcmp(turned.Row(y), expected.Row(y), static_cast<std::size_t>(expected.Width()) * 3), 0)
          << "orientation " << orientation << " row " << y;
  }
}

TEST(Thumbnail, ScaleIsTheSmallestThatFillsTheCell) {
  const struct {
    int longest, longSide, scale;
  } cases[] = {{4000, 160, 8}, {1280, 160, 8}, {1271, 160, 4}, {640, 160, 4}, {637, 320, 1}, {320, 160, 2}, {100, 160, 1}};
  for (const auto& c : cases) EXPECT_EQ(ThumbnailScale(c.longest, c.longSide), c.scale) << c.longest << " " << c.longSide;
}

TEST(Thumbnail, DecodedUprightWithTheWholePictureSizeAndDamageFails) {
  testing::TestFolder folder;
  testing::JpegOptions turned;
  turned.orientation = 6;
  testing::WriteJpeg(folder / "turned.jpg", 1200, 800, turned);
  Thumbnail thumb;
  std::string reason;
  ASSERT_EQ(DecodeThumbnail(folder / "turned.jpg", 150, thumb, reason), LoadResult::Ok) << reason;
  EXPECT_EQ(thumb.width, 800);
  EXPECT_EQ(thumb.height, 1200);
  EXPECT_EQ(thumb.pixels.Width(), 100);  // 1/8 of the stored 800 rows, now columns
  EXPECT_EQ(thumb.pixels.Height(), 150);

  const auto bytes = testing::ReadBytes(folder / "turned.jpg");
  testing::WriteBytes(folder / "cut.jpg", testing::CutAt(bytes, bytes.size() / 2));
  testing::WriteBytes(folder / "empty.jpg", {});
  for (const char* name : {"cut.jpg", "empty.jpg", "missing.jpg"}) {
    reason.clear();
    EXPECT_EQ(DecodeThumbnail(folder / name, 150, thumb, reason), LoadResult::Failed) << name;
    EXPECT_FALSE(reason.empty()) << name;
  }
}

// Embeds a flat thumbnail of `width` x `height` in the Exif block of the JPEG file at `path`.
void EmbedThumbnail(const std::string& path, int width, int height, std::uint8_t blue, bool barsAboveAndBelow = false) {
  Bitmap thumbnail;
  thumbnail.SetSize(width, height);
  for (int y = 0; y < height; ++y) {
    const bool bar = barsAboveAndBelow && (y < height / 8 || y >= height - height / 8);
    for (int x = 0; x < width; ++x) {
      std::uint8_t* pixel = thumbnail.Row(y) + 3 * x;
      pixel[0] = bar ? 0 : blue, pixel[1] = bar ? 0 : 40, pixel[2] = bar ? 0 : 200;
    }
  }
  const std::vector<std::uint8_t> bytes = testing::EncodeJpeg(thumbnail);
  auto image = Exiv2::ImageFactory::open(path);
  image->readMetadata();
  Exiv2::ExifThumb(image->exifData()).setJpegThumbnail(bytes.data(), static_cast<long>(bytes.size()));
  image->writeMetadata();
}

TEST(Thumbnail, EmbeddedOneUsedOnlyWhenFaithfulAndLargeEnough) {
  testing::TestFolder folder;
  const struct {
    const char* name;
    int width, height;  // of the embedded thumbnail; the picture is 1200 x 800, EXIF orientation 8
    bool bars;
    int longSide;
    bool used;
  } cases[] = {
      {"same shape", 150, 100, false, 150, true},
      {"within 1 %", 151, 100, false, 150, true},
      {"other shape", 160, 120, false, 150, false},
      {"letterboxed", 150, 100, true, 150, false},
      {"too small", 150, 100, false, 200, false},
  };
  for (const auto& c : cases) {
    testing::JpegOptions options;
    options.orientation = 8;
    testing::WriteJpeg(folder / "a.jpg", 1200, 800, options);
    EmbedThumbnail(folder / "a.jpg", c.width, c.height, 77, c.bars);
    Thumbnail thumb;
    std::string reason;
    ASSERT_EQ(DecodeThumbnail(folder / "a.jpg", c.longSide, thumb, reason), LoadResult::Ok) << c.name << ": " << reason;
    EXPECT_EQ(thumb.width, 800) << c.name;
    EXPECT_EQ(thumb.height, 1200) << c.name;
    // Turned upright like the picture: the thumbnail's rows become columns.
    const int middle = thumb.pixels.Height() / 2;
    const std::uint8_t* pixel = thumb.pixels.Row(middle) + 3 * (thumb.pixels.Width() / 2);
    EXPECT_EQ(std::abs(pixel[0] - 77) <= 3 && std::abs(pixel[2] - 200) <= 3, c.used) << c.name;
    if (c.used) {
      EXPECT_EQ(thumb.pixels.Width(), c.height) << c.name;
    }
  }
}

// The largest difference of any channel between `thumb` and the 8 x 8 block means of `picture`.
int WorstAgainstBlockMeans(const Bitmap& thumb, const Bitmap& picture) {
  int worst = 0;
  for (int by = 0; by < thumb.Height(); ++by)
    for (int bx = 0; bx < thumb.Width(); ++bx)
      for (int c = 0; c < 3; ++c) {
        int sum = 0;
        for (int y = 8 * by; y < 8 * by + 8; ++y)
          for (int x = 8 * bx; x < 8 * bx + 8; ++x) sum += picture.Row(y)[3 * x + c];
        worst = std::max(worst, std::abs(thumb.Row(by)[3 * bx + c] - (sum + 32) / 64));
      }
  return worst;
}

TEST(Thumbnail, CmykAndProgressiveFilesShowThePictureTheirRunWouldSave) {
  testing::JpegOptions baseline, cmyk, ycck, progressive, oneByOne, dcUnrefined;
  cmyk.adobeCmyk = ycck.adobeCmyk = ycck.ycck = true;
  progressive.progressive = oneByOne.progressive = dcUnrefined.progressive = true;
  oneByOne.componentByComponent = true;
  dcUnrefined.dcNeverRefined = true;
  const struct {
    const char* name;
    const testing::JpegOptions& options;
  } cases[] = {{"baseline", baseline},    {"Adobe CMYK", cmyk},      {"YCCK", ycck},
               {"progressive", progressive}, {"component by component", oneByOne}, {"DC never refined", dcUnrefined}};
  testing::TestFolder folder;
  Bitmap picture;
  testing::FillPattern(picture, 640, 480, 0);  // 1/8 of it is the 80 x 60 thumbnail
  for (const auto& c : cases) {
    testing::WriteBytes(folder / "a.jpg", testing::EncodeJpeg(picture, c.options));
    Thumbnail thumb;
    std::string reason;
    ASSERT_EQ(DecodeThumbnail(folder / "a.jpg", 80, thumb, reason), LoadResult::Ok) << c.name << ": " << reason;
    ASSERT_EQ(thumb.pixels.Width(), 80) << c.name;
    ASSERT_EQ(thumb.pixels.Height(), 60) << c.name;
    // The pattern's ramps and 16-pixel checker; subsampled chroma and JPEG's losses take up to 5 levels.
    EXPECT_LE(WorstAgainstBlockMeans(thumb.pixels, picture), 8) << c.name;
  }
}

// Four flat quarters: red, green, blue, white; a turn or a mirror shows in any corner.
void FillQuarters(Bitmap& picture, int width, int height) {
  static constexpr std::uint8_t kBgr[4][3] = {{30, 30, 220}, {30, 200, 30}, {210, 40, 40}, {235, 235, 235}};
  picture.Reset(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      std::memcpy(picture.Row(y) + 3 * x, kBgr[(y >= height / 2) * 2 + (x >= width / 2)], 3);
}

TEST(Thumbnail, HeifStandsAsTheRunSeesItFromItsOwnThumbnailOrItsWholeDecode) {
  const struct {
    const char* name;
    int thumbnail, turns;
    bool thumbnailTurned, embeddedUsed;
  } cases[] = {
      {"no thumbnail", 0, 0, false, false},
      {"own thumbnail", 320, 0, false, true},
      {"turned with its thumbnail", 320, 1, true, true},
      {"turned, its thumbnail not", 320, 3, false, false},  // another shape: not the picture
      {"upside down, its thumbnail not", 320, 2, false, false},  // the same shape, turned otherwise
      {"upside down with its thumbnail", 320, 2, true, true},
  };
  testing::TestFolder folder;
  Bitmap picture;
  FillQuarters(picture, 800, 600);
  for (const auto& c : cases) {
    testing::HeifOptions options;
    options.thumbnail = c.thumbnail;
    std::vector<std::uint8_t> heif = testing::MakeHeif(picture, options);
    if (c.turns != 0) heif = testing::WithRotation(std::move(heif), c.turns, c.thumbnailTurned);
    testing::WriteBytes(folder / "a.heic", heif);
    Thumbnail thumb;
    std::string reason;
    ASSERT_EQ(DecodeThumbnail(folder / "a.heic", 150, thumb, reason), LoadResult::Ok) << c.name << ": " << reason;
    // The run's own geometry, and its pixels to compare with.
    HeifDecoder run;
    ASSERT_EQ(run.OpenFile(folder / "a.heic", LoadLimits{}), LoadResult::Ok) << c.name;
    ASSERT_EQ(run.Decode(), LoadResult::Ok) << c.name;
    EXPECT_EQ(thumb.width, run.Width()) << c.name;
    EXPECT_EQ(thumb.height, run.Height()) << c.name;
    EXPECT_EQ(thumb.width, c.turns % 2 ? 600 : 800) << c.name;
    // Its own thumbnail is 320 long; the whole picture is averaged down by 5, to 160.
    EXPECT_EQ(std::max(thumb.pixels.Width(), thumb.pixels.Height()), c.embeddedUsed ? 320 : 160) << c.name;
    EXPECT_TRUE(FaithfulThumbnail(thumb.pixels, run.Width(), run.Height())) << c.name;
    for (const auto& [fx, fy] : {std::pair{1, 1}, {3, 1}, {1, 3}, {3, 3}}) {
      std::uint8_t expected[3];
      std::uint8_t* row = expected;
      run.CopyRows(PixelRect{run.Width() * fx / 4, run.Height() * fy / 4, 1, 1}, 0, 1, &row);
      const std::uint8_t* got = thumb.pixels.Row(thumb.pixels.Height() * fy / 4) + 3 * (thumb.pixels.Width() * fx / 4);
      for (int k = 0; k < 3; ++k) EXPECT_NEAR(got[k], expected[k], 12) << c.name << " quarter " << fx << "," << fy;
    }
  }
}

}  // namespace
}  // namespace phototrim
