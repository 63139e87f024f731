// Bitmap size changes keep the top-left content and reuse memory.
#include <gtest/gtest.h>

#include "trim/bitmap.h"

namespace phototrim {
namespace {

void Number(Bitmap& b) {
  for (int y = 0; y < b.Height(); ++y)
    for (std::size_t i = 0; i < b.Stride(); ++i) b.Row(y)[i] = static_cast<std::uint8_t>(y * 31 + i);
}

TEST(Bitmap, SetSizeKeepsTopLeftContentAndBlackensTheRest) {
  for (const auto& [w, h] : std::vector<std::pair<int, int>>{{3, 2}, {9, 7}, {5, 9}, {9, 2}, {1, 1}}) {
    Bitmap b;
    ASSERT_TRUE(b.Reset(5, 4));
    Number(b);
    ASSERT_TRUE(b.SetSize(w, h));
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w * 3; ++x) {
        const bool kept = y < 4 && x < 15;
        EXPECT_EQ(b.Row(y)[x], kept ? static_cast<std::uint8_t>(y * 31 + x) : 0) << w << "x" << h << " at " << x << "," << y;
      }
  }
}

TEST(Bitmap, ShrinkingKeepsTheMemoryForTheNextPicture) {
  Bitmap b;
  ASSERT_TRUE(b.Reset(100, 100));
  const std::size_t capacity = b.Capacity();
  ASSERT_TRUE(b.SetSize(1, 1));
  ASSERT_TRUE(b.Reset(90, 110));
  EXPECT_EQ(b.Capacity(), capacity);
}

TEST(Bitmap, RefusesSizesItCannotHold) {
  Bitmap b;
  ASSERT_TRUE(b.Reset(2, 2));
  EXPECT_FALSE(b.SetSize(0, 5));
  EXPECT_FALSE(b.Reset(-1, 5));
  EXPECT_FALSE(b.Reset(40000, 40000));  // 4.8 GB: beyond what any accepted picture needs
  EXPECT_EQ(b.Width(), 2);
  EXPECT_EQ(b.Height(), 2);
}

}  // namespace
}  // namespace phototrim

namespace phototrim {
namespace {

TEST(Bitmap, CutOutKeepsPixelsWhereTheyAreUntilTheNextSizeChange) {
  for (const auto& [w, h] : std::vector<std::pair<int, int>>{{2, 2}, {3, 1}, {4, 3}}) {
    Bitmap b;
    ASSERT_TRUE(b.Reset(6, 5));
    Number(b);
    const std::uint8_t* corner = b.Row(1) + 3 * 1;
    ASSERT_TRUE(b.CutOut(1, 1, 4, 3));
    EXPECT_EQ(b.Row(0), corner) << "nothing moved";
    EXPECT_FALSE(b.Packed());
    ASSERT_TRUE(b.SetSize(w, h));  // shrinking (or keeping) the rectangle packs what is kept
    EXPECT_TRUE(b.Packed());
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w * 3; ++x)
        EXPECT_EQ(b.Row(y)[x], static_cast<std::uint8_t>((y + 1) * 31 + 3 + x)) << x << "," << y;
  }
  Bitmap b;
  ASSERT_TRUE(b.Reset(6, 5));
  EXPECT_FALSE(b.CutOut(3, 0, 4, 5)) << "past the right edge";
  EXPECT_FALSE(b.CutOut(0, 0, 0, 5));
}

}  // namespace
}  // namespace phototrim
