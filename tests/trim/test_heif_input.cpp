// HEIC/HEIF input through whole runs: upright colours, bad files, output names.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>

#include "support/heif_files.h"
#include "support/picture_files.h"
#include "support/scripted_host.h"
#include "support/test_folder.h"
#include "support/jpeg_load.h"
#include "trim/collect/heif_names.h"
#include "trim/load_result.h"
#include "trim/run/batch_run.h"

namespace phototrim {
namespace {

using namespace testing;
using Bytes = std::vector<std::uint8_t>;

// Four quadrants of far-apart colours (blue, green, red), so that a turn or a mirror shows; and white.
constexpr std::uint8_t kColours[5][3] = {{220, 40, 40}, {40, 220, 40}, {40, 40, 220}, {220, 220, 40}, {255, 255, 255}};

Bitmap Quadrants(int w, int h) {
  Bitmap b;
  b.Reset(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) std::memcpy(b.Row(y) + 3 * x, kColours[(y >= h / 2) * 2 + (x >= w / 2)], 3);
  return b;
}

// Which colour stands nearest at the centre of each quadrant (top left, top right, bottom left, bottom right).
std::array<int, 4> QuadrantsOf(const Bitmap& b) {
  std::array<int, 4> found{};
  for (int q = 0; q < 4; ++q) {
    const std::uint8_t* p = b.Row((q / 2) * b.Height() / 2 + b.Height() / 4) + 3 * ((q % 2) * b.Width() / 2 + b.Width() / 4);
    int best = 1 << 30;
    for (int c = 0; c < 5; ++c) {
      int d = 0;
      for (int k = 0; k < 3; ++k) d += std::abs(p[k] - kColours[c][k]);
      if (d < best) best = d, found[static_cast<std::size_t>(q)] = c;
    }
  }
  return found;
}

Bytes Profile(const char* space) {
  Bytes icc(160, 7);
  std::memcpy(icc.data() + 16, space, 4);
  return icc;
}

// The APP2 ICC payload of a JPEG file, without its 14-byte chunk header; empty when there is none.
Bytes IccOf(const Bytes& jpeg) {
  for (const JpegSegment& s : JpegSegments(jpeg))
    if (s.marker == 0xE2 && s.payloadSize > 14) return {jpeg.begin() + long(s.payloadOffset) + 14, jpeg.begin() + long(s.payloadOffset + s.payloadSize)};
  return {};
}

// Every box or item type `from` in the file named `to` instead.
Bytes Renamed(Bytes b, const char* from, const char* to) {
  for (std::size_t at = 0; at + 4 <= b.size(); ++at)
    if (std::memcmp(&b[at], from, 4) == 0) std::memcpy(&b[at], to, 4);
  return b;
}

class HeifRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host.input = folder / "in";
    host.output = folder / "out";
    MakeFolders(host.input);
    host.heif = true;
    host.skipSmall = false;
    host.size.fixedFirst = "4";  // the 4:3 crop keeps the whole 64 x 48 test picture
    host.size.fixedSecond = "3";
  }
  TestFolder folder;
  Workspace workspace;
  ScriptedHost host;
};

TEST_F(HeifRunTest, DecodesUprightWithColourAndNeverTurnsTwice) {
  const Bitmap picture = Quadrants(64, 48);
  struct Case {
    const char* name;
    std::function<Bytes()> make;
    int width, height;
    std::array<int, 4> quadrants;
    Bytes profile;  // expected ICC in the output; {1} for one made from the colour description
  };
  const Case cases[] = {
      {"plain.heic", [&] { return MakeHeif(picture); }, 64, 48, {0, 1, 2, 3}, {}},
      {"turned.HEIC", [&] { return WithRotation(MakeHeif(picture), 1); }, 48, 64, {1, 3, 0, 2}, {}},
      {"half.heif", [&] { return WithRotation(MakeHeif(picture), 2); }, 64, 48, {3, 2, 1, 0}, {}},
      // The Exif orientation inside is not applied again: the file's own transformations are the truth.
      {"exif6.hif", [&] { return MakeHeif(picture, {.exif = ExifWithOrientation(6)}); }, 64, 48, {0, 1, 2, 3}, {}},
      {"deep.heic", [&] { return MakeHeif(picture, {.bitDepth = 10}); }, 64, 48, {0, 1, 2, 3}, {}},
      // Mostly transparent on the left, mostly opaque on the right: over white, not black.
      {"alpha.heic", [&] { return MakeHeif(picture, {.alpha = true}); }, 64, 48, {4, 1, 4, 3}, {}},
      {"rgb-icc.heic", [&] { return MakeHeif(picture, {.iccProfile = Profile("RGB ")}); }, 64, 48, {0, 1, 2, 3}, Profile("RGB ")},
      {"gray-icc.heic", [&] { return MakeHeif(picture, {.iccProfile = Profile("GRAY")}); }, 64, 48, {0, 1, 2, 3}, {}},
      {"p3.heic", [&] { return WithNclx(MakeHeif(picture), 12, 13); },
       64, 48, {0, 1, 2, 3}, {1}},
      {"srgb.heic", [&] { return WithNclx(MakeHeif(picture), 1, 13); },
       64, 48, {0, 1, 2, 3}, {}},
  };
  for (const Case& c : cases) WriteBytes(host.input + "/" + c.name, c.make());
  const RunSummary summary = RunBatch(workspace, host);
  EXPECT_EQ(summary.SavedCount, static_cast<int>(std::size(cases)));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string name(c.name);
    const std::string out = host.output + "/" + name.substr(0, name.rfind('.')) + ".jpg";
    Bitmap work, scratch;
    std::vector<std::uint8_t> profile;
    ASSERT_EQ(LoadJpeg(out, work, scratch, profile), LoadResult::Ok);
    EXPECT_EQ(work.Width(), c.width);
    EXPECT_EQ(work.Height(), c.height);
    EXPECT_EQ(QuadrantsOf(work), c.quadrants);
    const Bytes icc = IccOf(ReadBytes(out));
    if (c.profile == Bytes{1}) {
      ASSERT_GT(icc.size(), 128u);
      EXPECT_EQ(std::string(icc.begin() + 16, icc.begin() + 20), "RGB ");
    } else {
      EXPECT_EQ(icc, c.profile);
    }
  }
}

