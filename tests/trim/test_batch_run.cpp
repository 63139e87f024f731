// The batch run over small generated folder trees, driven by a scripted host.
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "support/picture_files.h"
#include "support/scripted_host.h"
#include "support/test_folder.h"
#include "trim/run/batch_run.h"
#include "trim/run/one_file_work.h"
#include "trim/format.h"
#include "trim/messages.h"

namespace phototrim {
namespace {

using testing::JpegSize;
using testing::ScriptedHost;
using testing::TestFolder;
using testing::WriteJpeg;
using testing::WriteText;
namespace fs = std::filesystem;

constexpr int kQvga = 11;  // row of QVGA 320 x 240 in the size table
constexpr int kVga = 12;

std::string Status(int percent, int done, int total, int errors, int skips) {
  return Format(text::kProgressStatus, percent, done, total, errors, skips);
}

class BatchRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host.input = folder / "in/";
    host.output = folder / "out/";
    testing::MakeFolders(folder / "out");
  }
  RunSummary Run() { return RunBatch(workspace, host); }

  TestFolder folder;
  Workspace workspace;
  ScriptedHost host;
};

TEST_F(BatchRunTest, StartChecksRefuseBeforeAnythingChanges) {
  WriteJpeg(folder / "in/a.jpg", 400, 300);
  struct Case {
    std::function<void(ScriptedHost&)> change;
    const char* notice;
  } cases[] = {
      {[](ScriptedHost& h) { h.input.clear(), h.output.clear(); }, text::kNoInputFolder},
      {[](ScriptedHost& h) { h.output.clear(); }, text::kNoOutputFolder},
      {[](ScriptedHost& h) { h.crop = false, h.reduce = false; }, text::kNoStepChosen},
      {[](ScriptedHost& h) { h.size = {0, 400, std::string("0"), std::string("600")}; }, text::kFixedSizeNotPositive},
      {[](ScriptedHost& h) { h.size = {0, 400, std::string("800"), std::string("-5")}; }, text::kFixedSizeNotPositive},
      // Texts that are no plain whole number are not read as some other size.
      {[](ScriptedHost& h) { h.size = {0, 400, std::string("800px"), std::string("600")}; }, text::kFixedSizeNotPositive},
      {[](ScriptedHost& h) { h.size = {0, 400, std::string("abc"), std::string("600")}; }, text::kFixedSizeNotPositive},
      {[](ScriptedHost& h) { h.size = {0, 400, std::string(" 800"), std::string("600")}; }, text::kFixedSizeNotPositive},
      {[](ScriptedHost& h) { h.size = {0, 400, std::string("800"), std::string("0x20")}; }, text::kFixedSizeNotPositive},
      {[](ScriptedHost& h) { h.size = {0, 400, std::string("+800"), std::string("600")}; }, text::kFixedSizeNotPositive},
      {[](ScriptedHost& h) { h.size = {0, 400, std::string("800"), std::string("99999999999")}; }, text::kFixedSizeNotPositive},
      {[](ScriptedHost& h) { h.output = h.input + "a.jpg"; }, text::kOutputFolderUnusable},
      {[](ScriptedHost& h) { h.input += "empty/"; }, text::kNoJpegFiles},
  };
  testing::MakeFolders(folder / "in/empty");
  for (const Case& c : cases) {
    ScriptedHost h;
    h.input = host.input;
    h.output = host.output;
    c.change(h);
    const RunSummary summary = RunBatch(workspace, h);
    EXPECT_FALSE(summary.started);
    EXPECT_EQ(h.notices, std::vector<std::string>{c.notice});
    EXPECT_EQ(h.events, std::vector<std::string>{"notice"}) << "nothing but the notice may change";
    EXPECT_TRUE(h.memo.empty());
    EXPECT_TRUE(h.statusTexts.empty());
  }
  EXPECT_FALSE(fs::exists(folder / "out/a.jpg"));
}

