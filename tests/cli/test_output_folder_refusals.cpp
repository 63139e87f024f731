// phototrim-batch refuses output folders that would replace the originals or could never take a file.
#include <gtest/gtest.h>

#include "cli/batch_command.h"
#include "cli/options.h"
#include "support/picture_files.h"
#include "support/test_folder.h"
#include "trim/messages.h"

namespace phototrim::cli {
namespace {

TEST(OutputFolderRefusals, TheInputInAnySpellingOrAFileIsRefusedWithItsOwnStatus) {
  testing::TestFolder folder;
  testing::WriteJpeg(folder / "in/a.jpg", 3000, 2000);
  testing::WriteText(folder / "file", "");
  const auto original = testing::ReadBytes(folder / "in/a.jpg");
  for (const auto& [args, status, message] :
       {std::tuple<std::vector<std::string>, int, const char*>{{"--overwrite", "in/.", "./in"}, kExitOutputIsInput,
                                                               text::kOutputIsInput},
        {{"--overwrite", "in", "in/new/.."}, kExitOutputIsInput, text::kOutputIsInput},  // made, then left
        {{"in", "file/sub"}, kExitRefused, text::kOutputFolderUnusable}}) {
    const CommandResult result = RunBatchCommand(folder, args);
    EXPECT_EQ(result.status, status) << args.back();
    EXPECT_EQ(result.err, std::string(message) + "\n") << args.back();
  }
  EXPECT_TRUE(testing::ReadBytes(folder / "in/a.jpg") == original);
  EXPECT_EQ(testing::ListFilesBelow(folder / "in"), std::vector<std::string>{"a.jpg"});
}

}  // namespace
}  // namespace phototrim::cli
