// Faults around a run: full and read-only disks, folders that go away or are files, files replaced
// under the run, permissions, long and non-UTF-8 names, input as output, and the leftovers of a
// killed save. Faults that need mounts or another user are staged in a forked child.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/path_text.h"
#include "support/child_process.h"
#include "support/fault_sandbox.h"
#include "support/picture_files.h"
#include "support/scripted_host.h"
#include "support/test_folder.h"
#include "trim/run/batch_run.h"
#include "trim/save/leftover_sweep.h"
#include "trim/format.h"
#include "support/jpeg_load.h"
#include "trim/messages.h"
#include "trim/load_result.h"

namespace phototrim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::JpegSize;
using testing::ScriptedHost;
using testing::TestFolder;
using testing::WriteBytes;
using testing::WriteJpeg;
namespace fs = std::filesystem;

constexpr int kVga = 12;  // VGA 640 x 480: 4:3 pictures keep their whole frame in the crop

// A run over `in` into `out` with the crop only, at VGA's ratio; every question answered いいえ.
struct TrialRun {
  explicit TrialRun(const std::string& in, const std::string& out) {
    host.input = in;
    host.output = out;
    host.size.row = kVga;
    workspace.PumpSlice = {};
  }
  RunSummary Go() { return summary = RunBatch(workspace, host); }
  int Count(const char* memoLine) const { return static_cast<int>(std::count(host.memo.begin(), host.memo.end(), memoLine)); }

  ScriptedHost host;
  Workspace workspace;
  RunSummary summary;
};

// A picture of noise at quality 100: about 3 bytes a pixel, far more than any limit below.
void WriteNoisyJpeg(const std::string& path, int width, int height) {
  Bitmap noise;
  testing::FillRandom(noise, width, height, 4);
  testing::JpegOptions options;
  options.quality = 100;
  WriteBytes(path, testing::EncodeJpeg(noise, options));
}

bool NoTemporaryFileBelow(const std::string& folder) {
  const auto files = testing::ListFilesBelow(folder);
  return std::none_of(files.begin(), files.end(), [](const std::string& f) { return f.find(".phototrim-") != std::string::npos; });
}

// A file that loads whole: not a mix of an old and a new picture, nor a cut one.
bool LoadsWhole(const std::string& path) {
  Bitmap picture, scratch;
  std::vector<std::uint8_t> profile;
  return LoadJpeg(path, picture, scratch, profile) == LoadResult::Ok;
}

// Whether this sandbox lets a child mount (as root, or as root of a user namespace); why not if not.
const std::string& WhyMountsAreRefused() {
  static const std::string reason = [] {
    TestFolder folder;
    const testing::ChildResult child = testing::RunInChild([&folder] {
      const int entered = testing::EnterPrivateMounts();
      ::_exit(entered != 0 ? entered : testing::MountTmpfs(folder.Path(), 1 << 20));
    });
    if (child.Passed()) return std::string();
    return std::string("mounting is not permitted here (neither as root in a mount namespace nor in a user "
                       "namespace): ") + (child.exited ? std::strerror(child.exitCode) : child.Describe());
  }();
  return reason;
}

#define SKIP_WITHOUT_MOUNTS()                                             \
  do {                                                                    \
    if (!WhyMountsAreRefused().empty()) GTEST_SKIP() << WhyMountsAreRefused(); \
  } while (false)

// Runs `body` in a child that has first staged its fault with `setUp` (0 or an errno); a child
// that cannot stage it makes the test skip with `what`.
void InChild(const char* what, const std::function<int()>& setUp, const std::function<void()>& body) {
  const testing::ChildResult child = testing::RunInChild([&] {
    if (const int error = setUp()) {
      std::fprintf(stderr, "%s: %s\n", what, std::strerror(error));
      ::_exit(testing::kChildCannotSetUp);
    }
    body();
  });
  if (child.CouldNotSetUp()) GTEST_SKIP() << what << " is not permitted here";
  EXPECT_TRUE(child.Passed()) << child.Describe();
}

// ---- The output disk fills up in the middle of a file ----

