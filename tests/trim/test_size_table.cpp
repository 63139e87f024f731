// The size table and the target size pair of a run.
#include <gtest/gtest.h>

#include "trim/geometry/size_table.h"

namespace phototrim {
namespace {

TargetSize Pair(const char* name, int dpi, std::string first = "", std::string second = "") {
  const int row = FindSizeRow(name);
  EXPECT_GE(row, 0) << name;
  return ComputeTargetSize({row, dpi, std::move(first), std::move(second)});
}

void ExpectPair(const TargetSize& pair, int longSide, int shortSide) {
  EXPECT_EQ(pair.LongSide, longSide);
  EXPECT_EQ(pair.ShortSide, shortSide);
}

TEST(ComputeTargetSize, PrintSizesScaleWithTheResolutionTruncating) {
  ExpectPair(Pair("L", 400), 2000, 1401);
  ExpectPair(Pair("L", 150), 750, 525);
  ExpectPair(Pair("L", 200), 1000, 700);
  ExpectPair(Pair("L", 300), 1500, 1050);
  ExpectPair(Pair("L", 320), 1600, 1120);
  ExpectPair(Pair("A4", 300), 3507, 2480);
  ExpectPair(Pair("W四切", 150), 2173, 1500);
  ExpectPair(Pair("はがき", 400), 2394, 1606);
}

TEST(ComputeTargetSize, PixelSizesIgnoreTheResolution) {
  ExpectPair(Pair("QXGA", 150), 2048, 1536);
  ExpectPair(Pair("QVGA", 400), 320, 240);
  ExpectPair(Pair("4Base", 200), 1536, 1024);
}

TEST(ComputeTargetSize, FixedSizeNeedsBothTextsAndIsTakenAsTyped) {
  ExpectPair(Pair("L", 400, "800", "600"), 800, 600);
  ExpectPair(Pair("VGA", 400, "800", ""), 640, 480);
  ExpectPair(Pair("L", 400, "abc", "600"), 320, 600);
  ExpectPair(Pair("L", 400, "480", "640"), 480, 640);  // never swapped
  ExpectPair(Pair("L", 400, "800 ", "x"), 320, 240);
  ExpectPair(Pair("L", 400, "  $1F4", "0x1f4"), 500, 500);
  ExpectPair(Pair("L", 400, "-5", "+7"), -5, 7);  // refused later, at the start of the run
}

TEST(ParseInteger, IsTheUsualSigned32BitConversion) {
  int v = 0;
  EXPECT_TRUE(ParseInteger("2147483647", v));
  EXPECT_EQ(v, 2147483647);
  EXPECT_TRUE(ParseInteger("-2147483648", v));
  EXPECT_EQ(v, -2147483647 - 1);
  for (const char* bad : {"", " ", "2147483648", "1 ", "1.5", "0x", "$", "+", "99999999999999999999", "１"})
    EXPECT_FALSE(ParseInteger(bad, v)) << bad;
}

TEST(SizeTable, EveryRowIsLongerThanHigh) {
  for (const TSizeChoice& row : kSizeTable) EXPECT_GT(row.LongSide, row.ShortSide) << row.name;
  EXPECT_EQ(FindSizeRow("B5"), -1);
}

}  // namespace
}  // namespace phototrim