TEST_F(BatchRunTest, OneFixedSizeTextAloneLeavesTheChosenSizeInForceWhateverItHolds) {
  WriteJpeg(folder / "in/a.jpg", 3000, 2000);
  host.size.fixedFirst = "800px";
  EXPECT_EQ(Run().SavedCount, 1);
  EXPECT_EQ(JpegSize(folder / "out/a.jpg"), std::make_pair(2855, 2000));  // L
}

TEST_F(BatchRunTest, TheAbortDuringTheCollectionStopsItBeforeTheRunStarts) {
  for (int i = 0; i < 20; ++i) WriteJpeg(folder / Format("in/%02d/a.jpg", i), 400, 300);
  workspace.PumpSlice = {};
  // Events run while the files are collected; the abort seen there ends the collection at once.
  host.onCollectingPump = [this](int) { workspace.AbortRequested = true; };
  const RunSummary summary = Run();
  EXPECT_EQ(host.collectingPumps, 1);
  EXPECT_FALSE(summary.started);
  EXPECT_TRUE(summary.aborted);
  EXPECT_EQ(host.notices, std::vector<std::string>{text::kAbortedNotice});
  EXPECT_EQ(host.events, std::vector<std::string>{"notice"}) << "nothing but the notice may change";
  EXPECT_FALSE(fs::exists(folder / "out/00"));
  // The next run is not stopped by the abort left set.
  host = {};
  host.input = folder / "in/";
  host.output = folder / "out/";
  EXPECT_EQ(Run().SavedCount, 20);
}

TEST_F(BatchRunTest, SubfoldersSwitchedOffStillCountsThem) {
  WriteJpeg(folder / "in/sub/a.jpg", 400, 300);
  host.noSubfolders = true;
  EXPECT_FALSE(Run().started);
  EXPECT_EQ(host.notices, std::vector<std::string>{text::kNoJpegFiles});
  EXPECT_EQ(workspace.Counters.SubfolderCount, 1);
  EXPECT_EQ(workspace.Counters.JpegFileCount, 0);
}

TEST_F(BatchRunTest, ThreeFilesSavedInMirroredTreeWithProgressAndFinalText) {
  WriteJpeg(folder / "in/a.jpg", 3000, 2000);
  WriteJpeg(folder / "in/b/c.JPG", 2000, 3000);
  WriteJpeg(folder / "in/b/d.Jpg", 1000, 1000);
  WriteText(folder / "in/b/notes.txt", "not a picture");
  const RunSummary summary = Run();

  EXPECT_TRUE(summary.started);
  EXPECT_FALSE(summary.aborted);
  EXPECT_EQ(host.memo, (std::vector<std::string>{host.input + "a.jpg", host.input + "b/c.JPG", host.input + "b/d.Jpg"}));
  EXPECT_EQ(host.progress, (std::vector<int>{0, 33, 66, 100}));
  const std::string finalText = Format(text::kFinishedStatus, 3, 0, 0);
  EXPECT_EQ(host.statusTexts, (std::vector<std::string>{Status(33, 1, 3, 0, 0), Status(66, 2, 3, 0, 0),
                                                          Status(100, 3, 3, 0, 0), finalText}));
  EXPECT_EQ(host.notices, std::vector<std::string>{finalText});
  EXPECT_EQ(host.events, (std::vector<std::string>{"running", "clear", "notice", "idle"}));
  // L at 400 dpi crops without reducing: 3000 x 2000 -> 2855 x 2000; portrait and square turn the ratio.
  EXPECT_EQ(JpegSize(folder / "out/a.jpg"), std::make_pair(2855, 2000));
  EXPECT_EQ(JpegSize(folder / "out/b/c.JPG"), std::make_pair(2000, 2855));
  EXPECT_EQ(JpegSize(folder / "out/b/d.Jpg"), std::make_pair(700, 1000));
  EXPECT_FALSE(fs::exists(folder / "out/b/notes.txt"));
}