// a.jpg and c.jpg are small; b.jpg's output cannot fit, and an older b.jpg already stands there.
void ExpectFullDiskRun(const std::string& in, const std::string& out, const Bytes& oldB) {
  TrialRun run(in, out);
  run.host.quality = 100;
  run.Go();
  EXPECT_FALSE(run.summary.aborted);
  EXPECT_EQ(run.summary.SavedCount, 2);
  EXPECT_EQ(run.summary.ErrorCount, 1);
  // The existing-file question (answered いいえ: overwrite), then the save failure, asked once.
  EXPECT_EQ(run.host.questionKinds, (std::vector<QuestionKind>{QuestionKind::ExistingFile, QuestionKind::Save}));
  EXPECT_EQ(run.host.questions.back(), Format(text::kAskSave, (out + "b.jpg").c_str()));
  EXPECT_EQ(run.Count(text::kMemoSave), 1);
  // The folder is there: the notice gives the system's reason, not the folder's text.
  const std::string full = Format(text::kSaveWriteFailedBecause, std::strerror(ENOSPC));
  const std::string tooLarge = Format(text::kSaveWriteFailedBecause, std::strerror(EFBIG));
  EXPECT_EQ(std::count(run.host.notices.begin(), run.host.notices.end(), full) +
                std::count(run.host.notices.begin(), run.host.notices.end(), tooLarge),
            1);
  EXPECT_TRUE(testing::ReadBytes(out + "b.jpg") == oldB) << "the existing target was touched";
  EXPECT_TRUE(LoadsWhole(out + "a.jpg"));  // the earlier output is intact
  EXPECT_TRUE(LoadsWhole(out + "c.jpg"));  // and the run went on
  EXPECT_TRUE(NoTemporaryFileBelow(out));
}

TEST(FaultMatrix, DiskFullInTheMiddleOfAFileOnASmallTmpfs) {
  SKIP_WITHOUT_MOUNTS();
  TestFolder folder;
  WriteJpeg(folder / "in/a.jpg", 400, 300);
  WriteNoisyJpeg(folder / "in/b.jpg", 800, 600);  // about 1.4 MB out, on a 512 KB disk
  WriteJpeg(folder / "in/c.jpg", 400, 300);
  testing::MakeFolders(folder / "out");
  const Bytes oldB(3000, 0x5A);
  InChild("a tmpfs mount",
          [&] {
            const int entered = testing::EnterPrivateMounts();
            if (entered != 0) return entered;
            if (const int mounted = testing::MountTmpfs(folder / "out", 512 << 10)) return mounted;
            WriteBytes(folder / "out/b.jpg", oldB);
            return 0;
          },
          [&] { ExpectFullDiskRun(folder / "in/", folder / "out/", oldB); });
}

TEST(FaultMatrix, DiskFullStoodInForByAFileSizeLimit) {
  // Without mounts: a file size limit makes a write fail in the middle of the file as well.
  TestFolder folder;
  WriteJpeg(folder / "in/a.jpg", 400, 300);
  WriteNoisyJpeg(folder / "in/b.jpg", 800, 600);
  WriteJpeg(folder / "in/c.jpg", 400, 300);
  const Bytes oldB(3000, 0x5A);
  WriteBytes(folder / "out/b.jpg", oldB);
  InChild("a file size limit", [] { return testing::LimitFileSize(256 << 10); },
          [&] { ExpectFullDiskRun(folder / "in/", folder / "out/", oldB); });
}

// ---- Output folders that cannot take the files ----

// Every save fails with its notice and one question; nothing is written, the run goes on.
void ExpectEverySaveRefused(TrialRun& run, const std::vector<std::string>& notices) {
  run.Go();
  EXPECT_FALSE(run.summary.aborted);
  EXPECT_EQ(run.summary.SavedCount, 0);
  EXPECT_EQ(run.summary.ErrorCount, static_cast<int>(notices.size()));
  EXPECT_EQ(run.host.questionKinds, std::vector<QuestionKind>(notices.size(), QuestionKind::Save));
  EXPECT_EQ(run.Count(text::kMemoSave), static_cast<int>(notices.size()));
  std::vector<std::string> shown(run.host.notices.begin(), run.host.notices.end() - 1);  // the last is the final text
  EXPECT_EQ(shown, notices);
}

