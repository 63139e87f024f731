// What a run's saves may replace, what their files allow, and what they need of the system.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "platform/file_system.h"
#include "support/child_process.h"
#include "support/picture_files.h"
#include "support/scripted_host.h"
#include "support/test_folder.h"
#include "trim/format.h"
#include "trim/messages.h"
#include "trim/run/batch_run.h"

namespace phototrim {
namespace {

using testing::TestFolder;

struct GuardedRun {
  GuardedRun(const std::string& in, const std::string& out, int jobCount, const FileCalls* calls = nullptr)
      : jobs(jobCount) {
    host.input = in;
    host.output = out;
    host.size.row = 12;  // VGA: 4:3 pictures keep their whole frame
    workspace.PumpSlice = {};
    workspace.Calls = calls;
  }
  RunSummary Go() { return summary = RunBatch(workspace, host, jobs); }
  int jobs;
  testing::ScriptedHost host;
  Workspace workspace;
  RunSummary summary;
};

// Something at the name that the run did not see when it looked (another run's picture, saved
// just before the rename), or that leads nowhere or to a folder: asked about, and はい keeps it.
TEST(CommitGuards, WhatStandsAtTheNameIsAskedAboutAndKept) {
  for (const char* standing : {"file", "nowhere.jpg", "elsewhere"}) {
    for (const int jobs : {1, 2}) {
      SCOPED_TRACE(std::string(standing) + " -j " + std::to_string(jobs));
      TestFolder folder;
      testing::WriteJpeg(folder / "in/a.jpg", 400, 300);
      testing::MakeFolders(folder / "out/elsewhere");
      const std::string name = folder / "out/a.jpg";
      FileCalls seam = SystemFileCalls();
      seam.rename = [&](int at, const char* from, const char* to, RenameMode mode) {
        if (::access(name.c_str(), F_OK) != 0 && std::string(standing) == "file") testing::WriteText(name, "theirs");
        return SystemFileCalls().rename(at, from, to, mode);
      };
      if (std::string(standing) != "file") {
        ASSERT_EQ(::symlink(standing, name.c_str()), 0);
      }
      GuardedRun run(folder / "in/", folder / "out/", jobs, &seam);
      run.host.answers = {true};
      run.Go();
      ASSERT_EQ(run.host.questionKinds, std::vector<QuestionKind>{QuestionKind::ExistingFile});
      EXPECT_EQ(run.host.questions[0], Format(text::kAskExisting, name.c_str()));
      EXPECT_EQ(run.summary.SavedCount, 0);
      struct stat st {};
      ASSERT_EQ(::lstat(name.c_str(), &st), 0);
      EXPECT_EQ(S_ISLNK(st.st_mode), std::string(standing) != "file");
      EXPECT_LE(testing::ListFilesBelow(folder / "out").size(), 1u);  // no temporary file left
    }
  }
}

// A new FAT32 image at `mountPoint` through FUSE (no kernel module); false where it cannot be had.
bool MountFat(const std::string& image, const std::string& mountPoint) {
  testing::MakeFolders(mountPoint);
  return ::access("/dev/fuse", R_OK | W_OK) == 0 &&
         std::system(("mkfs.vfat -F 32 -C '" + image + "' 40000 >/dev/null 2>&1").c_str()) == 0 &&
         std::system(("fusefat -o rw+ '" + image + "' '" + mountPoint + "' >/dev/null 2>&1").c_str()) == 0;
}

// Two inputs whose outputs are one file, with overwriting allowed: through a linked folder (one
// inode), and names that differ in letter case on a FAT32 card. The second is a save failure.
TEST(CommitGuards, NoFileOfTheRunIsReplacedByALaterOneOfTheSameRun) {
  for (const bool fat : {false, true}) {
    for (const int jobs : {1, 2}) {
      SCOPED_TRACE(std::string(fat ? "FAT32" : "linked folder") + " -j " + std::to_string(jobs));
      TestFolder folder;
      const std::string out = folder / "out";
      testing::WriteJpeg(folder / (fat ? "in/DSC.JPG" : "in/a/x.jpg"), 400, 300);
      testing::WriteJpeg(folder / (fat ? "in/dsc.jpg" : "in/b/x.jpg"), 480, 360);
      if (fat && !MountFat(folder / "card.img", out)) GTEST_SKIP() << "fusefat cannot mount here";
      if (!fat) {
        testing::MakeFolders(out + "/a");
        ASSERT_EQ(::symlink("a", (out + "/b").c_str()), 0);
      }
      GuardedRun run(folder / "in/", out + "/", jobs);
      run.host.answers = {false, false};  // いいえ: overwrite, then go on after the failure
      run.Go();
      const std::pair<int, int> kept = testing::JpegSize(out + (fat ? "/DSC.JPG" : "/a/x.jpg"));
      if (fat) (void)!std::system(("fusermount -u '" + out + "'").c_str());
      EXPECT_EQ(kept, std::make_pair(400, 300));  // the first input's picture
      EXPECT_EQ(run.summary.SavedCount, 1);
      EXPECT_EQ(run.summary.ErrorCount, 1);
      EXPECT_EQ(run.host.questionKinds, (std::vector<QuestionKind>{QuestionKind::ExistingFile, QuestionKind::Save}));
      EXPECT_EQ(run.host.notices[0], Format(text::kSaveWriteFailedBecause, text::kReasonWouldReplaceOwnOutput));
    }
  }
}

// New outputs allow no more than their inputs; a folder flush that fails ends the run with an error.
TEST(CommitGuards, OutputsKeepTheirInputsPrivacyAndAFailedFolderFlushIsAnError) {
  const mode_t oldMask = ::umask(022);
  const std::pair<mode_t, mode_t> modes[] = {{0600, 0600}, {0640, 0640}, {0604, 0604}, {0666, 0644}, {0400, 0600}};
  for (const int jobs : {1, 2}) {
    TestFolder folder;
    for (const auto& [input, output] : modes) {
      testing::WriteJpeg(folder / Format("in/%o.jpg", input), 400, 300);
      ASSERT_EQ(::chmod((folder / Format("in/%o.jpg", input)).c_str(), input), 0);
    }
    FileCalls seam = SystemFileCalls();
    seam.flushFolder = [&](const std::string& flushed) {
      return flushed == folder / "out" ? (errno = EIO, -1) : SystemFileCalls().flushFolder(flushed);
    };
    GuardedRun run(folder / "in/", folder / "out/", jobs, &seam);
    run.Go();
    EXPECT_EQ(run.summary.SavedCount, 5);
    EXPECT_EQ(run.summary.ErrorCount, 1);
    EXPECT_EQ(run.host.failureReasons, std::vector<std::string>{folder / "out: " + std::strerror(EIO)});
    for (const auto& [input, output] : modes) {
      struct stat st {};
      ASSERT_EQ(::stat((folder / Format("out/%o.jpg", input)).c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 0777, output) << "-j " << jobs << ", input " << std::oct << input;
    }
  }
  ::umask(oldMask);
}

// Without memory files (old kernels, sandboxes, no descriptors left), two jobs save what one does.
TEST(CommitGuards, TwoJobsWithoutMemoryFilesSaveWhatOneJobSaves) {
  TestFolder folder;
  for (int i = 0; i < 4; ++i) testing::WriteJpeg(folder / Format("in/%d.jpg", i), 800, 600, {}, i + 1);
  ASSERT_EQ(GuardedRun(folder / "in/", folder / "one/", 1).Go().SavedCount, 4);
  for (const int error : {ENOSYS, EPERM, EMFILE}) {
    const std::string out = folder / Format("two%d/", error);
    const testing::ChildResult child = testing::RunInChild([&] {
      // A seccomp filter, as a sandbox sets one: memfd_create fails with `error`.
      sock_filter filter[] = {
          BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
          BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_memfd_create, 0, 1),
          BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | static_cast<unsigned>(error)),
          BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      };
      const sock_fprog program{4, filter};
      if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
        ::_exit(testing::kChildCannotSetUp);
      EXPECT_EQ(GuardedRun(folder / "in/", out, 2).Go().SavedCount, 4);
    });
    if (child.CouldNotSetUp()) GTEST_SKIP() << "no seccomp filter can be set here";
    EXPECT_TRUE(child.Passed()) << std::strerror(error) << ": " << child.Describe();
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(testing::ReadBytes(out + Format("%d.jpg", i)), testing::ReadBytes(folder / Format("one/%d.jpg", i)));
  }
}

// Relative folders are taken against the current folder of the start, whatever a host enters later.
TEST(CommitGuards, RelativeFoldersMeanWhatTheyMeantAtTheStart) {
  TestFolder folder;
  for (const char* name : {"in/a.jpg", "in/b.jpg"}) testing::WriteJpeg(folder / name, 400, 300);
  testing::MakeFolders(folder / "elsewhere");
  const std::string start = CurrentFolder();
  ASSERT_TRUE(SetCurrentFolder(folder.Path()));
  GuardedRun run("in", "out", 1);
  run.host.onPump = [&](int) { SetCurrentFolder(folder / "elsewhere"); };  // as the window's folder commands do
  run.Go();
  SetCurrentFolder(start);
  EXPECT_EQ(run.summary.SavedCount, 2);
  EXPECT_EQ(testing::ListFilesBelow(folder / "out"), (std::vector<std::string>{"a.jpg", "b.jpg"}));
}

}  // namespace
}  // namespace phototrim