TEST_F(BatchRunTest, FailureAnsweredNoCountsOneErrorAndLeavesProgressUntilTheNextSave) {
  WriteJpeg(folder / "in/1.jpg", 400, 300);
  WriteText(folder / "in/2.jpg", "this is no picture");
  WriteJpeg(folder / "in/3.jpg", 400, 300);
  host.defaultAnswer = false;
  const RunSummary summary = Run();

  EXPECT_EQ(summary.ErrorCount, 1);
  EXPECT_EQ(host.questions, std::vector<std::string>{Format(text::kAskDecode, (host.input + "2.jpg").c_str())});
  EXPECT_EQ(host.memo, (std::vector<std::string>{host.input + "1.jpg", host.input + "2.jpg", text::kMemoDecode,
                                                 host.input + "3.jpg"}));
  EXPECT_EQ(host.progress, (std::vector<int>{0, 33, 100}));
  EXPECT_EQ(host.statusTexts.back(), Format(text::kFinishedStatus, 2, 1, 0));
  EXPECT_EQ(host.statusTexts[1], Status(100, 3, 3, 1, 0));
  EXPECT_EQ(host.failureReasons, std::vector<std::string>{"Not a JPEG file: starts with 0x74 0x68"});  // libjpeg's words
}

TEST_F(BatchRunTest, FailureAnsweredYesStopsAsAborted) {
  WriteText(folder / "in/1.jpg", "");
  WriteJpeg(folder / "in/2.jpg", 400, 300);
  host.answers = {true};
  const RunSummary summary = Run();

  EXPECT_TRUE(summary.aborted);
  EXPECT_TRUE(workspace.AbortRequested);
  EXPECT_EQ(host.memo, (std::vector<std::string>{host.input + "1.jpg", text::kMemoAborted}));
  EXPECT_EQ(host.notices.back(), Format(text::kAbortedStatus, 0, 0, 0));
  EXPECT_FALSE(fs::exists(folder / "out/2.jpg"));
  EXPECT_EQ(host.events.back(), "idle");
}

TEST_F(BatchRunTest, SkipRuleTakesSmallPicturesInEitherOrientation) {
  const std::pair<int, int> sizes[] = {{320, 240}, {240, 320}, {240, 240}, {321, 240}, {320, 241}, {241, 320}, {300, 300}};
  for (const auto& [w, h] : sizes) WriteJpeg(folder / Format("in/%dx%d.jpg", w, h), w, h);
  Run();
  EXPECT_EQ(host.statusTexts.back(), Format(text::kFinishedStatus, 4, 0, 3));
  for (const auto& [w, h] : sizes) {
    const bool small = (w <= 320 && h <= 240) || (w <= 240 && h <= 320);
    EXPECT_EQ(fs::exists(folder / Format("out/%dx%d.jpg", w, h)), !small) << w << "x" << h;
  }

  // With the switch off nothing is skipped; the existing files are overwritten after one いいえ.
  ScriptedHost again;
  again.input = host.input;
  again.output = host.output;
  again.skipSmall = false;
  RunBatch(workspace, again);
  EXPECT_EQ(again.statusTexts.back(), Format(text::kFinishedStatus, 7, 0, 0));
  EXPECT_EQ(again.questions.size(), 1u);

  // A damaged small picture is still read through, and asked about as a file that cannot be read.
  const std::vector<std::uint8_t> whole = testing::ReadBytes(folder / "in/320x240.jpg");
  testing::WriteBytes(folder / "in/320x240.jpg", testing::CutAt(whole, whole.size() / 2));
  ScriptedHost third;
  third.input = host.input;
  third.output = folder / "out3/";
  RunBatch(workspace, third);
  EXPECT_EQ(third.questionKinds, std::vector<QuestionKind>{QuestionKind::Decode});
  EXPECT_EQ(third.failureReasons, std::vector<std::string>{"Premature end of JPEG file"});
}