TEST(FaultMatrix, ReadOnlyOutputMount) {
  SKIP_WITHOUT_MOUNTS();
  TestFolder folder;
  WriteJpeg(folder / "in/a.jpg", 400, 300);
  WriteJpeg(folder / "in/sub/b.jpg", 400, 300);  // its folder would have to be made
  testing::MakeFolders(folder / "out");
  InChild("a read-only bind mount",
          [&] {
            const int entered = testing::EnterPrivateMounts();
            return entered != 0 ? entered : testing::MountReadOnly(folder / "out");
          },
          [&] {
            // Refused at the start, before any picture is decoded: also a folder still to be made there.
            for (const char* out : {"out/", "out/new/deeper"}) {
              TrialRun run(folder / "in/", folder / out);
              run.Go();
              EXPECT_FALSE(run.summary.started) << out;
              EXPECT_EQ(run.host.notices, std::vector<std::string>{text::kOutputFolderReadOnly}) << out;
              EXPECT_TRUE(run.host.memo.empty()) << out;
            }
            EXPECT_TRUE(testing::ListFilesBelow(folder / "out").empty());
          });
}

TEST(FaultMatrix, ReadOnlyOutputFolderForAnUnprivilegedUser) {
  TestFolder folder;
  WriteJpeg(folder / "in/a.jpg", 400, 300);
  WriteJpeg(folder / "in/b.jpg", 400, 300);
  testing::MakeFolders(folder / "out");
  ASSERT_EQ(::chmod(folder.Path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod((folder / "out").c_str(), 0555), 0);
  InChild("dropping to nobody", testing::DropPrivileges, [&] {
    TrialRun run(folder / "in/", folder / "out/");
    const std::string denied = Format(text::kSaveWriteFailedBecause, std::strerror(EACCES));
    ExpectEverySaveRefused(run, {denied, denied});
  });
  EXPECT_TRUE(testing::ListFilesBelow(folder / "out").empty());
}

TEST(FaultMatrix, OutputFolderIsAFile) {
  TestFolder folder;
  WriteJpeg(folder / "in/a.jpg", 400, 300);
  WriteJpeg(folder / "in/b.jpg", 400, 300);
  testing::WriteText(folder / "out", "a file, not a folder");
  // Refused at the start, also where the folder would be made below the file.
  for (const char* out : {"out", "out/", "out/sub"}) {
    TrialRun run(folder / "in/", folder / out);
    run.Go();
    EXPECT_FALSE(run.summary.started) << out;
    EXPECT_EQ(run.host.notices, std::vector<std::string>{text::kOutputFolderUnusable}) << out;
  }
  EXPECT_EQ(testing::ReadBytes(folder / "out").size(), 20u);
}

TEST(FaultMatrix, OutputFolderRemovedInTheMiddleOfARunIsMadeAgain) {
  TestFolder folder;
  WriteJpeg(folder / "in/a.jpg", 400, 300);
  WriteJpeg(folder / "in/b.jpg", 400, 300);
  TrialRun run(folder / "in/", folder / "out/deep/");
  bool removed = false;
  // As soon as the first picture is out, its folder goes (the run's current folder with it).
  run.host.onPump = [&](int) {
    if (!removed && fs::exists(folder / "out/deep/a.jpg")) removed = fs::remove_all(folder / "out") > 0;
  };
  run.Go();
  EXPECT_TRUE(removed);
  EXPECT_EQ(run.summary.SavedCount, 2);
  EXPECT_EQ(run.summary.ErrorCount, 0);
  EXPECT_TRUE(run.host.questions.empty());
  EXPECT_EQ(JpegSize(folder / "out/deep/b.jpg"), std::make_pair(400, 300));
}

// ---- Input files that change between the scan and their load ----

class InputChangedUnderTheRun : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteJpeg(folder / "in/a.jpg", 400, 300);
    WriteJpeg(folder / "in/b.jpg", 400, 300);
  }
  // Changes b.jpg at the first pump, after the scan and before b's turn.
  void RunChanging(const std::function<void()>& change) {
    run.host.onPump = [change](int pump) {
      if (pump == 1) change();
    };
    run.Go();
    EXPECT_FALSE(run.summary.aborted);
    EXPECT_EQ(JpegSize(folder / "out/a.jpg"), std::make_pair(400, 300));
  }
  TestFolder folder;
  TrialRun run{folder / "in/", folder / "out/"};
};

