// What the last step of a save may replace: a file that appeared after the run looked, and a file
// that this run wrote itself (one file reached by two names: a linked folder, a case-folding disk).
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include "support/picture_files.h"
#include "support/scripted_host.h"
#include "support/test_folder.h"
#include "trim/format.h"
#include "trim/messages.h"
#include "trim/run/batch_run.h"
#include "trim/save/file_calls.h"

namespace phototrim {
namespace {

using testing::ScriptedHost;
using testing::TestFolder;
using Bytes = std::vector<std::uint8_t>;

constexpr int kVga = 12;  // VGA 640 x 480: 4:3 pictures keep their whole frame in the crop

struct GuardedRun {
  GuardedRun(const std::string& in, const std::string& out, int jobCount) : jobs(jobCount) {
    host.input = in;
    host.output = out;
    host.size.row = kVga;
    workspace.PumpSlice = {};
  }
  RunSummary Go() { return summary = RunBatch(workspace, host, jobs); }

  int jobs;
  ScriptedHost host;
  Workspace workspace;
  RunSummary summary;
};

// Another run saves the same picture name between this run's look and its rename: the file is
// asked about as an existing one; はい keeps the other file, いいえ replaces it as overwriting does.
TEST(CommitGuards, AFileThatAppearsBeforeTheRenameIsAskedAboutNotReplaced) {
  const Bytes theirs(2000, 0x3C);
  for (const int jobs : {1, 2}) {
    for (const bool stop : {true, false}) {
      SCOPED_TRACE("-j " + std::to_string(jobs) + (stop ? " はい" : " いいえ"));
      TestFolder folder;
      testing::WriteJpeg(folder / "in/a.jpg", 400, 300);
      GuardedRun run(folder / "in/", folder / "out/", jobs);
      FileCalls seam = SystemFileCalls();
      seam.rename = [&](int folderFd, const char* from, const char* to, RenameMode mode) {
        if (::access((folder / "out/a.jpg").c_str(), F_OK) != 0) testing::WriteBytes(folder / "out/a.jpg", theirs);
        return SystemFileCalls().rename(folderFd, from, to, mode);
      };
      run.workspace.Calls = &seam;
      run.host.answers = {stop};
      run.Go();
      ASSERT_EQ(run.host.questionKinds, std::vector<QuestionKind>{QuestionKind::ExistingFile});
      EXPECT_EQ(run.host.questions.front(), Format(text::kAskExisting, (folder / "out/a.jpg").c_str()));
      EXPECT_EQ(run.summary.aborted, stop);
      EXPECT_EQ(run.summary.SavedCount, stop ? 0 : 1);
      EXPECT_EQ(testing::ReadBytes(folder / "out/a.jpg") == theirs, stop);
      EXPECT_EQ(testing::ListFilesBelow(folder / "out"), std::vector<std::string>{"a.jpg"});
    }
  }
}

// Names at the output that lead nowhere or to a folder stand there all the same.
TEST(CommitGuards, LinksAtOutputNamesAreExistingFiles) {
  for (const char* linkTarget : {"nowhere.jpg", "elsewhere"}) {
    for (const int jobs : {1, 2}) {
      SCOPED_TRACE(std::string(linkTarget) + " -j " + std::to_string(jobs));
      TestFolder folder;
      testing::WriteJpeg(folder / "in/a.jpg", 400, 300);
      testing::MakeFolders(folder / "out/elsewhere");
      ASSERT_EQ(::symlink(linkTarget, (folder / "out/a.jpg").c_str()), 0);
      GuardedRun run(folder / "in/", folder / "out/", jobs);
      run.host.answers = {true};
      run.Go();
      EXPECT_EQ(run.host.questionKinds, std::vector<QuestionKind>{QuestionKind::ExistingFile});
      EXPECT_EQ(run.summary.SavedCount, 0);
      struct stat st {};
      EXPECT_EQ(::lstat((folder / "out/a.jpg").c_str(), &st), 0);
      EXPECT_TRUE(S_ISLNK(st.st_mode));
    }
  }
}

// Mounts a new FAT32 image at `mountPoint` with fusefat (no kernel module needed); false where it cannot.
bool MountFat(const std::string& image, const std::string& mountPoint) {
  if (::access("/dev/fuse", R_OK | W_OK) != 0) return false;
  const std::string make = "mkfs.vfat -F 32 -C '" + image + "' 40000 >/dev/null 2>&1";
  const std::string mount = "fusefat -o rw+ '" + image + "' '" + mountPoint + "' >/dev/null 2>&1";
  testing::MakeFolders(mountPoint);
  return std::system(make.c_str()) == 0 && std::system(mount.c_str()) == 0;
}

void Unmount(const std::string& mountPoint) {
  (void)!std::system(("fusermount -u '" + mountPoint + "' >/dev/null 2>&1").c_str());
}

// Two inputs whose outputs are one file: with overwriting allowed, the second is a save failure
// with its reason, and the first picture stays. Cases: a folder of the output linked to another
// (one inode by two paths), and names that differ only in letter case on a FAT32 memory card.
TEST(CommitGuards, NoFileOfTheRunIsReplacedByALaterOneOfTheSameRun) {
  for (const bool fat : {false, true}) {
    for (const int jobs : {1, 2}) {
      SCOPED_TRACE(std::string(fat ? "FAT32" : "linked folder") + " -j " + std::to_string(jobs));
      TestFolder folder;
      const std::string out = folder / "out";
      if (fat) {
        testing::WriteJpeg(folder / "in/DSC.JPG", 400, 300);
        testing::WriteJpeg(folder / "in/dsc.jpg", 480, 360);
        if (!MountFat(folder / "card.img", out)) GTEST_SKIP() << "fusefat cannot mount here";
      } else {
        testing::WriteJpeg(folder / "in/a/x.jpg", 400, 300);
        testing::WriteJpeg(folder / "in/b/x.jpg", 480, 360);
        testing::MakeFolders(out + "/a");
        ASSERT_EQ(::symlink("a", (out + "/b").c_str()), 0);
      }
      GuardedRun run(folder / "in/", out + "/", jobs);
      run.host.answers = {false, false};  // いいえ: overwrite, then go on after the failure
      run.Go();
      const std::string first = out + (fat ? "/DSC.JPG" : "/a/x.jpg");
      // The first input's picture (400 x 300, saved first) is the one that stands.
      const std::pair<int, int> kept = testing::JpegSize(first);
      if (fat) Unmount(out);
      EXPECT_EQ(kept, std::make_pair(400, 300));
      EXPECT_EQ(run.summary.SavedCount, 1);
      EXPECT_EQ(run.summary.ErrorCount, 1);
      EXPECT_EQ(run.host.questionKinds, (std::vector<QuestionKind>{QuestionKind::ExistingFile, QuestionKind::Save}));
      EXPECT_EQ(run.host.notices.front(), Format(text::kSaveWriteFailedBecause, text::kReasonWouldReplaceOwnOutput));
    }
  }
}

}  // namespace
}  // namespace phototrim
