// Whole runs over hostile input: each row puts one bad or unusual entry before a good picture, and
// the run must end normally with the row's outcome, in a child bounded to 512 MiB and a hang guard.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <random>

#include "support/child_process.h"
#include "support/picture_files.h"
#include "support/scripted_host.h"
#include "support/test_folder.h"
#include "trim/run/batch_run.h"
#include "trim/format.h"
#include "trim/messages.h"

namespace phototrim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::BadExif;
using testing::JpegOptions;
using testing::ScriptedHost;
using testing::TestFolder;
using Size = std::pair<int, int>;

constexpr int kVga = 12;  // row of VGA 640 x 480: a 4:3 picture is kept whole by its crop
constexpr std::uint64_t kMemoryBound = std::uint64_t{512} << 20;
constexpr char kHostileName[] = "a-hostile.jpg";  // sorts before the follower
constexpr char kFollowerName[] = "z-follower.jpg";

Bytes Encoded(int width, int height, const JpegOptions& options = {}) {
  Bitmap picture;
  testing::FillPattern(picture, width, height, 5);
  return testing::EncodeJpeg(picture, options);
}

Bytes Progressive(int width, int height) {
  JpegOptions options;
  options.progressive = true;
  return Encoded(width, height, options);
}

// What became of the hostile entry: saved at a size, skipped, or one question answered いいえ.
struct Outcome {
  enum Kind { Saved, Skipped, Asked, NotCollected } kind = Saved;
  Size size{};                       // Saved: the output's width and height
  QuestionKind question{};           // Asked: which question
};

Outcome SavedAs(int width, int height) { return {Outcome::Saved, {width, height}, {}}; }
Outcome AskedOnce(QuestionKind kind) { return {Outcome::Asked, {}, kind}; }
Outcome Skipped() { return {Outcome::Skipped, {}, {}}; }

struct Row {
  std::string name;
  // Writes the hostile entry at the path it is given (the input folder's kHostileName).
  std::function<void(const std::string&)> make;
  Outcome outcome;
  std::function<void(ScriptedHost&)> settings = [](ScriptedHost&) {};
  Size followerSize{404, 303};
};

// gtest prints a failing row by its name rather than its bytes.
void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

std::function<void(const std::string&)> Writes(Bytes bytes) {
  return [bytes](const std::string& path) { testing::WriteBytes(path, bytes); };
}

// Odd sizes on purpose: no multiple of any MCU, and 4:3, so the VGA crop keeps the picture whole.
constexpr int kW = 404, kH = 303;