TEST_F(BatchRunTest, ReductionNeverEnlargesAndReducesLargerPictures) {
  host.reduce = true;
  host.size.row = kQvga;
  WriteJpeg(folder / "in/big.jpg", 1280, 960);
  WriteJpeg(folder / "in/portrait.jpg", 960, 1280);
  WriteJpeg(folder / "in/narrow.jpg", 400, 250);  // cropped to 333 x 250, still above 320 x 240
  WriteJpeg(folder / "in/small.jpg", 330, 230);   // cropped to 306 x 230, smaller than 320 x 240
  host.highQuality = true;
  Run();
  EXPECT_EQ(JpegSize(folder / "out/big.jpg"), std::make_pair(320, 240));
  EXPECT_EQ(JpegSize(folder / "out/portrait.jpg"), std::make_pair(240, 320));
  EXPECT_EQ(JpegSize(folder / "out/narrow.jpg"), std::make_pair(320, 240));
  EXPECT_EQ(JpegSize(folder / "out/small.jpg"), std::make_pair(306, 230));
  EXPECT_EQ(std::count(host.memo.begin(), host.memo.end(), text::kMemoNotReduced), 1);
  EXPECT_EQ(host.statusTexts.back(), Format(text::kFinishedStatus, 4, 0, 0));
}

TEST_F(BatchRunTest, FixedSizeWithOtherRatioFallsBackToThePlainStretch) {
  host.reduce = true;
  host.size.fixedFirst = "480";
  host.size.fixedSecond = "640";
  WriteJpeg(folder / "in/a.jpg", 1600, 1200);
  Run();
  // Cropped to 900 x 1200 (portrait 480:640), whose target is 640 x 480: a stretch, not refused.
  EXPECT_EQ(JpegSize(folder / "out/a.jpg"), std::make_pair(640, 480));
  EXPECT_EQ(host.statusTexts.back(), Format(text::kFinishedStatus, 1, 0, 0));
}

TEST_F(BatchRunTest, ExistingFileIsAskedOncePerRun) {
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) WriteJpeg(folder / (std::string("in/") + name), 400, 300);
  Run();
  ASSERT_TRUE(host.questions.empty());

  ScriptedHost second;
  second.input = host.input;
  second.output = host.output;
  second.answers = {false};
  RunBatch(workspace, second);
  EXPECT_EQ(second.questions, std::vector<std::string>{Format(text::kAskExisting, (host.output + "a.jpg").c_str())});
  EXPECT_EQ(second.statusTexts.back(), Format(text::kFinishedStatus, 3, 0, 0));

  ScriptedHost third;
  third.input = host.input;
  third.output = host.output;
  third.answers = {true};
  const RunSummary summary = RunBatch(workspace, third);
  EXPECT_TRUE(summary.aborted);
  EXPECT_EQ(third.memo, (std::vector<std::string>{host.input + "a.jpg", text::kMemoAborted}));
  EXPECT_EQ(third.statusTexts.back(), Format(text::kAbortedStatus, 0, 0, 0));
}

TEST_F(BatchRunTest, AbortSeenAtTheStartOfTheNextFile) {
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) WriteJpeg(folder / (std::string("in/") + name), 400, 300);
  // Pumps: 1 start of a, 2 after decoding a, 3 start of b. Abort pressed while a is decoded.
  host.onPump = [this](int pump) {
    if (pump == 2) workspace.AbortRequested = true;
  };
  const RunSummary summary = Run();
  EXPECT_TRUE(summary.aborted);
  EXPECT_TRUE(fs::exists(folder / "out/a.jpg")) << "the file being decoded is still saved";
  EXPECT_EQ(host.memo, (std::vector<std::string>{host.input + "a.jpg", host.input + "b.jpg", text::kMemoAborted}));
  EXPECT_EQ(host.notices, (std::vector<std::string>{text::kAbortedNotice, Format(text::kAbortedStatus, 1, 0, 0)}));
}

