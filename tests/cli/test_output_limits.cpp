// phototrim-batch under the limits a shell can set: a file size limit and a small stack.
#include <gtest/gtest.h>

#include <cstring>

#include "cli/batch_command.h"
#include "cli/options.h"
#include "support/picture_files.h"
#include "support/test_folder.h"

namespace phototrim::cli {
namespace {

using testing::TestFolder;

// b.jpg is noise: its output passes 64 KiB; a.jpg's and c.jpg's stay far below.
void WriteInputs(const TestFolder& folder) {
  testing::WriteJpeg(folder / "in/a.jpg", 400, 300);
  Bitmap noise;
  testing::FillRandom(noise, 1200, 900, 3);
  testing::JpegOptions options;
  options.quality = 100;
  testing::WriteBytes(folder / "in/b.jpg", testing::EncodeJpeg(noise, options));
  testing::WriteJpeg(folder / "in/c.jpg", 400, 300);
}

TEST(OutputLimits, AFileSizeLimitFailsOneFileAndASmallStackNone) {
  const struct {
    const char* limit;
    std::vector<std::string> saved;
    int status;
  } rows[] = {
      {"ulimit -f 64;", {"a.jpg", "c.jpg"}, kExitFinishedWithErrors},
      {"ulimit -s 64;", {"a.jpg", "b.jpg", "c.jpg"}, kExitFinished},
  };
  TestFolder folder;
  WriteInputs(folder);
  for (const auto& row : rows) {
    for (const char* jobs : {"1", "2"}) {
      SCOPED_TRACE(std::string(row.limit) + " -j " + jobs);
      const std::string out = folder / "out";
      std::system(("rm -rf '" + out + "'").c_str());
      const CommandResult run = RunBatchCommand(folder, {"--no-progress", "-j", jobs, "in", "out"}, "", row.limit);
      EXPECT_EQ(run.status, row.status) << run.err;
      // Every file but those refused is saved, and no temporary file stays.
      EXPECT_EQ(testing::ListFilesBelow(out), row.saved);
      if (row.status != kExitFinished) {
        EXPECT_NE(run.err.find(std::strerror(EFBIG)), std::string::npos) << run.err;
      }
    }
  }
}

}  // namespace
}  // namespace phototrim::cli
