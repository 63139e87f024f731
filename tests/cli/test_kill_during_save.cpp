// phototrim-batch killed with SIGKILL while it writes a picture: each target stays its old or its
// new picture, a killed process leaves one temporary file at most, and the next run removes it.
// The kills are aimed through inotify at the writes into the temporary file, so they land in a
// save however fast the disk is (on a tmpfs, flushing takes no time at all).
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <poll.h>
#include <random>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/picture_files.h"
#include "support/test_folder.h"
#include "trim/format.h"

namespace phototrim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::TestFolder;
namespace fs = std::filesystem;

constexpr int kPictures = 6;

// One job: the picture is encoded straight into its temporary file, in many writes.
pid_t StartBatch(const std::string& in, const std::string& out) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::freopen("/dev/null", "w", stdout);
    std::freopen("/dev/null", "w", stderr);
    ::execl(PHOTOTRIM_BATCH_EXE, PHOTOTRIM_BATCH_EXE, "--overwrite", "--no-progress", "-j", "1", "--quality", "95",
            in.c_str(), out.c_str(), nullptr);
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

// Kills `pid` at the `nth` event (from 0: the creation, then each write) on one of its temporary
// files in the watched folder; returns early if it ends first.
void KillAtWrite(int watch, pid_t pid, int nth) {
  const std::string ours = ".phototrim-" + std::to_string(pid) + "-";
  alignas(inotify_event) char buffer[16 * 1024];
  int seen = 0;
  for (;;) {
    pollfd ready{watch, POLLIN, 0};
    // A guard against a run that never writes, not a measurement: a run takes a second or so.
    if (::poll(&ready, 1, 500) == 0 && ::waitpid(pid, nullptr, WNOHANG) != 0) return;
    const ssize_t got = ::read(watch, buffer, sizeof buffer);
    for (ssize_t at = 0; at < got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      if (event->len == 0 || std::string(event->name).rfind(ours, 0) != 0 || seen++ < nth) continue;
      ::kill(pid, SIGKILL);
      return;
    }
  }
}

TEST(KillDuringSave, TargetsAreOldOrNewAndTheNextRunRemovesTheLeftover) {
  TestFolder folder;
  const std::string in = folder / "in", out = folder / "out";
  std::vector<std::string> names;
  for (int i = 0; i < kPictures; ++i) {
    names.push_back(Format("%02d.jpg", i));
    testing::WriteJpeg(in + "/" + names.back(), 1600, 1200, {}, static_cast<std::uint32_t>(i + 1));
  }
  // The new pictures, byte for byte (the encoder is deterministic).
  const int reference = WaitFor(StartBatch(in, folder / "new"));
  ASSERT_TRUE(WIFEXITED(reference) && WEXITSTATUS(reference) == 0);
  std::vector<Bytes> newBytes, oldBytes;
  for (int i = 0; i < kPictures; ++i) {
    newBytes.push_back(testing::ReadBytes(folder / "new/" + names[i]));
    Bitmap old;
    testing::FillPattern(old, 64, 48, static_cast<std::uint32_t>(100 + i));
    oldBytes.push_back(testing::EncodeJpeg(old));
  }
  testing::MakeFolders(out);
  const int watch = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  ASSERT_GE(watch, 0);
  ASSERT_GE(::inotify_add_watch(watch, out.c_str(), IN_CREATE | IN_MODIFY), 0);

  std::mt19937 random(20240611);
  int kills = 0, killsDuringASave = 0;
  while (killsDuringASave < 8 && kills < 40) {
    for (int i = 0; i < kPictures; ++i) testing::WriteBytes(out + "/" + names[i], oldBytes[i]);
    const pid_t pid = StartBatch(in, out);
    KillAtWrite(watch, pid, std::uniform_int_distribution<int>(0, 40)(random));
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
  ::close(watch);
  EXPECT_GE(killsDuringASave, 8) << "too few kills landed during a save to show anything";
  RecordProperty("kills", kills);

  // The next run in the folder goes through and takes every leftover of the killed ones away.
  const int last = WaitFor(StartBatch(in, out));
  EXPECT_TRUE(WIFEXITED(last) && WEXITSTATUS(last) == 0);
  EXPECT_TRUE(TemporaryFiles(out).empty());
  for (int i = 0; i < kPictures; ++i) EXPECT_TRUE(testing::ReadBytes(out + "/" + names[i]) == newBytes[i]) << names[i];
}

}  // namespace
}  // namespace phototrim
