// Worker threads for a run: each takes the next file, does its work, encodes the picture and goes
// on with the next file while the run saves the earlier ones in list order.
#include "trim/run/work_ahead.h"

#include <chrono>
#include <new>

namespace phototrim {

namespace {

// The work host of a worker thread: switches from the run's copy, lines kept for later, and the
// run's abort turned into the workspace's abort flag whenever the work lets events run.
class RecordingWorkHost : public FileWorkHost {
 public:
  RecordingWorkHost(const FileWorkSettings& settings, const std::atomic<int>& abortFrom, int index,
                    Workspace& workspace)
      : settings_(settings), abortFrom_(abortFrom), index_(index), workspace_(workspace) {}

  bool CropToRatio() override { return settings_.crop; }
  bool SkipSmall() override { return settings_.skipSmall; }
  bool Reduce() override { return settings_.reduce; }
  bool HighQuality() override { return settings_.highQuality; }
  bool NoSizeLimit() override { return settings_.noSizeLimit; }
  void AddMemoLine(const std::string& line) override { lines.push_back(line); }
  void PumpEvents() override {
    if (index_ >= abortFrom_.load(std::memory_order_relaxed)) workspace_.AbortRequested = true;
  }

  std::vector<std::string> lines;

 private:
  const FileWorkSettings& settings_;
  const std::atomic<int>& abortFrom_;
  const int index_;
  Workspace& workspace_;
};

// How long the run waits for a worker before it lets its own events run again.
constexpr std::chrono::milliseconds kWaitSlice{5};

}  // namespace

WorkAhead::WorkAhead(int jobs, const std::vector<std::string>& files, std::vector<bool> waitForEarlier,
                         const TargetSize& pair, const FileWorkSettings& settings, EventPump::Clock::duration slice)
    : jobs_(jobs), files_(files), waitForEarlier_(std::move(waitForEarlier)), pair_(pair), settings_(settings),
      results_(files.size()), abortFrom_(INT_MAX) {
  for (int i = 0; i < jobs; ++i) {
    workspaces_.push_back(std::make_unique<Workspace>());
    workspaces_.back()->PumpSlice = slice;
  }
  try {
    for (auto& workspace : workspaces_) threads_.emplace_back([this, ws = workspace.get()] { Work(*ws); });
  } catch (...) {
    // The threads started so far end before their workspaces go.
    AbortFrom(-1);
    for (std::thread& thread : threads_) thread.join();
    throw;
  }
}

WorkAhead::~WorkAhead() {
  AbortFrom(-1);
  for (std::thread& thread : threads_) thread.join();
}

WorkAhead::Result WorkAhead::WorkOn(Workspace& workspace, int index) {
  workspace.AbortRequested = false;
  RecordingWorkHost host(settings_, abortFrom_, index, workspace);
  Result result;
  try {
    result.work = DoFileWork(workspace, files_[static_cast<std::size_t>(index)], pair_, host);
    result.memoLines = std::move(host.lines);
    result.errorText = workspace.ErrorText;
    // A failed encode leaves `encoded` empty: the save then fails as a failed encode does.
    if (result.work.end == FileWorkEnd::Ready)
      result.encoded.Encode(workspace.WorkBitmap, workspace.ColorProfile, settings_.quality);
  } catch (const std::bad_alloc&) {
    result = Result{};
    result.work.end = FileWorkEnd::OutOfMemory;
  }
  return result;
}

bool WorkAhead::RanOutOfMemory(const Result& result) {
  // An encode fails for want of memory only: its data is our own picture.
  return result.work.end == FileWorkEnd::OutOfMemory ||
         (result.work.end == FileWorkEnd::Ready && !result.encoded.Holds());
}

void WorkAhead::ReleaseIdleWorkspaces(const Workspace& own) {
  for (auto& workspace : workspaces_) {
    if (workspace.get() == &own) continue;
    workspace->WorkBitmap.Release();
    workspace->ScratchBitmap.Release();
  }
}

void WorkAhead::Work(Workspace& workspace) {
  const int count = static_cast<int>(files_.size());
  std::unique_lock lock(mutex_);
  for (;;) {
    const auto mayNotStart = [&] { return nextFile_ >= count || nextFile_ > abortFrom_; };
    changed_.wait(lock, [&] {
      if (mayNotStart()) return true;
      if (wantAlone_ > 0 || alone_) return false;  // held while a file is worked on again alone
      // Encoded pictures waiting for the run are bounded, not the distance in the list: a worker
      // goes on past a large file that another worker still decodes, as long as few are waiting.
      if (waiting_ >= 2 * jobs_) return false;
      return !waitForEarlier_[static_cast<std::size_t>(nextFile_)] || released_ == nextFile_;
    });
    if (mayNotStart()) return;
    const int index = nextFile_++;
    ++busy_;
    lock.unlock();
    Result result = WorkOn(workspace, index);
    lock.lock();
    --busy_;

    if (RanOutOfMemory(result) && jobs_ > 1) {
      // Memory ran out while other files were worked on as well: a one-at-a-time run would have
      // had that memory. Once the other workers have finished their files and are held, this file
      // is worked on again alone, with their pictures let go, and that result is the file's.
      ++wantAlone_;
      changed_.wait(lock, [&] { return busy_ == 0 && !alone_; });
      --wantAlone_;
      alone_ = true;
      lock.unlock();
      ReleaseIdleWorkspaces(workspace);
      result = WorkOn(workspace, index);
      lock.lock();
      alone_ = false;
    }
    results_[static_cast<std::size_t>(index)] = std::move(result);
    ++waiting_;
    changed_.notify_all();
  }
}

const WorkAhead::Result& WorkAhead::Take(int index, const std::function<void()>& pump) {
  std::unique_lock lock(mutex_);
  while (!results_[static_cast<std::size_t>(index)]) {
    changed_.wait_for(lock, kWaitSlice);
    if (results_[static_cast<std::size_t>(index)]) break;
    lock.unlock();
    pump();
    lock.lock();
  }
  return *results_[static_cast<std::size_t>(index)];
}

void WorkAhead::Release(int index) {
  std::lock_guard lock(mutex_);
  if (results_[static_cast<std::size_t>(index)]) {
    results_[static_cast<std::size_t>(index)].reset();
    --waiting_;
  }
  released_ = index + 1;
  changed_.notify_all();
}

void WorkAhead::AbortFrom(int index) {
  std::lock_guard lock(mutex_);
  if (index < abortFrom_) abortFrom_ = index;
  changed_.notify_all();
}

}  // namespace phototrim