TEST_F(InputChangedUnderTheRun, DeletedIsAskedAboutAsVanished) {
  RunChanging([this] { fs::remove(folder / "in/b.jpg"); });
  EXPECT_EQ(run.host.questionKinds, std::vector<QuestionKind>{QuestionKind::Vanished});
  EXPECT_EQ(run.host.questions[0], Format(text::kAskVanished, (folder / "in/b.jpg").c_str()));
  EXPECT_EQ(run.Count(text::kMemoVanished), 1);
  EXPECT_EQ(run.summary.ErrorCount, 1);
}

TEST_F(InputChangedUnderTheRun, ReplacedByAnotherPictureSavesTheNewOne) {
  RunChanging([this] { WriteJpeg(folder / "in/b.jpg", 800, 600); });
  EXPECT_TRUE(run.host.questions.empty());
  EXPECT_EQ(JpegSize(folder / "out/b.jpg"), std::make_pair(800, 600));
}

TEST_F(InputChangedUnderTheRun, ReplacedByAFolderOrText) {
  RunChanging([this] {
    fs::remove(folder / "in/b.jpg");
    testing::MakeFolders(folder / "in/b.jpg");  // no file there any more: vanished
  });
  EXPECT_EQ(run.host.questionKinds, std::vector<QuestionKind>{QuestionKind::Vanished});
  TestFolder other;
  WriteJpeg(other / "in/a.jpg", 400, 300);
  WriteJpeg(other / "in/b.jpg", 400, 300);
  TrialRun replaced{other / "in/", other / "out/"};
  replaced.host.onPump = [&](int pump) {
    if (pump == 1) testing::WriteText(other / "in/b.jpg", "no picture any more");
  };
  replaced.Go();
  EXPECT_EQ(replaced.host.questionKinds, std::vector<QuestionKind>{QuestionKind::Decode});
  EXPECT_EQ(replaced.Count(text::kMemoDecode), 1);
}

// ---- Permissions ----

