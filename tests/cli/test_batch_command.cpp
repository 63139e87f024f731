// phototrim-batch as a user runs it: output streams, answers to the questions, exit statuses, Ctrl-C.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

#include "cli/batch_command.h"
#include "cli/options.h"
#include "support/picture_files.h"
#include "support/test_folder.h"
#include "trim/format.h"
#include "trim/messages.h"

namespace phototrim::cli {
namespace {

using testing::JpegSize;
using testing::TestFolder;
using testing::WriteJpeg;
using testing::WriteText;
namespace fs = std::filesystem;

using Result = CommandResult;

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\n";
  return text;
}

TEST(BatchCommand, FinishedRunPrintsTheMemoAndTheFinalText) {
  TestFolder folder;
  WriteJpeg(folder / "photos/a.jpg", 1280, 960);
  WriteJpeg(folder / "photos/trip/b.JPG", 960, 1280);
  // Relative folders, as typed in a terminal.
  const Result r = RunBatchCommand(folder, {"-s", "VGA", "--no-progress", "photos/", "prints"});
  EXPECT_EQ(r.status, kExitFinished) << r.err;
  const std::string in = folder / "photos/";
  EXPECT_EQ(r.out, Lines({in + "a.jpg", in + "trip/b.JPG", Format(text::kFinishedStatus, 2, 0, 0)}));
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(JpegSize(folder / "prints/a.jpg"), std::make_pair(640, 480));
  EXPECT_EQ(JpegSize(folder / "prints/trip/b.JPG"), std::make_pair(480, 640));
}

TEST(BatchCommand, FailuresAreCountedAndTheRunGoesOn) {
  TestFolder folder;
  WriteText(folder / "in/broken.jpg", "no picture here");
  WriteJpeg(folder / "in/good.jpg", 800, 600);
  const Result r = RunBatchCommand(folder, {"--quality", "70", "in", "out"});
  EXPECT_EQ(r.status, kExitFinishedWithErrors);
  EXPECT_NE(r.out.find(std::string(text::kMemoDecode) + "\n"), std::string::npos);
  EXPECT_NE(r.err.find(Format(text::kAskDecode, (folder / "in/broken.jpg").c_str())), std::string::npos);
  EXPECT_NE(r.err.find("いいえ"), std::string::npos);
  EXPECT_TRUE(fs::exists(folder / "out/good.jpg"));

  const Result stopped = RunBatchCommand(folder, {"--stop-on-error", "--overwrite", "in", "out2"});
  EXPECT_EQ(stopped.status, kExitStopped);
  EXPECT_NE(stopped.out.find(Format(text::kAbortedStatus, 0, 0, 0)), std::string::npos);
  EXPECT_FALSE(fs::exists(folder / "out2/good.jpg"));
}

TEST(BatchCommand, ExistingOutputStopsUnlessOverwriting) {
  TestFolder folder;
  WriteJpeg(folder / "in/a.jpg", 800, 600);
  WriteJpeg(folder / "in/b.jpg", 800, 600);
  ASSERT_EQ(RunBatchCommand(folder, {"in", "out"}).status, kExitFinished);
  const Result again = RunBatchCommand(folder, {"in", "out"});
  EXPECT_EQ(again.status, kExitStopped);
  EXPECT_NE(again.err.find(Format(text::kAskExisting, (folder / "out/a.jpg").c_str())), std::string::npos);
  const Result overwrite = RunBatchCommand(folder, {"--overwrite", "in", "out"});
  EXPECT_EQ(overwrite.status, kExitFinished);
  EXPECT_NE(overwrite.out.find(Format(text::kFinishedStatus, 2, 0, 0)), std::string::npos);
}

TEST(BatchCommand, RefusedRunsAndUsageErrors) {
  TestFolder folder;
  testing::MakeFolders(folder / "empty");
  const Result refused = RunBatchCommand(folder, {"empty", "out"});
  EXPECT_EQ(refused.status, kExitRefused);
  EXPECT_EQ(refused.err, std::string(text::kNoJpegFiles) + "\n");
  EXPECT_EQ(refused.out, "");

  // A folder that cannot be entered is refused before anything is collected, with the system's reason.
  WriteText(folder / "file", "");
  for (const char* input : {"missing", "file"}) {
    const Result unusable = RunBatchCommand(folder, {input, "out"});
    EXPECT_EQ(unusable.status, kExitRefused);
    EXPECT_EQ(unusable.err.rfind("入力フォルダの指定が無効か使用不能です。\n" + folder / input + "/: ", 0), 0u)
        << unusable.err;
  }

  // An empty folder text is no folder (it used to mean the whole file system).
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--size", "B5", "in", "out"}, {"", "out"}, {"in", ""}}) {
    const Result usage = RunBatchCommand(folder, args);
    EXPECT_EQ(usage.status, kExitUsage);
    EXPECT_EQ(std::count(usage.err.begin(), usage.err.end(), '\n'), 2) << usage.err;
    EXPECT_NE(usage.err.find("--help"), std::string::npos);
  }