TEST_F(HeifRunTest, BadFilesFailWithAReasonAndNothingIsWritten) {
  const Bytes good = MakeHeif(Quadrants(64, 48));
  // HEVC data has no check of its own (damaged slices decode to other pixels): the decoder's
  // configuration is damaged instead.
  Bytes corrupt = good;
  const std::size_t hvcC = std::string(good.begin(), good.end()).find("hvcC");
  for (std::size_t i = hvcC + 4; i < hvcC + 60; ++i) corrupt[i] ^= 0x5A;
  const std::pair<const char*, Bytes> bad[] = {
      {"1-empty.heic", {}},
      {"2-truncated.heic", CutAt(good, good.size() / 2)},
      {"3-header-only.heic", CutAt(good, 40)},
      {"4-corrupt.heic", corrupt},
      {"5-text.heic", Bytes{'h', 'e', 'l', 'l', 'o'}},
      {"6-bomb.heic", WithClaimedHeifSize(good, 30000, 30000)},
      {"7-no-primary.heic", Renamed(good, "pitm", "xitm")},
      {"8-unknown-codec.heic", Renamed(good, "hvc1", "xvc1")},
  };
  for (const auto& [name, bytes] : bad) WriteBytes(host.input + "/" + name, bytes);
  WriteBytes(host.input + "/z-good.heic", good);
  const RunSummary summary = RunBatch(workspace, host);
  EXPECT_EQ(summary.SavedCount, 1);
  EXPECT_EQ(summary.ErrorCount, static_cast<int>(std::size(bad)));
  EXPECT_EQ(host.failureReasons.size(), std::size(bad));
  std::vector<std::string> written;
  for (const auto& entry : std::filesystem::directory_iterator(host.output)) written.push_back(entry.path().filename());
  EXPECT_EQ(written, std::vector<std::string>{"z-good.jpg"});
  for (const QuestionKind kind : host.questionKinds) EXPECT_EQ(kind, QuestionKind::Decode);
}

TEST_F(HeifRunTest, APictureRefusedByItsSizeIsRefusedBeforeItsDecode) {
  // The boxes claim 7000 x 5000, beyond the 6200-pixel limit: the crop question, not a decode failure.
  WriteBytes(host.input + "/big.heic", WithClaimedHeifSize(MakeHeif(Quadrants(64, 48)), 7000, 5000));
  RunBatch(workspace, host);
  ASSERT_EQ(host.questionKinds.size(), 1u);
  EXPECT_EQ(host.questionKinds[0], QuestionKind::Crop);
}

TEST(HeifNames, OutputNamesNeverCollide) {
  const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> cases = {
      {{"d/IMG_0001.HEIC"}, {"d/IMG_0001.jpg"}},
      {{"d/IMG_0001.HEIC", "d/IMG_0001.JPG"}, {"d/IMG_0001.HEIC.jpg", "d/IMG_0001.JPG"}},
      {{"d/a.heic", "d/a.HEIF"}, {"d/a.heic.jpg", "d/a.jpg"}},  // a.HEIF sorts first bytewise
      {{"d/a.hif", "e/a.heic"}, {"d/a.jpg", "e/a.jpg"}},        // other folders do not matter
      {{"d/a.heic", "d/A.jpg", "d/a.heic.JPG"}, {"", "d/A.jpg", "d/a.heic.JPG"}},  // no name left
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(OutputNamePaths(in), out) << in[0];
}

}  // namespace
}  // namespace phototrim
