// Runs whose files are worked on by worker threads, against the one-at-a-time run: the host sees the
// same calls and the same files are written, also when settings change or the abort comes mid-run.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>

#include "support/picture_files.h"
#include "support/scripted_host.h"
#include "support/test_folder.h"
#include "trim/format.h"
#include "trim/messages.h"
#include "trim/run/batch_run.h"
#include "trim/save/file_calls.h"

namespace phototrim {
namespace {

using testing::ScriptedHost;
using testing::TestFolder;
using testing::WriteJpeg;

constexpr int kVga = 12;  // row of VGA 640 x 480 in the size table

// What a run showed and left on disk (every file below its folder, by relative path).
struct Seen {
  std::vector<std::string> memo, statusTexts, questions, notices;
  std::map<std::string, std::vector<std::uint8_t>> files;
  bool operator==(const Seen&) const = default;
};

// A change made at the start of file `index` (right after its path line, while the run lets events run).
using Change = std::function<void(ScriptedHost&, int index)>;

// Every kind of ending: saved, reduced or not, skipped, undecodable; 3/1.jpg is named like 1.jpg.
Seen RunOver(int jobs, WorkThreads threads, const Change& change) {
  TestFolder folder;
  WriteJpeg(folder / "in/1.jpg", 1280, 960, {}, 1);
  testing::WriteText(folder / "in/2.jpg", "broken");
  WriteJpeg(folder / "in/3/1.jpg", 960, 1280, {}, 3);
  WriteJpeg(folder / "in/3/4.jpg", 200, 150, {}, 4);
  WriteJpeg(folder / "in/6.jpg", 500, 300, {}, 6);
  WriteJpeg(folder / "in/7.jpg", 800, 600, {}, 7);
  Workspace workspace;
  ScriptedHost host;
  host.input = folder / "in/";
  host.output = folder / "out/";
  host.reduce = true;
  host.size.row = kVga;
  const std::string prefix = host.input;
  int seen = -1;
  host.onPump = [&](int) {
    int index = -1;
    for (const std::string& line : host.memo) index += line.rfind(prefix, 0) == 0;
    if (index > seen) change(host, seen = index);
  };
  RunBatch(workspace, host, jobs, threads);
  // Each run has a folder of its own: its name is left out of what the host showed.
  const auto relative = [&](std::vector<std::string> texts) {
    for (std::string& text : texts)
      for (std::size_t at; (at = text.find(folder.Path())) != std::string::npos;) text.erase(at, folder.Path().size());
    return texts;
  };
  Seen result{relative(host.memo), relative(host.statusTexts), relative(host.questions), relative(host.notices), {}};
  for (const std::string& name : testing::ListFilesBelow(folder.Path())) result.files[name] = testing::ReadBytes(folder / name);
  return result;
}

struct Case {
  const char* name;
  Change change;
};

TEST(RunWithWorkers, SettingsChangedMidRunApplyFromTheNextFileAsOneAtATime) {
  const Case cases[] = {
      {"nothing changes", [](ScriptedHost&, int) {}},
      {"reduction off from the second file", [](ScriptedHost& h, int i) { h.reduce = i < 1; }},
      {"off and on again", [](ScriptedHost& h, int i) { h.reduce = i != 2; }},
      {"plain reduction from the third", [](ScriptedHost& h, int i) { h.highQuality = i < 2; }},
      {"small pictures kept from the fourth", [](ScriptedHost& h, int i) { h.skipSmall = i < 3; }},
      {"quality 30 from the third", [](ScriptedHost& h, int i) { h.quality = i < 2 ? 90 : 30; }},
      {"quality at every file", [](ScriptedHost& h, int i) { h.quality = 50 + i; }},
      {"input folder longer than the names",
       [](ScriptedHost& h, int i) { if (i == 4) h.input += "a-folder-name-longer-than-any-file/"; }},
      {"output folder into the input tree: 3/1.jpg is written before it is read",
       [](ScriptedHost& h, int i) { if (i == 0) h.output = h.input + "3/"; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Seen one = RunOver(1, WorkThreads::OwnForOneJob, c.change);
    EXPECT_FALSE(one.files.empty());
    EXPECT_TRUE(RunOver(1, WorkThreads::Workers, c.change) == one) << "one worker";
    EXPECT_TRUE(RunOver(3, WorkThreads::Workers, c.change) == one) << "three workers";
  }
}

// The abort while the run waits for a file's work stops it at once, as at that file's start; while it
// waits for a save, that file is saved and the run stops at the next file's start: each as one at a
// time stops when the abort comes at that file's start.
TEST(RunWithWorkers, AbortStopsAsOneAtATimeStopsAtAFileStart) {
  TestFolder folder;
  WriteJpeg(folder / "in/a.jpg", 3000, 2000);  // long enough to wait for
  WriteJpeg(folder / "in/b.jpg", 400, 300);
  // Flushes that take their time, so that the run waits for a save.
  std::atomic<bool> flushing{false};
  FileCalls slowFlush = SystemFileCalls();
  slowFlush.flushFile = [&flushing](int fd) {
    flushing = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    flushing = false;
    return SystemFileCalls().flushFile(fd);
  };
  struct Moment {
    const char* name;
    const char* stopsAt;                       // the file at whose start one at a time sees the abort
    std::function<bool(int)> withWorkers;      // at the n-th pump since that file's line
  } moments[] = {
      {"waiting for a's work", "a.jpg", [](int pump) { return pump == 2; }},
      {"saving a", "b.jpg", [&flushing](int) { return flushing.load(); }},
  };
  for (const Moment& moment : moments) {
    SCOPED_TRACE(moment.name);
    const int saved = std::string(moment.stopsAt) == "b.jpg";
    for (int jobs : {0, 1, 2}) {
      const std::string out = folder / Format("out-%s-%d/", moment.stopsAt, jobs);
      Workspace workspace;
      workspace.Calls = &slowFlush;
      ScriptedHost host;
      host.input = folder / "in/";
      host.output = out;
      int pumpsSinceLine = 0;
      std::size_t lines = 0;
      host.onPump = [&](int) {
        pumpsSinceLine = host.memo.size() == lines ? pumpsSinceLine + 1 : 1;
        lines = host.memo.size();
        const bool now = jobs == 0 ? host.memo.back() == folder / "in/" + moment.stopsAt && pumpsSinceLine == 1
                                   : moment.withWorkers(pumpsSinceLine);
        if (now) workspace.AbortRequested = true;
      };
      RunBatch(workspace, host, std::max(jobs, 1), jobs == 0 ? WorkThreads::OwnForOneJob : WorkThreads::Workers);
      std::vector<std::string> memo{folder / "in/a.jpg"};
      if (saved) memo.push_back(folder / "in/b.jpg");
      memo.push_back(text::kMemoAborted);
      EXPECT_EQ(host.memo, memo) << jobs;
      EXPECT_EQ(host.notices, (std::vector<std::string>{text::kAbortedNotice, Format(text::kAbortedStatus, saved, 0, 0)}));
      EXPECT_EQ(std::filesystem::exists(out + "a.jpg"), saved == 1) << jobs;
      EXPECT_FALSE(std::filesystem::exists(out + "b.jpg"));
    }
  }
}

}  // namespace
}  // namespace phototrim
