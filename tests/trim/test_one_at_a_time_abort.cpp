// A run of one file at a time stops within the picture being decoded or written when the abort comes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "support/picture_files.h"
#include "support/scripted_host.h"
#include "support/test_folder.h"
#include "trim/format.h"
#include "trim/messages.h"
#include "trim/run/batch_run.h"

namespace phototrim {
namespace {

namespace fs = std::filesystem;

bool WritingBelow(const std::string& folder) {
  if (!fs::exists(folder)) return false;
  const auto files = testing::ListFilesBelow(folder);
  return std::any_of(files.begin(), files.end(), [](const std::string& f) { return f.find(".phototrim-") != std::string::npos; });
}

TEST(OneAtATimeAbort, SeenWhileDecodingOrWritingStopsThereWithNothingWritten) {
  struct Case {
    const char* when;
    std::function<bool(int pump, const std::string& out)> abortAt;
  } cases[] = {
      {"decoding", [](int pump, const std::string&) { return pump == 2; }},  // 1 is the file's start
      {"writing", [](int, const std::string& out) { return WritingBelow(out); }},
  };
  for (const Case& c : cases) {
    testing::TestFolder folder;
    testing::WriteJpeg(folder / "in/a.jpg", 3000, 2000);
    testing::WriteJpeg(folder / "in/b.jpg", 400, 300);
    testing::ScriptedHost host;
    host.input = folder / "in/";
    host.output = folder / "out/";
    Workspace workspace;
    workspace.PumpSlice = {};  // the events run at every chance
    host.onPump = [&](int pump) {
      if (c.abortAt(pump, folder / "out")) workspace.AbortRequested = true;
    };
    const RunSummary summary = RunBatch(workspace, host, 1);
    EXPECT_TRUE(summary.aborted) << c.when;
    EXPECT_EQ(host.memo, (std::vector<std::string>{host.input + "a.jpg", text::kMemoAborted})) << c.when;
    EXPECT_EQ(host.notices, (std::vector<std::string>{text::kAbortedNotice, Format(text::kAbortedStatus, 0, 0, 0)}))
        << c.when;
    EXPECT_TRUE(host.questions.empty()) << c.when;
    EXPECT_TRUE(!fs::exists(folder / "out") || testing::ListFilesBelow(folder / "out").empty()) << c.when;
  }
}

}  // namespace
}  // namespace phototrim
