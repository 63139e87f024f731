// Crop geometry: the crop size for a pair, the reduction target, and the centred crop's pixels.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/picture_files.h"
#include "support/whole_picture_steps.h"
#include "trim/geometry/crop.h"

namespace phototrim {
namespace {

using testing::FillRandom;

constexpr TargetSize kL400{2000, 1401};
constexpr TargetSize kL150{750, 525};
constexpr TargetSize kVga{640, 480};

void ExpectSize(PixelSize got, int width, int height) {
  EXPECT_EQ(got.width, width);
  EXPECT_EQ(got.height, height);
}

TEST(CropGeometryTest, KeepsOneWholeSideAndCutsTheOther) {
  ExpectSize(ComputeCropSize(3000, 2000, kL400), 2855, 2000);
  ExpectSize(ComputeCropSize(2000, 3000, kL400), 2000, 2855);  // portrait: the pair turned upright
  ExpectSize(ComputeCropSize(1000, 1000, kL400), 700, 1000);   // square counts as portrait
  ExpectSize(ComputeCropSize(3000, 2000, kL150), 2857, 2000);  // the resolution changes the crop
  ExpectSize(ComputeCropSize(4000, 3000, kL400), 4000, 2802);
  ExpectSize(ComputeCropSize(2000, 1401, kL400), 2000, 1401);  // already the ratio: kept whole
  ExpectSize(ComputeCropSize(8000, 6000, kVga), 8000, 6000);   // same ratio: whole, and too big to crop
  // A fixed size typed smaller-first gives a portrait shape even on a landscape picture.
  ExpectSize(ComputeCropSize(4000, 3000, TargetSize{480, 640}), 2250, 3000);
}

TEST(CropGeometryTest, HugeFixedSizesDoNotOverflow) {
  // 3000 * 2000000000 wraps in 32 bits; in 64 the crop is the true one.
  ExpectSize(ComputeCropSize(4000, 3000, TargetSize{2000000000, 3}), 4000, 0);
  ExpectSize(ComputeCropSize(4000, 3000, TargetSize{3, 2000000000}), 0, 3000);
  ExpectSize(ComputeCropSize(3000, 2000, TargetSize{2000000000, 1999999999}), 2000, 2000);
  ExpectSize(ComputeCropSize(3000, 2000, TargetSize{2147483647, 2147483647}), 2000, 2000);
  // A pair that the run refuses never divides by zero here.
  ExpectSize(ComputeCropSize(3000, 2000, TargetSize{0, 600}), 0, 0);
}

TEST(CropGeometryTest, ReductionTargetFollowsThePicture) {
  ExpectSize(ComputeReductionTarget(4000, 2802, kL400), 2000, 1401);
  ExpectSize(ComputeReductionTarget(2802, 4000, kL400), 1401, 2000);
  ExpectSize(ComputeReductionTarget(1000, 1000, kL400), 1401, 2000);  // square: portrait
  ExpectSize(ComputeReductionTarget(2250, 3000, TargetSize{480, 640}), 640, 480);
}

// The picture that a crop of `cw` x `ch` at (x0, y0) must give, taken from the original.
std::vector<std::uint8_t> Rectangle(const Bitmap& from, int x0, int y0, int cw, int ch) {
  std::vector<std::uint8_t> bytes;
  for (int y = y0; y < y0 + ch; ++y)
    bytes.insert(bytes.end(), from.Row(y) + 3 * x0, from.Row(y) + 3 * (x0 + cw));
  return bytes;
}

TEST(CropCenteredTest, CutsExactlyTheCentredRectangle) {
  struct Case {
    int W, H, cw, ch, x0, y0;
  };
  const Case cases[] = {
      {3000, 2000, 2855, 2000, 72, 0},  // 72 columns cut on the left, 73 on the right
      {2000, 3000, 2000, 2855, 0, 72},  // 72 rows cut at the top, 73 at the bottom
      {301, 201, 100, 50, 100, 75},     // both sides, odd surplus
      {64, 48, 64, 48, 0, 0},           // nothing to cut
      {7, 5, 1, 1, 3, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.W << "x" << c.H << " -> " << c.cw << "x" << c.ch);
    Bitmap original, work, scratch;
    FillRandom(original, c.W, c.H, 42);
    FillRandom(work, c.W, c.H, 42);
    ASSERT_EQ(CropCentered(work, scratch, c.cw, c.ch), StepResult::Ok);
    ASSERT_EQ(work.Width(), c.cw);
    ASSERT_EQ(work.Height(), c.ch);
    const auto want = Rectangle(original, c.x0, c.y0, c.cw, c.ch);
    const std::size_t rowBytes = static_cast<std::size_t>(c.cw) * 3;
    for (int y = 0; y < c.ch; ++y) ASSERT_EQ(std::memcmp(work.Row(y), want.data() + y * rowBytes, rowBytes), 0) << y;
    // The next change of size packs the rectangle and keeps it.
    ASSERT_TRUE(work.SetSize(c.cw, c.ch + 1));
    EXPECT_TRUE(work.Packed());
    EXPECT_EQ(std::memcmp(work.Row(0), want.data(), want.size()), 0);
  }
}

TEST(CropCenteredTest, RefusesAndChangesNothing) {
  struct Case {
    int W, H, cw, ch;
  };
  const Case cases[] = {
      {300, 200, 301, 200}, {300, 200, 300, 201},  // larger than the picture
      {6300, 4, 6201, 4},   {4, 6300, 4, 6201},    // wider or higher than 6200
      {300, 200, 0, 200},   {300, 200, 300, 0},    // empty
      {300, 200, -4, 200},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.W << "x" << c.H << " -> " << c.cw << "x" << c.ch);
    Bitmap work, scratch;
    FillRandom(work, c.W, c.H, 1);
    const std::vector<std::uint8_t> before(work.Row(0), work.Row(0) + work.Stride() * c.H);
    EXPECT_EQ(CropCentered(work, scratch, c.cw, c.ch), StepResult::Refused);
    EXPECT_EQ(work.Width(), c.W);
    EXPECT_EQ(work.Height(), c.H);
    EXPECT_EQ(std::memcmp(work.Row(0), before.data(), before.size()), 0);
  }
  // 6200 itself is accepted.
  Bitmap work, scratch;
  FillRandom(work, 6300, 4, 1);
  EXPECT_EQ(CropCentered(work, scratch, 6200, 4), StepResult::Ok);
}

}  // namespace
}  // namespace phototrim
