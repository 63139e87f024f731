// The cost of durable outputs: whole runs over a folder of photos with the flushes (file data
// before each rename, each output folder before the final text) and without them, side by side.
//
//   phototrim_bench_durability PHOTOS [--rounds R] [--jobs N] [--reduce]
//
// Each round runs both, in turn order alternating, into fresh output folders on the disk of the
// system's temporary folder. What a run leaves unflushed is written back (sync) and removed between
// runs, outside the time measured, so that no run pays for another's writes. The settings are
// phototrim-batch's defaults: L at 400 dpi, high quality, no reduction unless --reduce.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "trim/run/batch_run.h"
#include "trim/run/process_start.h"

namespace fs = std::filesystem;
using namespace phototrim;
using Clock = std::chrono::steady_clock;

namespace {

// A host that answers as phototrim-batch does by default and shows nothing.
class QuietHost : public BatchHost {
 public:
  QuietHost(std::string in, std::string out, bool reduce) : in_(std::move(in)), out_(std::move(out)), reduce_(reduce) {}
  std::string InputFolder() override { return in_; }
  std::string OutputFolder() override { return out_; }
  bool CropToRatio() override { return true; }
  bool Reduce() override { return reduce_; }
  bool HighQuality() override { return true; }
  bool NoSubfolders() override { return false; }
  bool SkipSmall() override { return true; }
  SizeSettings Size() override { return {}; }
  int Quality() override { return 90; }
  void EnterRunningState() override {}
  void LeaveRunningState() override {}
  void ClearMemo() override {}
  void AddMemoLine(const std::string&) override {}
  void SetStatusText(const std::string&) override {}
  void SetProgress(int) override {}
  void ShowNotice(NoticeKind, const std::string&) override {}
  bool AskYesNo(QuestionKind, const std::string&) override { return false; }
  void PumpEvents() override {}

 private:
  std::string in_, out_;
  bool reduce_;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  phototrim::PrepareProcessForRuns();
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s PHOTOS [--rounds R] [--jobs N] [--reduce]\n", argv[0]);
    return 64;
  }
  std::string photos = fs::absolute(argv[1]).string();
  if (photos.back() != '/') photos += '/';
  int rounds = 5, jobs = 2;
  bool reduce = false;
  for (int i = 2; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--rounds" && i + 1 < argc) rounds = std::stoi(argv[++i]);
    else if (option == "--jobs" && i + 1 < argc) jobs = std::stoi(argv[++i]);
    else if (option == "--reduce") reduce = true;
  }
  const std::string base = (fs::temp_directory_path() / ("phototrim-durability-" + std::to_string(::getpid()))).string();

  // Without the flushes: the same calls, the flushes and the early writeback doing nothing.
  FileCalls unflushed = SystemFileCalls();
  unflushed.startWriteback = [](int, off_t, off_t) {};
  unflushed.flushFile = [](int) { return 0; };
  unflushed.flushFolder = [](const std::string&) { return 0; };

  // With them, the time spent in the flushes (and in starting the writeback early) is measured as
  // well: a figure the other work of a shared machine disturbs less than the run's whole time.
  double waited = 0;
  const auto timed = [&waited](auto call) {
    return [&waited, call](auto... args) {
      const Clock::time_point start = Clock::now();
      const auto result = call(args...);
      waited += std::chrono::duration<double>(Clock::now() - start).count();
      return result;
    };
  };
  FileCalls flushed = SystemFileCalls();
  flushed.flushFile = timed(SystemFileCalls().flushFile);
  flushed.startWriteback = timed([](int fd, off_t offset, off_t size) {
    SystemFileCalls().startWriteback(fd, offset, size);
    return 0;
  });
  flushed.flushFolder = timed(SystemFileCalls().flushFolder);

  std::vector<double> with, without, ratios, waits;
  std::printf("round  with flushes (waiting in them)  without   ratio   (-j %d%s)\n", jobs, reduce ? ", reduced" : "");
  for (int round = 0; round < rounds; ++round) {
    double seconds[2] = {0, 0};
    for (int turn = 0; turn < 2; ++turn) {
      const bool durable = (turn + round) % 2 == 0;
      const std::string out = base + (durable ? "/with/" : "/without/");
      Workspace workspace;
      workspace.Calls = durable ? &flushed : &unflushed;
      QuietHost host(photos, out, reduce);
      ::sync();
      waited = 0;
      const Clock::time_point start = Clock::now();
      const RunSummary summary = RunBatch(workspace, host, jobs);
      seconds[durable ? 0 : 1] = std::chrono::duration<double>(Clock::now() - start).count();
      if (durable) waits.push_back(waited);
      if (summary.SavedCount == 0) {
        std::fprintf(stderr, "nothing saved from %s\n", photos.c_str());
        return 1;
      }
      ::sync();
      fs::remove_all(out);
    }
    with.push_back(seconds[0]);
    without.push_back(seconds[1]);
    ratios.push_back(seconds[0] / seconds[1]);
    std::printf("%5d  %10.3f s (%.3f s)          %7.3f s  %6.3f\n", round + 1, seconds[0], waits.back(), seconds[1],
                ratios.back());
  }
  fs::remove_all(base);
  std::printf("median %9.3f s (%.3f s, %.1f %%)    %7.3f s  %6.3f  (median of the ratios)\n", Median(with),
              Median(waits), Median(waits) / Median(with) * 100, Median(without), Median(ratios));
  return 0;
}
