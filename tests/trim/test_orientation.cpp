// Tests of turning and mirroring decoded pictures by their EXIF orientation.
#include "trim/codec/orientation.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/picture_files.h"

namespace phototrim {
namespace {

bool SamePixels(const Bitmap& a, const Bitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int y = 0; y < a.Height(); ++y)
    if (std::memcmp(a.Row(y), b.Row(y), a.Stride()) != 0) return false;
  return true;
}

TEST(Orientation, EveryValueMatchesItsDefinitionAtSizesAroundTheTile) {
  // 1 x 1, single rows and columns, odd sizes, and sizes that end inside and just past a tile.
  const std::pair<int, int> sizes[] = {{1, 1}, {1, 7}, {9, 1}, {2, 3}, {5, 4}, {31, 33}, {32, 32}, {70, 45}, {97, 64}};
  for (const auto& [w, h] : sizes) {
    Bitmap stored, expected, picture, scratch;
    testing::FillRandom(stored, w, h, static_cast<std::uint32_t>(w * 100 + h));
    for (int orientation = 0; orientation <= 9; ++orientation) {
      testing::FillRandom(picture, w, h, static_cast<std::uint32_t>(w * 100 + h));
      testing::UprightCopy(stored, orientation, expected);
      ASSERT_TRUE(ApplyOrientation(picture, scratch, orientation));
      EXPECT_TRUE(SamePixels(picture, expected)) << w << "x" << h << " orientation " << orientation;
    }
  }
}

}  // namespace
}  // namespace phototrim