std::vector<Row> Rows() {
  std::vector<Row> rows;
  const Bytes baseline = Encoded(kW, kH);
  const Bytes progressive = Progressive(kW, kH);
  const auto baselineScan = testing::ScanOffsets(baseline);
  const auto scans = testing::ScanOffsets(progressive);

  // ---- Cut files ----
  rows.push_back({"TruncatedInTheHeader", Writes(testing::CutAt(baseline, 120)), AskedOnce(QuestionKind::Decode)});
  rows.push_back({"TruncatedInTheBaselineScan",
                  Writes(testing::CutAt(baseline, (baselineScan[0] + baseline.size()) / 2)),
                  AskedOnce(QuestionKind::Decode)});
  rows.push_back({"TruncatedInTheFirstProgressiveScan", Writes(testing::CutAt(progressive, (scans[0] + scans[1]) / 2)),
                  AskedOnce(QuestionKind::Decode)});
  rows.push_back({"TruncatedInALaterProgressiveScan", Writes(testing::CutAt(progressive, (scans[6] + scans[7]) / 2)),
                  AskedOnce(QuestionKind::Decode)});

  // ---- Not JPEG files at all ----
  rows.push_back({"ZeroBytes", Writes({}), AskedOnce(QuestionKind::Decode)});
  Bytes random(20000);
  std::mt19937 generator(77);
  for (auto& byte : random) byte = static_cast<std::uint8_t>(generator());
  rows.push_back({"RandomBytes", Writes(random), AskedOnce(QuestionKind::Decode)});
  rows.push_back({"PngNamedJpg",
                  Writes({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 1, 0, 0, 0,
                          1, 0, 8, 2, 0, 0, 0}),
                  AskedOnce(QuestionKind::Decode)});
  // A folder is entered, never taken for a picture: the picture inside it is saved like any other.
  rows.push_back({"FolderNamedXJpg",
                  [baseline](const std::string& path) { testing::WriteBytes(path + "/inside.jpg", baseline); },
                  SavedAs(kW, kH)});

  // ---- Headers that claim more than the data holds ----
  rows.push_back({"BaselineClaiming65500x65500", Writes(testing::WithClaimedSize(baseline, 65500, 65500)),
                  AskedOnce(QuestionKind::Decode)});
  rows.push_back({"ProgressiveClaiming30000x30000", Writes(testing::WithClaimedSize(progressive, 30000, 30000)),
                  AskedOnce(QuestionKind::Decode)});
  JpegOptions manyScans;
  manyScans.manyScans = true;  // 704 scans a component: 2112
  rows.push_back({"ProgressiveWithThousandsOfScans", Writes(Encoded(48, 32, manyScans)), AskedOnce(QuestionKind::Decode)});
  {
    // A progressive file whose colour scans are missing, ended properly after the luminance: no
    // data runs out, so only the missing components tell that it is not whole.
    JpegOptions inTurn;
    inTurn.componentByComponent = true;
    const Bytes whole = Encoded(kW, kH, inTurn);
    Bytes lumaOnly = testing::CutAt(whole, testing::ScanOffsets(whole).at(2));
    lumaOnly.insert(lumaOnly.end(), {0xFF, 0xD9});
    rows.push_back({"ProgressiveWithComponentsNeverCoded", Writes(lumaOnly), AskedOnce(QuestionKind::Decode)});
  }
  rows.push_back({"TwelveBit", Writes(testing::WithPrecision(baseline, 12)), AskedOnce(QuestionKind::Decode)});

  // ---- Unusual but valid coding: decoded and saved ----
  JpegOptions o;
  o.arithmetic = true;
  rows.push_back({"ArithmeticCoded", Writes(Encoded(kW, kH, o)), SavedAs(kW, kH)});
  {
    // Arithmetic-coded data that stops halfway, before an end marker: the decoder reads zeros past
    // a marker without a word, which the standard allows (an encoder may drop its trailing zero
    // bytes), so this cannot be told from a whole file. It is saved, its lower part flat.
    const Bytes arithmetic = Encoded(kW, kH, o);
    Bytes cut = testing::CutAt(arithmetic, (testing::ScanOffsets(arithmetic)[0] + arithmetic.size()) / 2);
    cut.insert(cut.end(), {0xFF, 0xD9});
    rows.push_back({"ArithmeticDataEndingEarlyAtAMarker", Writes(cut), SavedAs(kW, kH)});
    // The same few kilobytes claiming 16000 x 16000, within the pixel limit: read on as zeros it
    // would take 0.75 GB; refused from the header for claiming far more pixels than any photo
    // codes in so few bytes.
    rows.push_back({"ArithmeticClaiming16000x16000", Writes(testing::WithClaimedSize(cut, 16000, 16000)),
                    AskedOnce(QuestionKind::Decode)});
  }
  o.progressive = true;
  rows.push_back({"ArithmeticProgressive", Writes(Encoded(kW, kH, o)), SavedAs(kW, kH)});
  o = {};
  o.adobeCmyk = true;
  rows.push_back({"AdobeCmykInverted", Writes(Encoded(kW, kH, o)), SavedAs(kW, kH)});
  o.ycck = true;
  rows.push_back({"AdobeYcck", Writes(Encoded(kW, kH, o)), SavedAs(kW, kH)});
  o = {};
  o.restartInterval = 1;
  rows.push_back({"RestartMarkers", Writes(Encoded(kW, kH, o)), SavedAs(kW, kH)});
  struct Sampling {
    const char* name;
    int h, v;
  };
  for (const Sampling s : {Sampling{"Sampling440", 1, 2}, Sampling{"Sampling411", 4, 1}, Sampling{"Sampling444", 1, 1},
                           Sampling{"SamplingAsymmetric3x2", 3, 2}, Sampling{"SamplingAsymmetric1x4", 1, 4}}) {
    o = {};
    o.sampleH = s.h, o.sampleV = s.v;
    rows.push_back({s.name, Writes(Encoded(kW, kH, o)), SavedAs(kW, kH)});
  }

  // ---- EXIF ----
  o = {};
  o.grayscale = true;
  o.orientation = 6;  // stored landscape, shown portrait: cropped and saved upright
  rows.push_back({"GrayscaleWithExifOrientation6", Writes(Encoded(kW, kH, o)), SavedAs(kH, kW)});
  for (const bool little : {false, true}) {
    const std::string order = little ? "Intel" : "Motorola";
    for (const auto& [kind, name] : {std::pair{BadExif::IfdLoop, "ExifIfdLoop"}, std::pair{BadExif::HugeCount, "ExifHugeCount"},
                                     std::pair{BadExif::OffsetPastEnd, "ExifOffsetPastEnd"}}) {
      o = {};
      o.exif = testing::DamagedExif(kind, little);
      rows.push_back({name + order, Writes(Encoded(kW, kH, o)), SavedAs(kW, kH)});
    }
  }

  // ---- Sizes at the edges ----
  rows.push_back({"OnePixelIsSkippedAsSmall", Writes(Encoded(1, 1)), Skipped()});
  // Kept though small, a single pixel has no crop of the target's ratio: the crop is refused.
  rows.push_back({"OnePixelKeptIsRefusedByTheCrop", Writes(Encoded(1, 1)), AskedOnce(QuestionKind::Crop),
                  [](ScriptedHost& h) { h.skipSmall = false; }});
  // A fixed size of the picture's own shape keeps it whole; 6200 pixels is the largest crop.
  rows.push_back({"ExactlyAtTheCropLimit", Writes(Encoded(6200, 100)), SavedAs(6200, 100),
                  [](ScriptedHost& h) { h.size.fixedFirst = "6200", h.size.fixedSecond = "100"; }, Size{404, 6}});
  rows.push_back({"OnePastTheCropLimit", Writes(Encoded(6201, 100)), AskedOnce(QuestionKind::Crop),
                  [](ScriptedHost& h) { h.size.fixedFirst = "6201", h.size.fixedSecond = "100"; }, Size{404, 6}});
  return rows;
}

