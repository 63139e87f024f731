// phototrim-batch refuses output folders that would replace the originals or could never take a file.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/batch_command.h"
#include "cli/options.h"
#include "support/picture_files.h"
#include "support/test_folder.h"
#include "trim/messages.h"

namespace phototrim::cli {
namespace {

namespace fs = std::filesystem;

TEST(OutputFolderRefusals, TheInputInAnySpellingOrAFileIsRefusedBeforeAnythingIsRead) {
  testing::TestFolder folder;
  testing::WriteJpeg(folder / "in/a.jpg", 3000, 2000);
  testing::WriteText(folder / "file", "");
  fs::create_directory_symlink(folder / "in", folder / "link");
  const auto original = testing::ReadBytes(folder / "in/a.jpg");
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* message;
  } cases[] = {
      {{"--overwrite", "in", "in"}, kExitOutputIsInput, text::kOutputIsInput},
      {{"--overwrite", "-j", "1", "in/.", "./in"}, kExitOutputIsInput, text::kOutputIsInput},
      {{"--overwrite", "--stop-on-error", "in//", "link"}, kExitOutputIsInput, text::kOutputIsInput},
      {{"--no-subfolders", "link/", "in/sub/.."}, kExitOutputIsInput, text::kOutputIsInput},
      {{"in", "file"}, kExitRefused, text::kOutputFolderUnusable},
      {{"in", "file/sub"}, kExitRefused, text::kOutputFolderUnusable},
  };
  for (const Case& c : cases) {
    const CommandResult result = RunBatchCommand(folder, c.args);
    EXPECT_EQ(result.status, c.status) << c.args.back();
    EXPECT_EQ(result.err, std::string(c.message) + "\n") << c.args.back();
    EXPECT_EQ(result.out, "") << c.args.back();
  }
  EXPECT_TRUE(testing::ReadBytes(folder / "in/a.jpg") == original);
  EXPECT_EQ(testing::ListFilesBelow(folder / "in"), std::vector<std::string>{"a.jpg"});
}

}  // namespace
}  // namespace phototrim::cli