TEST_F(BatchRunTest, AbortOnTheLastFileEndsWithoutTheNoticeButAsAborted) {
  WriteJpeg(folder / "in/a.jpg", 400, 300);
  host.onPump = [this](int pump) {
    if (pump == 2) workspace.AbortRequested = true;
  };
  Run();
  EXPECT_EQ(host.notices, std::vector<std::string>{Format(text::kAbortedStatus, 1, 0, 0)});
}

TEST_F(BatchRunTest, AbortDuringTheHighQualityReductionSavesNothing) {
  host.reduce = true;
  host.size.row = kQvga;
  WriteJpeg(folder / "in/a.jpg", 1280, 960);
  workspace.PumpSlice = {};  // pump at every chance the reduction gives
  // Pumps: 1 start of the file, 2 after its decode, 3 and on inside the reduction.
  host.onPump = [this](int pump) {
    if (pump == 3) workspace.AbortRequested = true;
  };
  const RunSummary summary = Run();
  EXPECT_EQ(host.pumps, 3) << "the reduction stops at the first check after the abort";
  EXPECT_TRUE(summary.aborted);
  EXPECT_FALSE(fs::exists(folder / "out/a.jpg"));
  EXPECT_EQ(host.memo, (std::vector<std::string>{host.input + "a.jpg", text::kMemoAborted, ""}));
  EXPECT_EQ(host.notices, std::vector<std::string>{Format(text::kAbortedStatus, 0, 0, 0)});
}

TEST_F(BatchRunTest, SettingsChangedDuringTheRunApplyFromTheNextFileFoldersFromTheNextRun) {
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) WriteJpeg(folder / (std::string("in/") + name), 400, 300);
  testing::MakeFolders(folder / "out2");
  const auto original = testing::ReadBytes(folder / "in/c.jpg");
  // While a is being decoded, both folders change and the quality drops: the quality applies from
  // a's save, the folders only to the next run.
  host.onPump = [this](int pump) {
    if (pump == 2) {
      host.output = folder / "out2";
      host.input = folder / "out2/";
      host.quality = 5;
    }
  };
  Run();
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) EXPECT_TRUE(fs::exists(folder / "out/" + name)) << name;
  EXPECT_TRUE(testing::ListFilesBelow(folder / "out2").empty());
  EXPECT_LT(fs::file_size(folder / "out/c.jpg"), original.size());
  EXPECT_TRUE(host.questions.empty());
}

TEST_F(BatchRunTest, InputFolderChangedToALongerTextLeavesTheNamesOfThisRunAlone) {
  WriteJpeg(folder / "in/a.jpg", 400, 300);
  host.onPump = [this](int) { host.input = folder / "in/a/very/much/longer/folder/text/than/before/"; };
  Run();
  EXPECT_TRUE(host.questions.empty());
  EXPECT_TRUE(fs::exists(folder / "out/a.jpg"));
}

TEST_F(BatchRunTest, VanishedFileIsAskedAbout) {
  WriteJpeg(folder / "in/a.jpg", 400, 300);
  host.onPump = [this](int) { fs::remove(folder / "in/a.jpg"); };
  Run();
  EXPECT_EQ(host.questionKinds, std::vector<QuestionKind>{QuestionKind::Vanished});
  EXPECT_EQ(host.memo.back(), text::kMemoVanished);
  EXPECT_EQ(host.statusTexts.back(), Format(text::kFinishedStatus, 0, 1, 0));
}

