// The write path of an output file, through the seam of its system calls: each call failing in
// turn, and the order that makes a saved picture durable before a run counts it.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "platform/file_system.h"
#include "support/picture_files.h"
#include "support/scripted_host.h"
#include "support/test_folder.h"
#include "trim/format.h"
#include "trim/messages.h"
#include "trim/run/batch_run.h"
#include "trim/save/jpeg_save.h"

namespace phototrim {
namespace {

using testing::TestFolder;

// The system's calls, each written down ("write 5", "flush 5", "rename", "folder /x") before it is
// made; the `failing`-th call (from 0) of kind `failKind` fails with `error` instead (0: a write
// that makes no progress).
struct RecordingCalls {
  std::vector<std::string> log;
  std::string failKind;
  int failing = -1, error = 0;
  std::map<std::string, int> seen;

  bool Fails(const std::string& kind, const std::string& entry) {
    log.push_back(kind + entry);
    errno = error;
    const int index = seen[kind]++;
    return kind == failKind && index == failing;
  }
  FileCalls Calls() {
    const FileCalls& system = SystemFileCalls();
    FileCalls calls = system;
    calls.write = [this, &system](int fd, const void* data, std::size_t size) -> ssize_t {
      return Fails("write", " " + std::to_string(fd)) ? (error == 0 ? 0 : -1) : system.write(fd, data, size);
    };
    calls.flushFile = [this, &system](int fd) { return Fails("flush", " " + std::to_string(fd)) ? -1 : system.flushFile(fd); };
    calls.close = [this, &system](int fd) { return Fails("close", " " + std::to_string(fd)) ? -1 : system.close(fd); };
    calls.rename = [this, &system](int folder, const char* from, const char* to, RenameMode mode) {
      return Fails("rename", "") ? -1 : system.rename(folder, from, to, mode);
    };
    calls.flushFolder = [this, &system](const std::string& folder) {
      return Fails("folder", " " + folder) ? -1 : system.flushFolder(folder);
    };
    return calls;
  }
  int Count(const std::string& kind) const { return seen.count(kind) ? seen.at(kind) : 0; }
};

class WritePath : public ::testing::Test {
 protected:
  void TearDown() override { SetCurrentFolder(start_); }

  // Saves to `path` through `calls`, directly or from a picture encoded ahead.
  SaveResult Save(const std::string& path, RecordingCalls& calls, bool ahead) {
    if (picture_.Width() != 400) {
      testing::FillRandom(picture_, 400, 300, 9);  // about 250 KB at quality 100: several writes
      encoded_.Encode(picture_, {}, 100);
    }
    const FileCalls seam = calls.Calls();
    notices_.clear();
    SaveJpegHost host{[] { return 100; }, [this](const std::string& text) { notices_.push_back(text); }};
    host.calls = &seam;
    host.reason = &reason_;
    return ahead ? SaveEncodedJpeg(path, encoded_, host) : SaveJpeg(path, picture_, {}, host);
  }

  const std::string start_ = CurrentFolder();
  TestFolder folder_;
  Bitmap picture_;
  EncodedJpeg encoded_;
  std::vector<std::string> notices_;
  std::string reason_;
};

TEST_F(WritePath, EachFailingCallLeavesTheOldPictureAndNoTemporaryFileAndSaysWhy) {
  const struct {
    const char* kind;
    int which;  // -1: the last call of that kind
    int error;
  } rows[] = {{"write", 0, EIO}, {"write", -1, ENOSPC}, {"write", -1, 0}, {"flush", 0, EIO}, {"close", 0, EIO},
                {"rename", 0, EXDEV}, {"folder", 0, EIO}};
  const std::vector<std::uint8_t> old(3000, 0x5A);
  for (const bool ahead : {false, true}) {
    RecordingCalls clean;
    ASSERT_EQ(Save(folder_ / "clean.jpg", clean, ahead), SaveResult::Ok);
    ASSERT_GE(clean.Count("write"), 3);
    for (const auto& row : rows) {
      SCOPED_TRACE(std::string(row.kind) + " " + std::to_string(row.which) + (ahead ? " ahead" : " direct"));
      testing::WriteBytes(folder_ / "out/a.jpg", old);
      RecordingCalls calls;
      calls.failKind = row.kind;
      calls.failing = row.which >= 0 ? row.which : clean.Count(row.kind) - 1;
      calls.error = row.error;
      EXPECT_EQ(Save(folder_ / "out/a.jpg", calls, ahead), SaveResult::WriteFailed);
      const std::string reason = std::strerror(row.error == 0 ? ENOSPC : row.error);  // no progress: a full disk
      EXPECT_EQ(notices_, std::vector<std::string>{Format(text::kSaveWriteFailedBecause, reason.c_str())});
      EXPECT_EQ(reason_, reason);
      // Only the folder flush fails after the new picture has its name.
      if (std::string(row.kind) != "folder") {
        EXPECT_EQ(testing::ReadBytes(folder_ / "out/a.jpg"), old);
      }
      EXPECT_EQ(testing::ListFilesBelow(folder_ / "out"), std::vector<std::string>{"a.jpg"});
    }
  }
}

TEST_F(WritePath, TheDataIsFlushedBeforeTheRenameAndTheFolderAfterIt) {
  for (const bool ahead : {false, true}) {
    RecordingCalls calls;
    const std::string made = folder_ / (ahead ? "made-ahead" : "made");
    ASSERT_EQ(Save(made + "/a.jpg", calls, ahead), SaveResult::Ok);
    const auto flush = std::find_if(calls.log.begin(), calls.log.end(), [](auto& e) { return e.rfind("flush", 0) == 0; });
    ASSERT_NE(flush, calls.log.end());
    // The flush comes after the last write, of the same file, then the close (which may still
    // report a write error) and only then the rename; a save on its own flushes the folder with
    // the new name (and the one that got the new folder) last.
    EXPECT_EQ(*(flush - 1), "write" + flush->substr(5));
    EXPECT_EQ(std::vector<std::string>(flush + 1, calls.log.end()),
              (std::vector<std::string>{"close" + flush->substr(5), "rename", "folder " + folder_.Path(), "folder " + made}));
  }
}

TEST(WritePathOfARun, EveryOutputFolderIsFlushedOnceBeforeTheFinalText) {
  TestFolder folder;
  for (const char* name : {"in/a.jpg", "in/sub/b.jpg", "in/sub/c.jpg"}) testing::WriteJpeg(folder / name, 400, 300);
  for (const int jobs : {1, 2}) {
    testing::ScriptedHost host;
    host.input = folder / "in/";
    const std::string out = folder / ("out" + std::to_string(jobs));
    host.output = out + "/";
    FileCalls seam = SystemFileCalls();
    seam.flushFolder = [&host](const std::string& flushed) {
      host.events.push_back("folder " + flushed);
      return SystemFileCalls().flushFolder(flushed);
    };
    Workspace workspace;
    workspace.Calls = &seam;
    RunBatch(workspace, host, jobs);
    EXPECT_EQ(host.events, (std::vector<std::string>{"running", "clear", "folder " + folder.Path(), "folder " + out,
                                                     "folder " + out + "/sub", "notice", "idle"}));
  }
}

}  // namespace
}  // namespace phototrim
