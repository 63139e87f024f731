// Tests of --crop-positions and --print-crops: placed crops equal a cut from a full decode, byte for
// byte; faulty positions files stop the command before anything is written.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "cli/batch_command.h"
#include "cli/options.h"
#include "support/heif_files.h"
#include "support/picture_files.h"
#include "support/test_folder.h"
#include "trim/format.h"
#include "trim/geometry/crop.h"

namespace phototrim::cli {
namespace {

using testing::TestFolder;

constexpr char kDjpeg[] = "/usr/bin/djpeg";
constexpr char kCjpeg[] = "/usr/bin/cjpeg";

struct Placed {
  const char* path;
  int width, height, orientation;  // as stored
  int x, y;                        // hundredths of a percent; 5000 for a picture not in the file
  bool listed;
};

// L at 400 dpi: a 403 x 250 landscape keeps 356 of its columns, a portrait 356 of its rows.
const Placed kPictures[] = {
    {"left.jpg", 403, 250, 0, 0, 5000, true},
    {"right.jpg", 403, 250, 0, 10000, 0, true},
    {"third.jpg", 403, 250, 0, 3333, 5000, true},
    {"sub/top.jpg", 250, 403, 0, 5000, 0, true},
    {"sub/low.jpg", 250, 403, 0, 5000, 8750, true},
    {"turned.jpg", 403, 250, 6, 5000, 1250, true},  // upright 250 x 403: rows are the free axis
    {"centre.jpg", 403, 250, 0, 5000, 5000, false},
};

std::string Percent(int hundredths) { return Format("%d.%02d", hundredths / 100, hundredths % 100); }

// The crop made without phototrim: djpeg's full decode, turned upright, the rectangle at
// floor(room x X / 100) cut out, and cjpeg's encode.
std::vector<std::uint8_t> ExpectedCrop(const TestFolder& folder, const Placed& picture, int quality) {
  const std::string ppm = folder / "full.ppm", cut = folder / "cut.ppm", jpeg = folder / "expected.jpg";
  const std::string input = folder / ("in/" + std::string(picture.path));
  EXPECT_EQ(std::system(Format("%s -dct float -outfile '%s' '%s'", kDjpeg, ppm.c_str(), input.c_str()).c_str()), 0);
  Bitmap stored, upright;
  EXPECT_TRUE(testing::ReadPnm(ppm, stored));
  testing::UprightCopy(stored, picture.orientation, upright);
  const PixelSize crop = ComputeCropSize(upright.Width(), upright.Height(), {2000, 1401});
  const long long roomX = upright.Width() - crop.width, roomY = upright.Height() - crop.height;
  EXPECT_TRUE(upright.CutOut(static_cast<int>(roomX * picture.x / 10000), static_cast<int>(roomY * picture.y / 10000),
                             crop.width, crop.height));
  testing::WritePpm(cut, upright);
  EXPECT_EQ(std::system(Format("%s -dct float -quality %d -baseline -outfile '%s' '%s'", kCjpeg, quality, jpeg.c_str(),
                               cut.c_str()).c_str()),
            0);
  return testing::ReadBytes(jpeg);
}

TEST(CropPositions, PlacedCropsEqualTheRectangleCutFromAFullDecode) {
  if (::access(kDjpeg, X_OK) != 0 || ::access(kCjpeg, X_OK) != 0) GTEST_SKIP() << "djpeg/cjpeg missing";
  TestFolder folder;
  std::string positions = "# moved by hand\r\n\n";
  std::uint32_t seed = 1;
  for (const Placed& picture : kPictures) {
    testing::JpegOptions options;
    options.orientation = picture.orientation;
    testing::WriteJpeg(folder / ("in/" + std::string(picture.path)), picture.width, picture.height, options, seed++);
    if (picture.listed) positions += std::string(picture.path) + '\t' + Percent(picture.x) + '\t' + Percent(picture.y) + "\r\n";
  }
  testing::WriteText(folder / "positions.txt", positions);
  for (const char* jobs : {"1", "3"}) {
    const std::string out = folder / ("out" + std::string(jobs));
    const CommandResult result =
        RunBatchCommand(folder, {"-j", jobs, "-q", "85", "--crop-positions", "positions.txt", "in", out});
    ASSERT_EQ(result.status, kExitFinished) << result.err;
    for (const Placed& picture : kPictures)
      EXPECT_TRUE(testing::ReadBytes(out + "/" + picture.path) == ExpectedCrop(folder, picture, 85))
          << picture.path << " with -j " << jobs;
  }
  // The listing names the same rectangles, and writes nothing.
  const CommandResult listed = RunBatchCommand(folder, {"--print-crops", "--crop-positions", "positions.txt", "in"});
  ASSERT_EQ(listed.status, kExitFinished) << listed.err;
  EXPECT_NE(listed.out.find("left.jpg\t0\t50\t0\t0\t356\t250\t403\t250\n"), std::string::npos) << listed.out;
  EXPECT_NE(listed.out.find("right.jpg\t100\t0\t47\t0\t356\t250\t403\t250\n"), std::string::npos) << listed.out;
  EXPECT_NE(listed.out.find("turned.jpg\t50\t12.5\t0\t5\t250\t356\t250\t403\n"), std::string::npos) << listed.out;
  EXPECT_NE(listed.out.find("centre.jpg\t50\t50\t23\t0\t356\t250\t403\t250\n"), std::string::npos) << listed.out;
}

TEST(CropPositions, FaultyFilesStopTheCommandBeforeAnythingIsWritten) {
  struct Case {
    const char* name;
    std::string text;
    const char* where;  // what the message starts with after "phototrim-batch: "
  };
  const std::string nul("a.jpg\t1\t2\n\0\n", 12);
  const Case cases[] = {
      {"percent above 100", "a.jpg\t100.01\t50\n", "positions.txt:1: "},
      {"three decimals", "# c\na.jpg\t1.234\t50\n", "positions.txt:2: "},
      {"missing field", "a.jpg\t50\n", "positions.txt:1: "},
      {"extra field", "a.jpg\t50\t50\t50\n", "positions.txt:1: "},
      {"absolute path", "/etc/a.jpg\t50\t50\n", "positions.txt:1: "},
      {"parent folder", "sub/../../a.jpg\t50\t50\n", "positions.txt:1: "},
      {"empty name", "sub//a.jpg\t50\t50\n", "positions.txt:1: "},
      {"duplicate", "a.jpg\t10\t50\nb.jpg\t1\t1\na.jpg\t20\t50\n", "positions.txt:3: 1 "},
      {"binary", nul, "positions.txt:2: "},
  };
  TestFolder folder;
  testing::WriteJpeg(folder / "in/a.jpg", 403, 250);
  for (const Case& c : cases) {
    testing::WriteText(folder / "positions.txt", c.text);
    const CommandResult result = RunBatchCommand(folder, {"--crop-positions", "positions.txt", "in", "out"});
    EXPECT_EQ(result.status, kExitUsage) << c.name;
    EXPECT_EQ(result.err.rfind(std::string("phototrim-batch: ") + c.where, 0), 0u) << c.name << ": " << result.err;
    EXPECT_FALSE(std::filesystem::exists(folder / "out")) << c.name;
  }
  // Missing, not a file, and too large to be a positions file.
  std::filesystem::resize_file(folder / "positions.txt", (std::uintmax_t{16} << 20) + 1);
  for (const char* file : {"missing.txt", "in", "positions.txt"}) {
    const CommandResult result = RunBatchCommand(folder, {"--crop-positions", file, "in", "out"});
    EXPECT_EQ(result.status, kExitUsage) << file;
    EXPECT_EQ(result.err.rfind(std::string("phototrim-batch: ") + file + ": ", 0), 0u) << result.err;
    EXPECT_FALSE(std::filesystem::exists(folder / "out")) << file;
  }
}

TEST(CropPositions, FaceFocusIsTheSameForAnyNumberOfJobsAndListedLinesWin) {
  TestFolder folder;
  for (std::uint32_t seed = 1; seed <= 4; ++seed)
    testing::WriteJpeg(folder / Format("in/%u.jpg", seed), 403 + 40 * static_cast<int>(seed), 250, {}, seed);
  testing::WriteText(folder / "positions.txt", "2.jpg\t0\t0\n");
  const CommandResult one =
      RunBatchCommand(folder, {"-j", "1", "--crop-focus", "faces", "--crop-positions", "positions.txt", "--print-crops", "in"});
  const CommandResult three =
      RunBatchCommand(folder, {"-j", "3", "--crop-focus=faces", "--crop-positions", "positions.txt", "--print-crops", "in"});
  ASSERT_EQ(one.status, kExitFinished) << one.err;
  EXPECT_EQ(one.out, three.out);
  EXPECT_NE(one.out.find("2.jpg\t0\t0\t0\t"), std::string::npos) << one.out;
  EXPECT_EQ(RunBatchCommand(folder, {"--crop-focus", "eyes", "in", "out"}).status, kExitUsage);
}

TEST(CropPositions, PrintedCropsAreOfThePicturesTheRunTakes) {
  TestFolder folder;
  testing::WriteJpeg(folder / "in/a.jpg", 403, 250);
  testing::WriteJpeg(folder / "in/out/old.jpg", 403, 250);  // an earlier run's output, inside the input
  Bitmap picture;
  testing::FillPattern(picture, 403, 250);
  testing::WriteBytes(folder / "in/c.heic", testing::WithRotation(testing::MakeHeif(picture), 1));
  const struct {
    std::vector<std::string> options;
    std::string listed;
  } cases[] = {
      {{}, "a.jpg\t50\t50\t23\t0\t356\t250\t403\t250\n"},
      // Upright 250 x 403 as libheif turns it: its rows are the free axis.
      {{"--heic"}, "a.jpg\t50\t50\t23\t0\t356\t250\t403\t250\nc.heic\t50\t50\t0\t23\t250\t356\t250\t403\n"},
      {{"--heic", "--crop-focus", "faces"},
       "a.jpg\t50\t50\t23\t0\t356\t250\t403\t250\nc.heic\t50\t50\t0\t23\t250\t356\t250\t403\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.options;
    args.insert(args.end(), {"--print-crops", "in", "in/out"});
    const CommandResult result = RunBatchCommand(folder, args);
    EXPECT_EQ(result.status, kExitFinished) << result.err;
    EXPECT_EQ(result.out, c.listed) << c.options.size();
  }
}

TEST(CropPositions, LineNamingNoPictureIsReportedAndTheRunGoesOn) {
  TestFolder folder;
  testing::WriteJpeg(folder / "in/a.jpg", 403, 250);
  testing::WriteText(folder / "positions.txt", "a.jpg\t0\t0\ngone.jpg\t10\t10\n");
  const CommandResult result = RunBatchCommand(folder, {"--quiet", "--crop-positions", "positions.txt", "in", "out"});
  EXPECT_EQ(result.status, kExitFinished) << result.err;
  EXPECT_NE(result.err.find("positions.txt:2: "), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("gone.jpg"), std::string::npos) << result.err;
  EXPECT_TRUE(std::filesystem::exists(folder / "out/a.jpg"));
}

}  // namespace
}  // namespace phototrim::cli
