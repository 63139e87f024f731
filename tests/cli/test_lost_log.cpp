// phototrim-batch whose stdout cannot take the log: the pictures are saved, the exit status says so.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>

#include "cli/batch_command.h"
#include "cli/options.h"
#include "support/picture_files.h"
#include "support/test_folder.h"
#include "trim/messages.h"

namespace phototrim::cli {
namespace {

TEST(LostLog, AFullOrClosedStdoutEndsWithItsOwnStatusAndEveryPictureSaved) {
  testing::TestFolder folder;
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"}) testing::WriteJpeg(folder / "in/" + name, 800, 600);
  const std::string command = "'" PHOTOTRIM_BATCH_EXE "' --no-progress -j 1 '" + (folder / "in") + "' '" +
                              (folder / "out") + "' 2> '" + (folder / "err.txt") + "'";
  struct Case {
    const char* name;
    std::string shell;  // runs the command; leaves its exit status in folder/status
  } cases[] = {
      {"/dev/full", "(" + command + " > /dev/full; echo $? > '" + (folder / "status") + "')"},
      // The reader takes the first byte and goes away while the run goes on.
      {"closed pipe", "(" + command + "; echo $? > '" + (folder / "status") + "') | head -c 1 > /dev/null"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(folder / "out");
    ASSERT_EQ(std::system(c.shell.c_str()), 0) << c.name;
    EXPECT_EQ(std::stoi(ReadText(folder / "status")), kExitLogLost) << c.name;
    EXPECT_EQ(ReadText(folder / "err.txt").rfind(text::kLogLost, 0), 0u) << c.name << ": " << ReadText(folder / "err.txt");
    EXPECT_EQ(testing::ListFilesBelow(folder / "out"), (std::vector<std::string>{"a.jpg", "b.jpg", "c.jpg", "d.jpg"}))
        << c.name;
  }
}

}  // namespace
}  // namespace phototrim::cli
