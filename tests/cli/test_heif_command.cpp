// phototrim-batch --heic: output names that never collide on a file system that folds letter case.
#include <gtest/gtest.h>

#include <cstdlib>

#include "cli/batch_command.h"
#include "cli/options.h"
#include "support/picture_files.h"
#include "support/test_folder.h"

namespace phototrim::cli {
namespace {

using testing::TestFolder;

// A HEIC file made by heif-enc from a JPEG picture of the tests.
void WriteHeic(const TestFolder& folder, const std::string& path) {
  testing::WriteJpeg(folder / "source.jpg", 64, 48);
  testing::MakeFolders(path.substr(0, path.rfind('/')));
  const std::string command = "heif-enc -q 50 -o '" + path + "' '" + (folder / "source.jpg") + "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
}

TEST(HeifCommand, NamesNeverCollideOnACaseFoldingFileSystem) {
  TestFolder folder;
  const std::string mount = folder / "fat";
  testing::MakeFolders(mount);
  const std::string setUp = "dd if=/dev/zero of='" + (folder / "fat.img") + "' bs=1M count=4 status=none && mkfs.vfat '" +
                            (folder / "fat.img") + "' >/dev/null 2>&1 && fusefat -o rw+ '" + (folder / "fat.img") +
                            "' '" + mount + "' >/dev/null 2>&1";
  if (std::system(setUp.c_str()) != 0) GTEST_SKIP() << "no vfat through fusefat here";
  struct Unmount {
    std::string mount;
    ~Unmount() { std::system(("fusermount -u '" + mount + "'").c_str()); }
  } unmount{mount};
  WriteHeic(folder, mount + "/in/IMG_0001.HEIC");
  testing::WriteJpeg(mount + "/in/IMG_0001.JPG", 48, 64);
  WriteHeic(folder, mount + "/in/b.heic");
  const CommandResult run = RunBatchCommand(folder, {"--no-progress", "--heic", "--keep-small", "-f", "4:3", "--no-reduce", "-j", "2",
                                                   mount + "/in", mount + "/out"});
  EXPECT_EQ(run.status, kExitFinished) << run.err;
  EXPECT_EQ(testing::JpegSize(mount + "/out/IMG_0001.JPG"), std::make_pair(48, 64));
  EXPECT_EQ(testing::JpegSize(mount + "/out/IMG_0001.HEIC.jpg"), std::make_pair(64, 48));
  EXPECT_EQ(testing::JpegSize(mount + "/out/b.jpg"), std::make_pair(64, 48));
}

}  // namespace
}  // namespace phototrim::cli
