// What a whole run of phototrim-batch keeps, one at a time and on workers alike: the colour profile,
// the upright turn and the place of the crop; hidden names; and the bounds of every numeric value.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "cli/batch_command.h"
#include "cli/options.h"
#include "support/picture_files.h"
#include "support/test_folder.h"

namespace phototrim::cli {
namespace {

using testing::TestFolder;

// The ICC profile a JPEG file carries, its APP2 chunks joined in order; empty when it has none.
std::vector<std::uint8_t> ProfileOf(const std::vector<std::uint8_t>& jpeg) {
  static const char kTag[] = "ICC_PROFILE";  // then a NUL, the chunk's number and the count
  std::vector<std::uint8_t> profile;
  for (const testing::JpegSegment& segment : testing::JpegSegments(jpeg)) {
    if (segment.marker != 0xE2 || segment.payloadSize < 14) continue;
    const auto* payload = jpeg.data() + segment.payloadOffset;
    if (std::string(reinterpret_cast<const char*>(payload), 11) != kTag) continue;
    profile.insert(profile.end(), payload + 14, payload + segment.payloadSize);
  }
  return profile;
}

// The file decoded whole by djpeg, as stored (no EXIF turn).
Bitmap Decoded(const TestFolder& folder, const std::string& jpeg) {
  const std::string ppm = folder / "decoded.ppm";
  const std::string command = "djpeg -dct float -outfile '" + ppm + "' '" + jpeg + "'";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  Bitmap picture;
  EXPECT_TRUE(testing::ReadPnm(ppm, picture));
  return picture;
}

// Mean absolute difference between `picture` and the rectangle of `source` at (left, top).
double MeanDifference(const Bitmap& picture, const Bitmap& source, int left, int top) {
  double sum = 0;
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width() * 3; ++x)
      sum += std::abs(int(picture.Row(y)[x]) - int(source.Row(y + top)[left * 3 + x]));
  return sum / (double(picture.Width()) * picture.Height() * 3);
}

TEST(WholeRuns, KeepTheProfileTurnUprightAndCropInTheirPlace) {
  // Noise, so that a crop one row off differs everywhere; stored 600 x 400, shown turned a quarter
  // (EXIF 6): upright 400 x 600, which L cuts to 400 x 571, 14 rows off the top.
  Bitmap stored;
  testing::FillRandom(stored, 600, 400, 7);
  testing::JpegOptions options;
  options.quality = 100;
  options.orientation = 6;
  options.iccProfile.assign(300, 0x5A);
  const char kRgb[] = "RGB ";
  std::copy(kRgb, kRgb + 4, options.iccProfile.begin() + 16);
  for (const int jobs : {1, 2}) {
    TestFolder folder;
    testing::WriteBytes(folder / "in/a.jpg", testing::EncodeJpeg(stored, options));
    testing::WriteBytes(folder / "in/b.jpg", testing::EncodeJpeg(stored, options));  // so that -j 2 has two
    const CommandResult result = RunBatchCommand(
        folder, {"--no-progress", "-j", std::to_string(jobs), "-q", "100", folder / "in", folder / "out"});
    ASSERT_EQ(result.status, 0) << result.err;
    const auto output = testing::ReadBytes(folder / "out/a.jpg");
    EXPECT_EQ(ProfileOf(output), options.iccProfile) << "jobs " << jobs;
    EXPECT_EQ(testing::JpegSize(folder / "out/a.jpg"), std::make_pair(400, 571));

    Bitmap upright;
    testing::UprightCopy(Decoded(folder, folder / "in/a.jpg"), 6, upright);
    const Bitmap cropped = Decoded(folder, folder / "out/a.jpg");
    const double inPlace = MeanDifference(cropped, upright, 0, 14);
    EXPECT_LT(inPlace, 8.0) << "jobs " << jobs;
    for (const int top : {13, 15, 29}) EXPECT_GT(MeanDifference(cropped, upright, 0, top), 5 * inPlace) << top;
  }
}

TEST(WholeRuns, HiddenNamesAreProcessedLikeAnyOther) {
  // A leading dot (hidden files) or the "._" of another system's side files changes nothing: a file
  // ending in .jpg is a picture of the run, and fails as one when it is not a JPEG.
  TestFolder folder;
  testing::WriteJpeg(folder / "in/.hidden.jpg", 400, 300);
  testing::WriteJpeg(folder / "in/._x.jpg", 400, 300);
  testing::WriteText(folder / "in/._side.jpg", "not a picture");
  const CommandResult result = RunBatchCommand(folder, {"--no-progress", folder / "in", folder / "out"});
  EXPECT_NE(result.status, 0);
  EXPECT_EQ(testing::ListFilesBelow(folder / "out"), (std::vector<std::string>{"._x.jpg", ".hidden.jpg"}));
  EXPECT_NE(result.err.find("._side.jpg"), std::string::npos) << result.err;
}

TEST(WholeRuns, EveryNumericValueIsBounded) {
  struct Case {
    std::vector<std::string> args;
    bool accepted;
  };
  const std::vector<Case> cases = {
      {{"-j", "0"}, false},      {{"-j", "1"}, true},       {{"-j", "256"}, true},   {{"-j", "257"}, false},
      {{"-j", "-1"}, false},     {{"--jobs=2"}, true},      {{"-j2"}, true},         {{"-j", "2x"}, false},
      {{"-q", "0"}, true},       {{"-q", "100"}, true},     {{"-q", "101"}, false},  {{"-q", ""}, false},
      {{"-d", "150"}, true},     {{"-d", "200"}, true},     {{"-d", "300"}, true},   {{"-d", "320"}, true},
      {{"-d", "400"}, true},     {{"-d", "0"}, false},      {{"-d", "600"}, false},  {{"-d", "0400"}, true},
      {{"-f", "1:1"}, true},     {{"-f", "0:1"}, false},    {{"-f", "99999999999:1"}, false},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"i", "o"});
    Options options;
    std::string error;
    EXPECT_EQ(ParseOptions(args, options, error), c.accepted) << args[0] << " " << (args.size() > 3 ? args[1] : "");
    if (!c.accepted) {
      EXPECT_FALSE(error.empty());
    }
  }
}

}  // namespace
}  // namespace phototrim::cli