  const Result help = RunBatchCommand(folder, {"--help"});
  EXPECT_EQ(help.status, kExitFinished);
  EXPECT_EQ(help.out.rfind("使い方: phototrim-batch", 0), 0u);
  EXPECT_EQ(RunBatchCommand(folder, {"--version"}).out.rfind("phototrim-batch ", 0), 0u);
  const std::string forced = RunBatchCommand(folder, {"--version"}, "", "PHOTOTRIM_SIMD=scalar").out;
  EXPECT_NE(forced.find("\n縮小の命令セット: scalar\n"), std::string::npos) << forced;
}

TEST(BatchCommand, QuietPrintsOnlyTheFinalText) {
  TestFolder folder;
  WriteJpeg(folder / "in/a.jpg", 800, 600);
  WriteText(folder / "in/b.jpg", "");
  const Result r = RunBatchCommand(folder, {"--quiet", "in", "out"});
  EXPECT_EQ(r.status, kExitFinishedWithErrors);
  EXPECT_EQ(r.out, Lines({Format(text::kFinishedStatus, 1, 1, 0)}));
}

TEST(BatchCommand, ProgressBarGoesToStderrOnly) {
  TestFolder folder;
  WriteJpeg(folder / "in/a.jpg", 800, 600);
  const Result r = RunBatchCommand(folder, {"--progress", "in", "out"});
  EXPECT_EQ(r.status, kExitFinished);
  EXPECT_NE(r.err.find("0/1"), std::string::npos);
  EXPECT_EQ(r.out.find('\r'), std::string::npos);
}

class StopSignal : public ::testing::TestWithParam<int> {};

TEST_P(StopSignal, StopsTheRunLikeTheAbortButton) {
  TestFolder folder;
  for (int i = 0; i < 40; ++i) WriteJpeg(folder / Format("in/%02d.jpg", i), 1600, 1200);
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(pipeFds[1], STDOUT_FILENO);
    ::close(pipeFds[0]);
    const std::string in = folder / "in", out = folder / "out";
    ::execl(PHOTOTRIM_BATCH_EXE, PHOTOTRIM_BATCH_EXE, "--no-progress", in.c_str(), out.c_str(), nullptr);
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  FILE* stream = ::fdopen(pipeFds[0], "r");
  char line[4096];
  ASSERT_NE(std::fgets(line, sizeof line, stream), nullptr);  // the first file has started
  ::kill(child, GetParam());
  std::string rest;
  while (std::fgets(line, sizeof line, stream) != nullptr) rest += line;
  std::fclose(stream);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), kExitStopped);
  EXPECT_NE(rest.find(std::string(text::kMemoAborted) + "\n"), std::string::npos);
  EXPECT_NE(rest.find("作業を中断しました。"), std::string::npos);
  // Only complete pictures are left behind, and no temporary files (if the first save was reached).
  if (!fs::exists(folder / "out")) return;
  for (const auto& name : testing::ListFilesBelow(folder / "out")) {
    EXPECT_NE(name.front(), '.') << name;
    EXPECT_GT(JpegSize(folder / ("out/" + name)).first, 0) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(CtrlCTermAndHangUp, StopSignal, ::testing::Values(SIGINT, SIGTERM, SIGHUP));

}  // namespace
}  // namespace phototrim::cli
