// phototrim-batch in the surroundings a script or an unlucky user gives it: closed standard
// streams, a terminal, folders it cannot read, outputs it cannot write.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/batch_command.h"
#include "cli/options.h"
#include "support/picture_files.h"
#include "support/test_folder.h"
#include "trim/format.h"
#include "trim/messages.h"

namespace phototrim::cli {
namespace {

using testing::TestFolder;
using Files = std::map<std::string, std::vector<std::uint8_t>>;

Files FilesBelow(const std::string& folder) {
  Files files;
  for (const auto& name : testing::ListFilesBelow(folder)) files[name] = testing::ReadBytes(folder + "/" + name);
  return files;
}

TEST(Surroundings, ClosedStandardStreamsNeverReachThePictures) {
  TestFolder folder;
  for (int i = 0; i < 12; ++i) testing::WriteJpeg(folder / Format("in/%s%d.jpg", i % 2 ? "sub/" : "", i), 1200, 900, {}, i);
  ASSERT_EQ(RunBatchCommand(folder, {"in", "reference"}).status, kExitFinished);
  const Files reference = FilesBelow(folder / "reference");
  // Two jobs: the pictures encoded ahead wait in memory files, open while the log is written.
  const struct {
    const char* closing;
    const char* progress;
    const char* out;
  } rows[] = {{">&-", "--no-progress", "out1"}, {"2>&-", "--progress", "out2"}, {"<&- >&- 2>&-", "--progress", "out3"}};
  for (const auto& row : rows) {
    EXPECT_EQ(RunBatchCommand(folder, {row.progress, "-j", "2", "in", row.out}, "", "", row.closing).status, kExitFinished);
    EXPECT_TRUE(FilesBelow(folder / row.out) == reference) << row.closing << ": the pictures differ";
  }
}

TEST(Surroundings, FoldersThatCannotBeReadAreNamedWithTheSystemsReason) {
  TestFolder folder;
  testing::WriteJpeg(folder / "in/a.jpg", 800, 600);
  testing::WriteJpeg(folder / "in/locked/b.jpg", 800, 600);
  // A folder whose path is longer than the system takes, made one level at a time.
  const std::string deep = "cd '" + folder / "in" + "' && for i in $(seq 22); do mkdir " + std::string(200, 'd') +
                           " && cd -P dd*; done";
  ASSERT_EQ(std::system(deep.c_str()), 0);
  ASSERT_EQ(::chmod(folder.Path().c_str(), 0777), 0);
  ASSERT_EQ(::chmod((folder / "in/locked").c_str(), 0700), 0);
  // Root may read anything: the run is made as nobody.
  const std::string nobody = ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups" : "";
  const CommandResult run = RunBatchCommand(folder, {"in", "out"}, "", nobody);
  std::system(("rm -rf '" + folder / "in/" + std::string(200, 'd') + "'").c_str());  // too deep for std::filesystem
  // Every picture that was met is saved; the run still says that some were not met.
  EXPECT_EQ(run.status, kExitFinishedWithErrors) << run.err;
  EXPECT_NE(run.out.find(Format(text::kFinishedStatus, 1, 0, 0)), std::string::npos);
  EXPECT_NE(run.err.find(folder / "in/locked: " + std::strerror(EACCES) + "\n"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(std::string(": ") + std::strerror(ENAMETOOLONG) + "\n"), std::string::npos) << run.err;
  EXPECT_EQ(testing::ListFilesBelow(folder / "out"), std::vector<std::string>{"a.jpg"});
}

TEST(Surroundings, AFailedSaveSaysWhyBeforeItsQuestion) {
  TestFolder folder;
  testing::WriteJpeg(folder / "in/a.jpg", 800, 600);
  testing::MakeFolders(folder / "out2/a.jpg");
  // A disk that fills up, stood in for by a file size limit; and a folder where the file should be
  // (an output folder that is a file is refused at the start).
  const struct {
    const char* before;
    const char* out;
    int error;
  } rows[] = {{"trap '' XFSZ; ulimit -f 8;", "out", EFBIG}, {"", "out2", EISDIR}};
  for (const auto& row : rows) {
    const CommandResult run = RunBatchCommand(folder, {"in", row.out}, "", row.before);
    EXPECT_EQ(run.status, kExitFinishedWithErrors) << row.out;
    const auto at = run.err.find(std::string(std::strerror(row.error)) + "\n");
    ASSERT_NE(at, std::string::npos) << run.err;
    EXPECT_LT(at, run.err.find("JPEGファイルの保存が出来ませんでした。")) << run.err;
  }
}

TEST(Surroundings, AFileThatCannotBeReadSaysWhyBeforeItsQuestion) {
  // libjpeg's own words for what is wrong with the file, or ours where libjpeg is never asked.
  const struct {
    const char* content;
    const char* reason;
  } rows[] = {{"hello, not a picture", "Not a JPEG file: starts with 0x68 0x65"}, {"", text::kReasonEmptyFile}};
  for (const auto& row : rows) {
    TestFolder folder;
    testing::WriteText(folder / "in/a.jpg", row.content);
    const CommandResult run = RunBatchCommand(folder, {"in", "out"});
    EXPECT_EQ(run.status, kExitFinishedWithErrors) << row.reason;
    const auto at = run.err.find(std::string(row.reason) + "\n");
    ASSERT_NE(at, std::string::npos) << run.err;
    EXPECT_LT(at, run.err.find("JPEGファイルを読み込めませんでした。")) << run.err;
  }
}

TEST(Surroundings, ControlCharactersInNamesAreEscapedOnATerminalOnly) {
  TestFolder folder;
  const std::string name = "a\x1b[2Jb\nc.jpg";  // would clear the screen and split the log line
  testing::WriteJpeg(folder / "in/" + name, 800, 600);
  const CommandResult piped = RunBatchCommand(folder, {"in", "out1"});
  EXPECT_EQ(piped.out.rfind(folder / "in/" + name + "\n", 0), 0u) << "bytes as they are";
  // On a terminal (`script` gives the command one), as the user sees it.
  const std::string command = "cd '" + folder.Path() + "' && script -qec \"'" PHOTOTRIM_BATCH_EXE
                              "' --no-progress in out2\" /dev/null > shown.txt";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string shown = ReadText(folder / "shown.txt");
  EXPECT_NE(shown.find(folder / "in/a\\x1B[2Jb\\x0Ac.jpg"), std::string::npos) << shown;
  EXPECT_EQ(shown.find('\x1b'), std::string::npos) << shown;
}

}  // namespace
}  // namespace phototrim::cli
