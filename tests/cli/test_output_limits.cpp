// phototrim-batch under the limits a shell sets: a file size limit fails one file, a small stack none.
#include <gtest/gtest.h>

#include <cstring>

#include "cli/batch_command.h"
#include "cli/options.h"
#include "support/picture_files.h"
#include "support/test_folder.h"

namespace phototrim::cli {
namespace {

TEST(OutputLimits, AFileSizeLimitFailsOneFileAndASmallStackNone) {
  testing::TestFolder folder;
  testing::WriteJpeg(folder / "in/a.jpg", 400, 300);
  testing::WriteJpeg(folder / "in/c.jpg", 400, 300);
  Bitmap noise;  // its output passes 64 KiB, the others' stay far below
  testing::FillRandom(noise, 1200, 900, 3);
  testing::WriteBytes(folder / "in/b.jpg", testing::EncodeJpeg(noise));
  const struct {
    const char* limit;
    std::vector<std::string> saved;
  } rows[] = {{"ulimit -f 64;", {"a.jpg", "c.jpg"}}, {"ulimit -s 64;", {"a.jpg", "b.jpg", "c.jpg"}}};
  for (const auto& row : rows) {
    for (const char* jobs : {"1", "2"}) {
      (void)!std::system(("rm -rf '" + folder / "out" + "'").c_str());
      const CommandResult run = RunBatchCommand(folder, {"--no-progress", "-j", jobs, "in", "out"}, "", row.limit);
      const bool failing = row.saved.size() < 3;
      EXPECT_EQ(run.status, failing ? kExitFinishedWithErrors : kExitFinished) << row.limit << jobs << run.err;
      EXPECT_EQ(testing::ListFilesBelow(folder / "out"), row.saved) << row.limit << jobs;  // no temporary file
      EXPECT_EQ(run.err.find(std::strerror(EFBIG)) != std::string::npos, failing) << run.err;
    }
  }
}

}  // namespace
}  // namespace phototrim::cli
