// What a run's new outputs allow (no more than their inputs), and a folder flush that fails.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

#include "support/picture_files.h"
#include "support/scripted_host.h"
#include "support/test_folder.h"
#include "trim/run/batch_run.h"
#include "trim/save/file_calls.h"

namespace phototrim {
namespace {

using testing::TestFolder;

struct SmallRun {
  SmallRun(const std::string& in, const std::string& out) {
    host.input = in;
    host.output = out;
    host.size.row = 12;  // VGA
    workspace.PumpSlice = {};
  }
  testing::ScriptedHost host;
  Workspace workspace;
};

TEST(OutputMode, NewOutputsAreNoMoreReadableThanTheirInputs) {
  const mode_t oldMask = ::umask(022);
  const struct {
    mode_t input, output;
  } rows[] = {{0600, 0600}, {0640, 0640}, {0604, 0604}, {0644, 0644}, {0666, 0644}, {0400, 0600}};
  for (const int jobs : {1, 2}) {
    TestFolder folder;
    for (const auto& row : rows) {
      const std::string name = folder / ("in/" + std::to_string(row.input) + ".jpg");
      testing::WriteJpeg(name, 400, 300);
      ASSERT_EQ(::chmod(name.c_str(), row.input), 0);
    }
    SmallRun run(folder / "in/", folder / "out/");
    ASSERT_EQ(RunBatch(run.workspace, run.host, jobs).SavedCount, 6);
    for (const auto& row : rows) {
      struct stat st {};
      ASSERT_EQ(::stat((folder / ("out/" + std::to_string(row.input) + ".jpg")).c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 0777, row.output) << "-j " << jobs << ", input " << std::oct << row.input;
    }
  }
  ::umask(oldMask);
}

// The pictures are written, but their names may not survive a crash: the run does not end clean.
TEST(OutputDurability, AFolderFlushThatFailsIsAnErrorWithItsReason) {
  for (const int jobs : {1, 2}) {
    TestFolder folder;
    testing::WriteJpeg(folder / "in/a.jpg", 400, 300);
    testing::WriteJpeg(folder / "in/b.jpg", 400, 300);
    SmallRun run(folder / "in/", folder / "out/");
    FileCalls seam = SystemFileCalls();
    seam.flushFolder = [&](const std::string& flushed) {
      if (flushed != folder / "out") return SystemFileCalls().flushFolder(flushed);
      errno = EIO;
      return -1;
    };
    run.workspace.Calls = &seam;
    const RunSummary summary = RunBatch(run.workspace, run.host, jobs);
    EXPECT_EQ(summary.SavedCount, 2) << "-j " << jobs;
    EXPECT_EQ(summary.ErrorCount, 1) << "-j " << jobs;
    EXPECT_EQ(run.host.failureReasons, std::vector<std::string>{folder / "out" + ": " + std::strerror(EIO)});
  }
}

}  // namespace
}  // namespace phototrim
