// phototrim-batch killed with SIGKILL at random moments: each target stays its old or its new
// picture, a killed process leaves one temporary file at most, and the next run removes it.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "support/picture_files.h"
#include "support/test_folder.h"
#include "trim/format.h"

namespace phototrim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::TestFolder;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kPictures = 6;

pid_t StartBatch(const std::string& in, const std::string& out) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::freopen("/dev/null", "w", stdout);
    std::freopen("/dev/null", "w", stderr);
    ::execl(PHOTOTRIM_BATCH_EXE, PHOTOTRIM_BATCH_EXE, "--overwrite", "--no-progress", "--quality", "95", in.c_str(),
            out.c_str(), nullptr);
    ::_exit(127);
  }
  return pid;
}

int WaitFor(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return status;
}

// Our temporary files in `folder`, as names.
std::vector<std::string> TemporaryFiles(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(".phototrim-", 0) == 0) names.push_back(name);
  }
  return names;
}

TEST(KillDuringSave, TargetsAreOldOrNewAndTheNextRunRemovesTheLeftover) {
  TestFolder folder;
  const std::string in = folder / "in", out = folder / "out";
  std::vector<std::string> names;
  for (int i = 0; i < kPictures; ++i) {
    names.push_back(Format("%02d.jpg", i));
    testing::WriteJpeg(in + "/" + names.back(), 1600, 1200, {}, static_cast<std::uint32_t>(i + 1));
  }
  // The new pictures, byte for byte (the encoder is deterministic), and how long a whole run takes.
  const Clock::time_point start = Clock::now();
  const int reference = WaitFor(StartBatch(in, folder / "new"));
  const auto wholeRun = Clock::now() - start;
  ASSERT_TRUE(WIFEXITED(reference) && WEXITSTATUS(reference) == 0);
  std::vector<Bytes> newBytes, oldBytes;
  for (int i = 0; i < kPictures; ++i) {
    newBytes.push_back(testing::ReadBytes(folder / "new/" + names[i]));
    Bitmap old;
    testing::FillPattern(old, 64, 48, static_cast<std::uint32_t>(100 + i));
    oldBytes.push_back(testing::EncodeJpeg(old));
  }

  std::mt19937 random(20240611);
  int killsDuringASave = 0, kills = 0;
  // Random moments over a whole run, until several have landed while a file was being written.
  while ((killsDuringASave < 4 || kills < 10) && kills < 60) {
    for (int i = 0; i < kPictures; ++i) testing::WriteBytes(out + "/" + names[i], oldBytes[i]);
    const pid_t pid = StartBatch(in, out);
    std::this_thread::sleep_for(std::uniform_real_distribution<double>(0, 1)(random) * wholeRun);
    ::kill(pid, SIGKILL);
    WaitFor(pid);
    ++kills;
    for (int i = 0; i < kPictures; ++i) {
      const Bytes now = testing::ReadBytes(out + "/" + names[i]);
      EXPECT_TRUE(now == oldBytes[i] || now == newBytes[i]) << names[i] << " is neither old nor new after kill " << kills;
    }
    // Leftovers of earlier kills may wait for a run that reaches its first save; this one left one at most.
    const std::string prefix = ".phototrim-" + std::to_string(pid) + "-";
    int ofThisKill = 0;
    for (const std::string& name : TemporaryFiles(out)) ofThisKill += name.rfind(prefix, 0) == 0 ? 1 : 0;
    EXPECT_LE(ofThisKill, 1);
    killsDuringASave += ofThisKill;
  }
  EXPECT_GE(killsDuringASave, 4) << "too few kills landed during a save to show anything";
  RecordProperty("kills", kills);
  RecordProperty("kills_during_a_save", killsDuringASave);

  // The next run in the folder goes through and takes every leftover of the killed ones away.
  const int last = WaitFor(StartBatch(in, out));
  EXPECT_TRUE(WIFEXITED(last) && WEXITSTATUS(last) == 0);
  EXPECT_TRUE(TemporaryFiles(out).empty());
  for (int i = 0; i < kPictures; ++i) EXPECT_TRUE(testing::ReadBytes(out + "/" + names[i]) == newBytes[i]) << names[i];
}

}  // namespace
}  // namespace phototrim