TEST_F(BatchRunTest, CropRefusedBeyondTheLargestCrop) {
  // Fixed size 1000:1 keeps the whole width of a 6201-pixel-wide picture, one more than allowed.
  host.size.fixedFirst = "1000";
  host.size.fixedSecond = "1";
  WriteJpeg(folder / "in/wide.jpg", 6201, 16);
  Run();
  EXPECT_EQ(host.questions, std::vector<std::string>{Format(text::kAskCrop, "", (host.input + "wide.jpg").c_str())});
  EXPECT_EQ(host.memo.back(), text::kMemoCrop);
  EXPECT_EQ(host.failureReasons, std::vector<std::string>{"6200px を超えるため処理できません（--no-size-limit で処理できます）"});

  // Without the limit, the same crop and a high-quality reduction of it are made.
  ScriptedHost unlimited;
  unlimited.input = host.input;
  unlimited.output = host.output;
  unlimited.size = host.size;
  unlimited.noSizeLimit = unlimited.reduce = true;
  unlimited.size.fixedFirst = "3100";
  unlimited.size.fixedSecond = "8";
  RunBatch(workspace, unlimited);
  EXPECT_TRUE(unlimited.questions.empty());
  EXPECT_EQ(JpegSize(folder / "out/wide.jpg"), std::make_pair(3100, 8));
  EXPECT_EQ(workspace.ErrorText, "") << "the high-quality reduction took it";
}

TEST_F(BatchRunTest, APictureIsHeldWholeOnlyWhenItIsSavedWholeOrTurned) {
  // 2400 x 1600 to VGA in every orientation, high quality and plain: the reduced picture is saved
  // upright, and no picture of the work grows anywhere near the decoded size (11.5 MB).
  host.reduce = true;
  host.size.row = kVga;
  for (int orientation = 1; orientation <= 8; ++orientation) {
    testing::JpegOptions options;
    options.orientation = orientation;
    WriteJpeg(folder / Format("in/%d.jpg", orientation), 2400, 1600, options);
  }
  for (const bool highQuality : {true, false}) {
    Workspace fresh;
    ScriptedHost h;
    h.input = host.input;
    h.output = folder / (highQuality ? "out/hq/" : "out/plain/");
    h.reduce = true;
    h.highQuality = highQuality;
    h.size.row = kVga;
    RunBatch(fresh, h);
    for (int orientation = 1; orientation <= 8; ++orientation)
      EXPECT_EQ(JpegSize(h.output + Format("%d.jpg", orientation)),
                orientation >= 5 ? std::make_pair(480, 640) : std::make_pair(640, 480));
    EXPECT_LT(fresh.WorkBitmap.Capacity() + fresh.ScratchBitmap.Capacity() + fresh.Planes.Bytes(), 2400u * 1600 * 3 / 4);
  }
}

// One file's work stops at once when its host cancels it, whatever it is doing, and uses nothing.
TEST(OneFileWork, CancelEndsTheWorkAtTheNextChance) {
  class CancellingHost : public FileWorkHost {
   public:
    bool CropToRatio() override { return true; }
    bool SkipSmall() override { return true; }
    bool Reduce() override { return reduce; }
    bool HighQuality() override { return highQuality; }
    void AddMemoLine(const std::string& line) override { lines.push_back(line); }
    void PumpEvents() override { ++pumps; }
    bool Cancelled() override { return pumps >= cancelAt; }
    bool reduce = true, highQuality = true;
    int pumps = 0, cancelAt = 0;
    std::vector<std::string> lines;
  };
  TestFolder folder;
  WriteJpeg(folder / "a.jpg", 1600, 1200);
  for (const auto& [reduce, highQuality] : {std::pair{true, true}, std::pair{true, false}, std::pair{false, true}}) {
    for (const int cancelAt : {1, 3}) {
      Workspace workspace;
      workspace.PumpSlice = {};
      CancellingHost host;
      host.reduce = reduce, host.highQuality = highQuality, host.cancelAt = cancelAt;
      EXPECT_EQ(DoFileWork(workspace, folder / "a.jpg", TargetSize{640, 480}, host).end, FileWorkEnd::Cancelled);
      EXPECT_EQ(host.pumps, cancelAt) << "no further chance is taken";
      EXPECT_FALSE(workspace.AbortRequested);
    }
  }
}