const char* MemoLineOf(QuestionKind kind) {
  switch (kind) {
    case QuestionKind::Vanished: return text::kMemoVanished;
    case QuestionKind::Decode: return text::kMemoDecode;
    case QuestionKind::Crop: return text::kMemoCrop;
    case QuestionKind::BadName: return text::kMemoBadName;
    case QuestionKind::Save: return text::kMemoSave;
    case QuestionKind::ExistingFile: break;
  }
  return "";
}

// The run itself, in the child: everything is checked there and reported through gtest.
void RunRow(const Row& row) {
  TestFolder folder;
  ScriptedHost host;
  host.input = folder / "in/";
  host.output = folder / "out/";
  host.size.row = kVga;
  row.settings(host);
  const std::string hostile = folder / "in/" + kHostileName;
  testing::MakeFolders(folder / "in");
  row.make(hostile);
  testing::WriteJpeg(folder / "in/" + kFollowerName, kW, kH);
  Workspace workspace;
  workspace.PumpSlice = {};
  const RunSummary summary = RunBatch(workspace, host);

  const Outcome& want = row.outcome;
  const int saved = 1 + (want.kind == Outcome::Saved ? 1 : 0);
  const int errors = want.kind == Outcome::Asked ? 1 : 0;
  const int skips = want.kind == Outcome::Skipped ? 1 : 0;
  EXPECT_TRUE(summary.started);
  EXPECT_FALSE(summary.aborted);
  EXPECT_EQ(summary.SavedCount, saved);
  EXPECT_EQ(summary.ErrorCount, errors);
  EXPECT_EQ(summary.SkipCount, skips);
  // The run ended as finished, back in its idle state, with the final text as its last notice.
  ASSERT_FALSE(host.notices.empty());
  EXPECT_EQ(host.notices.back(), Format(text::kFinishedStatus, saved, errors, skips));
  EXPECT_FALSE(host.running);
  // One question at most, the row's own, about the hostile file, and its memo line once.
  if (want.kind == Outcome::Asked) {
    EXPECT_EQ(host.questionKinds, std::vector<QuestionKind>{want.question});
    ASSERT_EQ(host.questions.size(), 1u);
    EXPECT_NE(host.questions[0].find(hostile), std::string::npos) << host.questions[0];
    EXPECT_EQ(std::count(host.memo.begin(), host.memo.end(), MemoLineOf(want.question)), 1);
  } else {
    EXPECT_TRUE(host.questions.empty()) << host.questions.front();
  }
  if (want.kind == Outcome::Skipped) {
    EXPECT_EQ(std::count(host.memo.begin(), host.memo.end(), text::kMemoSkipped), 1);
  }
  if (want.kind == Outcome::Saved) {
    const std::string output = row.name == "FolderNamedXJpg" ? folder / "out/" + kHostileName + "/inside.jpg"
                                                              : folder / "out/" + kHostileName;
    EXPECT_EQ(testing::JpegSize(output), want.size);
  } else {
    EXPECT_FALSE(std::filesystem::exists(folder / "out/" + kHostileName));
  }
  // The good picture after it went through as usual, and nothing else was left in the output.
  EXPECT_EQ(testing::JpegSize(folder / "out/" + kFollowerName), row.followerSize);
  for (const std::string& name : testing::ListFilesBelow(folder / "out"))
    EXPECT_EQ(name.find(".phototrim-"), std::string::npos) << name;
}

class HostileRun : public ::testing::TestWithParam<Row> {};

TEST_P(HostileRun, EndsNormallyWithItsOutcome) {
  const Row& row = GetParam();
  testing::ChildLimits limits;
  limits.addressSpaceBytes = kMemoryBound;
  const testing::ChildResult child = testing::RunInChild([&row] { RunRow(row); }, limits);
  EXPECT_TRUE(child.Passed()) << child.Describe();
  RecordProperty("peak_rss_kib", std::to_string(child.peakRssKiB));
  // Measured only where it means something (see kUnderSanitizer); the address-space limit
  // above already made any larger allocation fail in the child.
  if (!testing::kUnderSanitizer) {
    EXPECT_LT(static_cast<std::uint64_t>(child.peakRssKiB) << 10, kMemoryBound);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, HostileRun, ::testing::ValuesIn(Rows()),
                         [](const ::testing::TestParamInfo<Row>& row) { return row.param.name; });

}  // namespace
}  // namespace phototrim
