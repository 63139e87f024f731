// Tests of standing decoded rows upright by their EXIF orientation, as they come from the decoder.
#include "trim/geometry/orientation.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/feed_rows.h"
#include "support/picture_files.h"
#include "trim/codec/upright_rows.h"
#include "trim/load_result.h"

namespace phototrim {
namespace {

bool SamePixels(const Bitmap& a, const Bitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int y = 0; y < a.Height(); ++y)
    if (std::memcmp(a.Row(y), b.Row(y), static_cast<std::size_t>(a.Width()) * 3) != 0) return false;
  return true;
}

TEST(Orientation, EveryValueMatchesItsDefinitionAtSizesAroundTheTile) {
  // 1 x 1, single rows and columns, odd sizes, sizes that end inside and just past a tile, with
  // and without decoded margins, rows handed on one or several at a time.
  const std::pair<int, int> sizes[] = {{1, 1}, {1, 7}, {9, 1}, {2, 3}, {5, 4}, {31, 33}, {32, 32}, {70, 45}, {97, 130}};
  for (const auto& [w, h] : sizes) {
    Bitmap stored, expected, picture;
    testing::FillRandom(stored, w, h, static_cast<std::uint32_t>(w * 100 + h));
    for (int orientation = 0; orientation <= 9; ++orientation) {
      testing::UprightCopy(stored, orientation, expected);
      for (const auto& [margin, batch] : {std::pair{0, 16}, std::pair{5, 3}}) {
        Bitmap chunk;
        UprightRows sink(picture, chunk);
        ASSERT_EQ(sink.Begin(testing::KeptRowsWithMargin(stored, margin, orientation)), LoadResult::Ok);
        ASSERT_EQ(testing::FeedRows(sink, stored, margin, batch), LoadResult::Ok);
        EXPECT_TRUE(SamePixels(picture, expected)) << w << "x" << h << " orientation " << orientation << " margin " << margin;
      }
    }
  }
}

TEST(Orientation, StoredRectangleOfAnUprightOne) {
  // A 10 x 6 upright picture and its rectangle at (1, 2), 4 x 3, for every orientation.
  Bitmap marks;
  for (int orientation = 1; orientation <= 8; ++orientation) {
    const OrientationAxes axes = AxesOf(orientation);
    const int storedW = axes.turned ? 6 : 10, storedH = axes.turned ? 10 : 6;
    const PixelRect rect = StoredRectOf({1, 2, 4, 3}, 10, 6, axes);
    // Mark the stored rectangle, stand the picture upright and find the mark where it should be.
    marks.Reset(storedW, storedH);
    for (int y = 0; y < storedH; ++y)
      for (int x = 0; x < storedW; ++x) {
        const bool inside = x >= rect.x && x < rect.x + rect.width && y >= rect.y && y < rect.y + rect.height;
        std::memset(marks.Row(y) + 3 * x, inside ? 1 : 0, 3);
      }
    Bitmap upright;
    testing::UprightCopy(marks, orientation, upright);
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 10; ++x)
        ASSERT_EQ(upright.Row(y)[3 * x], (x >= 1 && x < 5 && y >= 2 && y < 5) ? 1 : 0) << orientation << " " << x << "," << y;
  }
}

}  // namespace
}  // namespace phototrim
