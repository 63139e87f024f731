// Tests of crop positions: the centre is the centred crop, the percent text, and the file's lines.
#include <gtest/gtest.h>

#include <algorithm>

#include "trim/geometry/crop.h"
#include "trim/geometry/crop_focus.h"
#include "trim/geometry/crop_positions_file.h"

namespace phototrim {
namespace {

TEST(CropPosition, CentreIsTheCentredCropAndEdgesAreTheEdges) {
  for (int room = 0; room <= 20000; ++room) {
    ASSERT_EQ(OffsetInRoom(room, 5000), room / 2) << room;
    ASSERT_EQ(OffsetInRoom(room, 0), 0) << room;
    ASSERT_EQ(OffsetInRoom(room, 10000), room) << room;
  }
  // 3000 x 2000 at L: the crop is 2855 x 2000, 145 columns of room.
  const TargetSize L{2000, 1401};
  EXPECT_EQ(DecideCrop(3000, 2000, L, {0, 0}, true).kept.x, 0);
  EXPECT_EQ(DecideCrop(3000, 2000, L, {3333, 0}, true).kept.x, 48);  // 145 x 33.33 / 100 = 48.3
  EXPECT_EQ(DecideCrop(3000, 2000, L, {10000, 0}, true).kept.x, 145);
  EXPECT_EQ(DecideCrop(2000, 3000, L, {10000, 10000}, true).kept.y, 145);
  EXPECT_EQ(DecideCrop(8000, 6000, {640, 480}, {0, 0}, true).check, CropCheck::BeyondSizeLimit);
  // The room on the largest pictures does not wrap.
  EXPECT_EQ(OffsetInRoom(2000000000, 9999), 1999800000);
}

TEST(CropPosition, PercentTextReadsTwoDecimalsAtMost) {
  const std::pair<const char*, int> good[] = {{"0", 0},      {"50", 5000},   {"100", 10000}, {"100.00", 10000},
                                              {"12.5", 1250}, {"33.33", 3333}, {"007", 700},   {"0.01", 1}};
  for (const auto& [text, value] : good) {
    int read = -1;
    EXPECT_TRUE(ParsePercent(text, read)) << text;
    EXPECT_EQ(read, value) << text;
  }
  for (const char* text : {"", "-1", "+5", "100.01", "101", "1.234", ".5", "5.", "5,5", " 5", "5 ", "1e2", "0x10", "1000"}) {
    int read = -1;
    EXPECT_FALSE(ParsePercent(text, read)) << text;
  }
  for (int hundredths = 0; hundredths <= 10000; ++hundredths) {
    int read = -1;
    ASSERT_TRUE(ParsePercent(FormatPercent(hundredths), read)) << hundredths;
    ASSERT_EQ(read, hundredths);
  }
}

TEST(CropPosition, FileTextSurvivesItsRoundTripAndEditorHabits) {
  CropPositions written;
  written.Set("b/é.jpg", {0, 5000});
  written.Set("a.jpg", {3333, 10000});
  written.Set("centred.jpg", kCentred);  // not moved: not saved
  const std::string text = CropPositionsText(written);
  CropPositions read;
  PositionsFileError error;
  ASSERT_TRUE(ParseCropPositions("\xEF\xBB\xBF" + text, read, error)) << error.reason;
  EXPECT_EQ(read.size(), 2u);
  EXPECT_EQ(read.Of("a.jpg"), (CropPosition{3333, 10000}));
  EXPECT_EQ(read.Of("b/é.jpg"), (CropPosition{0, 5000}));
  EXPECT_EQ(read.Of("centred.jpg"), kCentred);
  // CR line ends and a last line without its end; a faulty line adds nothing at all.
  CropPositions edited;
  ASSERT_TRUE(ParseCropPositions("a.jpg\t1\t2\r\n\r\n# note\r\nb.jpg\t3\t4", edited, error));
  EXPECT_EQ(edited.Of("b.jpg"), (CropPosition{300, 400}));
  EXPECT_FALSE(ParseCropPositions("c.jpg\t1\t2\nd.jpg\t1\n", edited, error));
  EXPECT_EQ(error.line, 2);
  EXPECT_EQ(edited.size(), 2u);
}

TEST(CropPosition, CentredOnARegionTheFrameLandsOnItsPixelOrAtTheEdge) {
  const TargetSize L{2000, 1401};
  // 3000 x 2000: frame 2855 wide, 145 columns of room; 2000 x 3000: the same in rows.
  for (int centre = 0; centre <= 3000; ++centre) {
    const int wanted = std::clamp(centre - 2855 / 2, 0, 145);
    const CropPosition across = CentreOnRegion(3000, 2000, L, {centre, 700, 1, 100});
    ASSERT_EQ(OffsetInRoom(145, across.x), wanted) << centre;
    ASSERT_EQ(across.y, 5000);
    const CropPosition down = CentreOnRegion(2000, 3000, L, {700, centre, 100, 1});
    ASSERT_EQ(OffsetInRoom(145, down.y), wanted) << centre;
  }
  // No room, no region, a crop refused: the centre.
  EXPECT_EQ(CentreOnRegion(2000, 1401, L, {0, 0, 10, 10}), kCentred);
  EXPECT_EQ(CentreOnRegion(3000, 2000, L, {0, 0, 0, 0}), kCentred);
  EXPECT_EQ(CentreOnRegion(3000, 2000, {0, 0}, {0, 0, 10, 10}), kCentred);
}

}  // namespace
}  // namespace phototrim
