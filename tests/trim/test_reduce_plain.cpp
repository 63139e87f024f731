// ReducePlain: exact target size, every pixel taken whole from the source pixel it covers.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "support/feed_rows.h"
#include "support/picture_files.h"
#include "support/whole_picture_steps.h"
#include "trim/reduce/reduce_plain.h"
#include "trim/load_result.h"

namespace phototrim {
namespace {

using testing::FillRandom;

// Every target pixel must be a source pixel lying under that target pixel (its footprint
// [x*W/tw, (x+1)*W/tw) on each axis), taken whole: with random bytes an average would not match.
void ExpectPointSampled(int W, int H, int tw, int th) {
  SCOPED_TRACE(::testing::Message() << W << "x" << H << " -> " << tw << "x" << th);
  Bitmap source, work, scratch;
  FillRandom(source, W, H, 77);
  FillRandom(work, W, H, 77);
  ASSERT_EQ(ReducePlain(work, scratch, tw, th), StepResult::Ok);
  ASSERT_EQ(work.Width(), tw);
  ASSERT_EQ(work.Height(), th);
  for (int y = 0; y < th; ++y) {
    for (int x = 0; x < tw; ++x) {
      const std::uint8_t* got = work.Row(y) + 3 * x;
      bool found = false;
      // Footprint bounds, widened by one pixel when a target pixel is smaller than a source one.
      const long long sx0 = static_cast<long long>(x) * W / tw, sx1 = (static_cast<long long>(x + 1) * W + tw - 1) / tw;
      const long long sy0 = static_cast<long long>(y) * H / th, sy1 = (static_cast<long long>(y + 1) * H + th - 1) / th;
      for (long long sy = sy0; sy < sy1 && !found; ++sy)
        for (long long sx = sx0; sx < sx1 && !found; ++sx)
          found = std::memcmp(got, source.Row(static_cast<int>(sy)) + 3 * sx, 3) == 0;
      ASSERT_TRUE(found) << "target pixel " << x << "," << y;
    }
  }
}

TEST(ReducePlainTest, TakesWholeSourcePixelsFromUnderEachTargetPixel) {
  ExpectPointSampled(300, 200, 100, 67);
  ExpectPointSampled(2250, 3000, 640, 480);  // different ratios on the two axes
  ExpectPointSampled(97, 89, 96, 13);
  ExpectPointSampled(640, 480, 640, 479);    // one axis unchanged
  ExpectPointSampled(10, 10, 25, 5);         // a stretch goes through the second picture
}

TEST(ReducePlainTest, SinglePixelTargetTakesTheCentre) {
  Bitmap source, work, scratch;
  FillRandom(source, 5, 7, 3);
  FillRandom(work, 5, 7, 3);
  ASSERT_EQ(ReducePlain(work, scratch, 1, 1), StepResult::Ok);
  ASSERT_EQ(work.Width(), 1);
  EXPECT_EQ(std::memcmp(work.Row(0), source.Row(3) + 3 * 2, 3), 0);
}

TEST(ReducePlainTest, FlatPictureStaysFlatAndSameSizeStaysAsIs) {
  Bitmap work, scratch;
  work.Reset(120, 90);
  std::memset(work.Row(0), 0x5A, work.Stride() * 90);
  ASSERT_EQ(ReducePlain(work, scratch, 37, 11), StepResult::Ok);
  for (int y = 0; y < 11; ++y)
    for (std::size_t i = 0; i < work.Stride(); ++i) ASSERT_EQ(work.Row(y)[i], 0x5A);

  Bitmap source;
  FillRandom(source, 40, 30, 8);
  FillRandom(work, 40, 30, 8);
  ASSERT_EQ(ReducePlain(work, scratch, 40, 30), StepResult::Ok);
  EXPECT_EQ(std::memcmp(work.Row(0), source.Row(0), source.Stride() * 30), 0);
}

TEST(ReducePlainTest, FedRowByRowInAnyOrientationIsTheWholePictureReduction) {
  for (const auto& [W, H, tw, th] : {std::array{301, 203, 100, 67}, std::array{97, 64, 13, 64}, std::array{40, 30, 40, 29}}) {
    for (int orientation = 1; orientation <= 8; ++orientation) {
      const bool turned = AxesOf(orientation).turned;
      Bitmap stored, want, scratch;
      FillRandom(stored, turned ? H : W, turned ? W : H, static_cast<std::uint32_t>(W + orientation));
      testing::UprightCopy(stored, orientation, want);
      ASSERT_EQ(ReducePlain(want, scratch, tw, th), StepResult::Ok);
      for (const auto& [margin, batch] : {std::pair{0, 16}, std::pair{5, 3}}) {
        Bitmap got;
        PlainRows sink(got, scratch);
        ASSERT_EQ(sink.Begin(testing::KeptRowsWithMargin(stored, margin, orientation), tw, th), LoadResult::Ok);
        ASSERT_EQ(testing::FeedRows(sink, stored, margin, batch), LoadResult::Ok);
        ASSERT_TRUE(got.Width() == tw && got.Height() == th);
        for (int y = 0; y < th; ++y)
          ASSERT_EQ(std::memcmp(got.Row(y), want.Row(y), static_cast<std::size_t>(tw) * 3), 0)
              << W << "x" << H << " orientation " << orientation << " row " << y;
      }
    }
  }
}

}  // namespace
}  // namespace phototrim