TEST_F(BatchRunTest, SaveFailureShowsTheSaveNoticeThenTheQuestion) {
  WriteJpeg(folder / "in/sub/a.jpg", 400, 300);
  WriteText(folder / "out/sub", "a file where the folder should be");
  Run();
  ASSERT_EQ(host.questionKinds, std::vector<QuestionKind>{QuestionKind::Save});
  EXPECT_EQ(host.questions[0], Format(text::kAskSave, (host.output + "sub/a.jpg").c_str()));
  ASSERT_EQ(host.notices.size(), 2u);
  EXPECT_EQ(host.notices[0].rfind("保存先フォルダを作成出来ません。", 0), 0u);
  EXPECT_EQ(host.memo.back(), text::kMemoSave);
}

TEST_F(BatchRunTest, OutputInsideTheInputIsNeverTakenUpInAnySpelling) {
  WriteJpeg(folder / "in/a.jpg", 400, 300);
  WriteJpeg(folder / "in/sub/b.jpg", 400, 300);
  ASSERT_EQ(::symlink((folder / "in/out").c_str(), (folder / "outlink").c_str()), 0);
  host.defaultAnswer = false;  // overwrite the outputs of the run before
  // The first run makes in/out; the later ones find it there, spelled in other ways.
  int runs = 0;
  for (const std::string out : {"in/out/", "in/out/", "in/./out", "in//out/", "in/sub/../out", "outlink"}) {
    host.output = folder / out;
    const RunSummary summary = Run();
    EXPECT_EQ(summary.SavedCount, 2) << out;
    // Counted as a subfolder of the input, as the folder statistics count it, once it is there.
    EXPECT_EQ(workspace.Counters.SubfolderCount, runs++ == 0 ? 1 : 2) << out;
    EXPECT_EQ(host.memo, (std::vector<std::string>{host.input + "a.jpg", host.input + "sub/b.jpg"})) << out;
  }
  EXPECT_EQ(testing::ListFilesBelow(folder / "in"),
            (std::vector<std::string>{"a.jpg", "out/a.jpg", "out/sub/b.jpg", "sub/b.jpg"}));
}

TEST_F(BatchRunTest, InputAsOutputIsRefusedBeforeAnythingIsRead) {
  WriteJpeg(folder / "in/a.jpg", 3000, 2000);
  host.output = host.input;
  host.answers = {false};
  const RunSummary summary = Run();
  EXPECT_TRUE(summary.outputIsInput);
  EXPECT_EQ(host.notices, std::vector<std::string>{text::kOutputIsInput});
  EXPECT_EQ(host.events, std::vector<std::string>{"notice"}) << "no running state";
  EXPECT_EQ(JpegSize(folder / "in/a.jpg"), std::make_pair(3000, 2000));
}

TEST(ComposeOutputPath, MirrorsTheTailUnderTheOutputFolderWithoutEverCuttingIt) {
  EXPECT_EQ(ComposeOutputPath("/p/in/1/a.jpg", "/p/in/", "/q/out/"), "/q/out/1/a.jpg");
  EXPECT_EQ(ComposeOutputPath("/p/in/1/a.jpg", "/p/in/", "/q/out"), "/q/out/1/a.jpg");
  // A dropped input folder has no trailing separator: the seam holds two, and stays so.
  EXPECT_EQ(ComposeOutputPath("/p/in/a.jpg", "/p/in", "/q/out/"), "/q/out//a.jpg");
  EXPECT_EQ(ComposeOutputPath("/写真/1組/IMG.JPG", "/写真/", "/出力/"), "/出力/1組/IMG.JPG");
  const std::string out = "/" + std::string(2040, 'o') + "/";
  EXPECT_EQ(ComposeOutputPath("/in/abcdefgh.jpg", "/in/", out), out + "abcdefgh.jpg");
}

}  // namespace
}  // namespace phototrim