TEST(FaultMatrix, PermissionDeniedOnAnInputFileIsADecodeFailure) {
  TestFolder folder;
  WriteJpeg(folder / "in/a.jpg", 400, 300);
  WriteJpeg(folder / "in/b.jpg", 400, 300);
  ASSERT_EQ(::chmod(folder.Path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod((folder / "in/a.jpg").c_str(), 0), 0);
  testing::MakeFolders(folder / "out");
  ASSERT_EQ(::chmod((folder / "out").c_str(), 0777), 0);
  InChild("dropping to nobody", testing::DropPrivileges, [&] {
    TrialRun run(folder / "in/", folder / "out/");
    run.Go();
    EXPECT_EQ(run.host.questionKinds, std::vector<QuestionKind>{QuestionKind::Decode});
    EXPECT_EQ(run.host.questions[0], Format(text::kAskDecode, (folder / "in/a.jpg").c_str()));
    EXPECT_EQ(run.summary.SavedCount, 1);
    EXPECT_EQ(run.summary.ErrorCount, 1);
  });
  EXPECT_EQ(testing::ListFilesBelow(folder / "out"), std::vector<std::string>{"b.jpg"});
}

TEST(FaultMatrix, FilesOutOfReachAreDecodeFailuresWithTheirReasonNotMissing) {
  TestFolder folder;
  WriteJpeg(folder / "in/a.jpg", 400, 300);
  ASSERT_EQ(::symlink("nowhere.jpg", (folder / "in/b_dangling.jpg").c_str()), 0);
  ASSERT_EQ(::symlink("c_loop.jpg", (folder / "in/c_loop.jpg").c_str()), 0);
  WriteJpeg(folder / "in/d_unsearchable/d.jpg", 400, 300);
  ASSERT_EQ(::chmod(folder.Path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod((folder / "in/d_unsearchable").c_str(), 0644), 0);  // listed, not entered
  testing::MakeFolders(folder / "out");
  ASSERT_EQ(::chmod((folder / "out").c_str(), 0777), 0);
  InChild("dropping to nobody", testing::DropPrivileges, [&] {
    TrialRun run(folder / "in/", folder / "out/");
    run.Go();
    EXPECT_EQ(run.host.questionKinds, std::vector<QuestionKind>(3, QuestionKind::Decode));
    EXPECT_EQ(run.host.failureReasons,
              (std::vector<std::string>{std::strerror(ENOENT), std::strerror(ELOOP), std::strerror(EACCES)}));
    EXPECT_EQ(run.Count(text::kMemoDecode), 3);
    EXPECT_EQ(run.summary.SavedCount, 1);
  });
  ASSERT_EQ(::chmod((folder / "in/d_unsearchable").c_str(), 0755), 0);
}

TEST(FaultMatrix, PermissionDeniedOnAnInputSubfolderAddsNothingFromIt) {
  TestFolder folder;
  WriteJpeg(folder / "in/b.jpg", 400, 300);
  WriteJpeg(folder / "in/locked/c.jpg", 400, 300);
  ASSERT_EQ(::chmod(folder.Path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod((folder / "in/locked").c_str(), 0700), 0);
  testing::MakeFolders(folder / "out");
  ASSERT_EQ(::chmod((folder / "out").c_str(), 0777), 0);
  InChild("dropping to nobody", testing::DropPrivileges, [&] {
    TrialRun run(folder / "in/", folder / "out/");
    run.Go();
    // Counted as a subfolder, but it cannot be listed: no file of it is met, no question asked.
    EXPECT_EQ(run.workspace.Counters.SubfolderCount, 1);
    EXPECT_EQ(run.workspace.Counters.JpegFileCount, 1);
    EXPECT_TRUE(run.host.questions.empty());
    EXPECT_EQ(run.summary.SavedCount, 1);
  });
  EXPECT_EQ(testing::ListFilesBelow(folder / "out"), std::vector<std::string>{"b.jpg"});
}

// ---- Names ----

TEST(FaultMatrix, NameOf255BytesIsSavedUnderTheSameName) {
  TestFolder folder;
  std::string name;
  while (name.size() + 3 <= 251) name += "写";  // 3 bytes each in UTF-8
  name += std::string(251 - name.size(), 'x') + ".jpg";
  ASSERT_EQ(name.size(), 255u);
  WriteJpeg(folder / "in/" + name, 400, 300);
  TrialRun run(folder / "in/", folder / "out/");
  run.Go();
  EXPECT_EQ(run.summary.SavedCount, 1);
  EXPECT_EQ(JpegSize(folder / "out/" + name), std::make_pair(400, 300));
  EXPECT_TRUE(NoTemporaryFileBelow(folder / "out"));
}

// An output folder text of `length` bytes ending in '/', below the test folder, made of legal names.
std::string OutputFolderOfLength(const TestFolder& folder, std::size_t length) {
  std::string out = folder / "out/";
  while (out.size() < length) {
    const std::size_t rest = length - out.size();  // at least 2: a name and its separator
    std::size_t segment = std::min<std::size_t>(200, rest - 1);
    if (rest - segment - 1 == 1) --segment;  // never leave room for a separator alone
    out += std::string(segment, 'd') + '/';
  }
  return out;
}

TEST(FaultMatrix, OutputPathAtAndPastTheSystemsLimit) {
  TestFolder folder;
  const std::string out = OutputFolderOfLength(folder, kMaxOutputPathBytes - 9);
  // At the limit: the folder and "abcde.jpg" make 4095 bytes; saved there without a word.
  WriteJpeg(folder / "in/abcde.jpg", 400, 300);
  TrialRun at(folder / "in/", out);
  at.Go();
  EXPECT_EQ(at.summary.SavedCount, 1);
  EXPECT_EQ(at.Count(text::kMemoNameTooLong), 0);
  const Bytes saved = testing::ReadBytes(out + "abcde.jpg");
  // Past it: cut at the limit, both names would land on that picture. Each fails as a failed
  // save instead, and nothing is written.
  WriteJpeg(folder / "more/abcde.jpgx.jpg", 400, 300);
  WriteJpeg(folder / "more/abcde.jpgy.jpg", 400, 300);
  TrialRun past(folder / "more/", out);
  past.Go();
  EXPECT_EQ(past.summary.SavedCount, 0);
  EXPECT_EQ(past.summary.ErrorCount, 2);
  EXPECT_EQ(past.host.memo, (std::vector<std::string>{folder / "more/abcde.jpgx.jpg", text::kMemoNameTooLong,
                                                      text::kMemoSave, folder / "more/abcde.jpgy.jpg",
                                                      text::kMemoNameTooLong, text::kMemoSave}));
  EXPECT_EQ(past.host.questions.front(), Format(text::kAskSave, (out + "abcde.jpgx.jpg").c_str()));
  EXPECT_EQ(past.host.questionKinds, std::vector<QuestionKind>(2, QuestionKind::Save));
  EXPECT_EQ(past.host.failureReasons.front(), std::strerror(ENAMETOOLONG));
  EXPECT_EQ(testing::ListFilesBelow(folder / "out").size(), 1u);
  EXPECT_EQ(testing::ReadBytes(out + "abcde.jpg"), saved);
}

TEST(FaultMatrix, ShiftJisNamesAreFoundProcessedLoggedAndCounted) {
  // 表 (0x95 0x5C) as a folder and 写真 (0x8E 0xCA 0x90 0x5E) as a file name, from an old archive.
  TestFolder folder;
  const std::string tail = "\x95\x5C/\x8E\xCA\x90\x5E.jpg";
  WriteJpeg(folder / "in/" + tail, 400, 300);
  TrialRun run(folder / "in/", folder / "out/");
  run.Go();
  EXPECT_EQ(run.summary.SavedCount, 1);
  // The memo gets the path's bytes as they are; the hosts convert for display only.
  EXPECT_EQ(run.host.memo.at(0), folder / "in/" + tail);
  EXPECT_EQ(JpegSize(folder / "out/" + tail), std::make_pair(400, 300));
}

// ---- The output folder equal to the input folder ----

TEST(FaultMatrix, OutputEqualToInputInAnySpellingIsRefusedWhateverTheAnswers) {
  TestFolder folder;
  for (const char* name : {"a.jpg", "b.jpg", "sub/c.jpg"}) WriteJpeg(folder / "photos/" + name, 800, 600);
  ASSERT_EQ(::symlink((folder / "photos").c_str(), (folder / "link").c_str()), 0);
  std::map<std::string, Bytes> originals;
  for (const char* name : {"a.jpg", "b.jpg", "sub/c.jpg"}) originals[name] = testing::ReadBytes(folder / "photos/" + name);
  for (const char* out : {"photos/", "photos", "photos/.", "photos//", "photos/sub/..", "link", "link/"}) {
    TrialRun run(folder / "photos/", folder / out);
    run.host.defaultAnswer = false;  // いいえ to every question: overwrite, go on
    run.Go();
    EXPECT_FALSE(run.summary.started) << out;
    EXPECT_TRUE(run.summary.outputIsInput) << out;
    EXPECT_EQ(run.host.notices, std::vector<std::string>{text::kOutputIsInput}) << out;
    EXPECT_TRUE(run.host.questions.empty()) << out;
  }
  // Spelled through the link on the input side too.
  TrialRun viaLink(folder / "link/", folder / "photos/./");
  viaLink.Go();
  EXPECT_TRUE(viaLink.summary.outputIsInput);
  for (const auto& [name, bytes] : originals) EXPECT_TRUE(testing::ReadBytes(folder / "photos/" + name) == bytes) << name;
  EXPECT_EQ(testing::ListFilesBelow(folder / "photos"), (std::vector<std::string>{"a.jpg", "b.jpg", "sub/c.jpg"}));
}

TEST(FaultMatrix, AnExistingOutputWhoseSaveFailsIsKept) {
  TestFolder folder;
  WriteJpeg(folder / "photos/a.jpg", 400, 300);
  WriteNoisyJpeg(folder / "photos/b.jpg", 800, 600);
  WriteJpeg(folder / "photos/c.jpg", 400, 300);
  const Bytes originalB = testing::ReadBytes(folder / "photos/b.jpg");
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
    WriteBytes(folder / "out/" + name, testing::ReadBytes(folder / "photos/" + name));
  InChild("a file size limit", [&] { return testing::LimitFileSize(originalB.size() / 2); }, [&] {
    TrialRun run(folder / "photos/", folder / "out/");
    run.host.quality = 100;
    run.Go();
    EXPECT_EQ(run.summary.SavedCount, 2);
    EXPECT_EQ(run.summary.ErrorCount, 1);
  });
  EXPECT_TRUE(testing::ReadBytes(folder / "out/b.jpg") == originalB);
  EXPECT_TRUE(LoadsWhole(folder / "out/a.jpg"));
  EXPECT_TRUE(NoTemporaryFileBelow(folder / "out"));
}

TEST(FaultMatrix, AReplacedPictureKeepsItsPermissionsAndOwner) {
  TestFolder folder;
  WriteJpeg(folder / "photos/private.jpg", 400, 300);
  WriteJpeg(folder / "out/private.jpg", 400, 300);
  ASSERT_EQ(::chmod((folder / "out/private.jpg").c_str(), 0640), 0);
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown((folder / "out/private.jpg").c_str(), testing::kNobodyUid, testing::kNobodyGid), 0);
  }
  TrialRun run(folder / "photos/", folder / "out/");
  run.host.defaultAnswer = false;  // いいえ: replace it
  run.Go();
  ASSERT_EQ(run.summary.SavedCount, 1);
  struct stat st {};
  ASSERT_EQ(::stat((folder / "out/private.jpg").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  if (root) {
    EXPECT_EQ(st.st_uid, testing::kNobodyUid);
  }
}

// ---- Leftovers of a save that was killed ----

// The id of a process that has ended (and been reaped), for a leftover's name.
pid_t DeadProcessId() {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return pid;
}

std::string TemporaryNameOf(pid_t pid, const char* random = "AbC123") {
  return ".phototrim-" + std::to_string(pid) + "-" + random + ".tmp";
}

TEST(KilledSaveLeftovers, OnlyThoseOfEndedProcessesAreRemoved) {
  TestFolder folder;
  const pid_t dead = DeadProcessId();
  const std::string deadFile = TemporaryNameOf(dead), ownFile = TemporaryNameOf(::getpid()),
                    parentFile = TemporaryNameOf(::getppid()), initFile = TemporaryNameOf(1);
  for (const std::string& name : {deadFile, ownFile, parentFile, initFile}) testing::WriteText(folder / name, "part");
  // Names that are not quite ours, and a folder with our name: never touched.
  const std::vector<std::string> foreign = {".phototrim-ABCDEF.tmp", ".phototrim-" + std::to_string(dead) + "-AbC12.tmp",
                                            ".phototrim-" + std::to_string(dead) + "-AbC123.jpg", "photo.jpg"};
  for (const std::string& name : foreign) testing::WriteText(folder / name, "x");
  testing::MakeFolders(folder / TemporaryNameOf(dead, "Folder"));
  EXPECT_EQ(RemoveLeftoverTemporaryFiles(folder.Path()), 1);
  EXPECT_FALSE(fs::exists(folder / deadFile));
  for (const std::string& name : {ownFile, parentFile, initFile}) EXPECT_TRUE(fs::exists(folder / name)) << name;
  for (const std::string& name : foreign) EXPECT_TRUE(fs::exists(folder / name)) << name;
  EXPECT_TRUE(fs::is_directory(folder / TemporaryNameOf(dead, "Folder")));
}

TEST(KilledSaveLeftovers, TheNextSaveInTheFolderRemovesThem) {
  TestFolder folder;
  WriteJpeg(folder / "in/a.jpg", 400, 300);
  const std::string leftover = folder / "out/" + TemporaryNameOf(DeadProcessId());
  testing::WriteText(leftover, "half a picture");
  TrialRun run(folder / "in/", folder / "out/");
  run.Go();
  EXPECT_EQ(run.summary.SavedCount, 1);
  EXPECT_FALSE(fs::exists(leftover));
  EXPECT_EQ(testing::ListFilesBelow(folder / "out"), std::vector<std::string>{"a.jpg"});
}

}  // namespace
}  // namespace phototrim
