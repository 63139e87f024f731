// Tests of the crop check's thumbnails: upright like the run's pictures, the scale chosen, damage reported.
#include <gtest/gtest.h>

#include <cstring>

#include "support/picture_files.h"
#include "support/test_folder.h"
#include "trim/result_codes.h"
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
  ASSERT_EQ(DecodeThumbnail(folder / "turned.jpg", 150, thumb, reason), kOk) << reason;
  EXPECT_EQ(thumb.width, 800);
  EXPECT_EQ(thumb.height, 1200);
  EXPECT_EQ(thumb.pixels.Width(), 100);  // 1/8 of the stored 800 rows, now columns
  EXPECT_EQ(thumb.pixels.Height(), 150);

  const auto bytes = testing::ReadBytes(folder / "turned.jpg");
  testing::WriteBytes(folder / "cut.jpg", testing::CutAt(bytes, bytes.size() / 2));
  testing::WriteBytes(folder / "empty.jpg", {});
  for (const char* name : {"cut.jpg", "empty.jpg", "missing.jpg"}) {
    reason.clear();
    EXPECT_EQ(DecodeThumbnail(folder / name, 150, thumb, reason), kLoadFailed) << name;
    EXPECT_FALSE(reason.empty()) << name;
  }
}

}  // namespace
}  // namespace phototrim
