// Worker threads for a run: each takes the next file, does its work, encodes the picture and goes
// on with the next file while the run saves the earlier ones in list order.
#include "trim/run/work_ahead.h"

#include <algorithm>
#include <new>

#include "platform/process_settings.h"
#include "trim/run/wait_in_slices.h"

namespace phototrim {

WorkAhead::WorkAhead(int jobs, const std::vector<std::string>& files, std::vector<bool> waitForEarlier,
                     const TargetSize& pair, const FileWorkSettings& settings, EventPump::Clock::duration slice,
                     std::vector<CropPosition> places)
    : jobs_(jobs), files_(files), waitForEarlier_(std::move(waitForEarlier)), pair_(pair),
      places_(std::move(places)), newest_(settings),
      results_(files.size()), abortFrom_(INT_MAX) {
  for (std::size_t i = 0; i < files.size(); ++i) indexOf_.emplace(files[i], static_cast<int>(i));
  for (int i = 0; i < jobs; ++i) {
    workspaces_.push_back(std::make_unique<Workspace>());
    workspaces_.back()->PumpSlice = slice;
    jobSlots_.push_back(std::make_unique<Job>());
  }
  working_ = jobs;
  try {
    for (int i = 0; i < jobs; ++i)
      threads_.emplace_back([this, job = jobSlots_[i].get(), ws = workspaces_[i].get()] {
        LeaveStopSignalsToTheMainThread();
        Work(*job, *ws);
      });
  } catch (...) {
    // The threads started so far end before their workspaces go.
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
      abortFrom_ = -1;
    }
    changed_.notify_all();
    for (std::thread& thread : threads_) thread.join();
    throw;
  }
}

WorkAhead::~WorkAhead() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    abortFrom_ = -1;
  }
  changed_.notify_all();
  for (std::thread& thread : threads_)
    if (thread.joinable()) thread.join();
}

bool WorkAhead::MayStart(int index) const {
  if (index >= static_cast<int>(files_.size()) || index >= abortFrom_) return false;
  if (wantAlone_ > 0 || alone_) return false;  // held while a file is worked on again alone
  if (index != released_) {
    // Encoded pictures waiting behind the run's file are bounded (those finished and those on the
    // way), not the distance in the list: a worker goes on past a large file that another worker
    // still decodes, as long as few are waiting. The file the run waits for is always started.
    int ahead = waiting_ - (results_[static_cast<std::size_t>(released_)] ? 1 : 0);
    for (const auto& job : jobSlots_) ahead += job->index > released_ && !job->cancelled;
    if (ahead >= 2 * jobs_) return false;
  }
  return !waitForEarlier_[static_cast<std::size_t>(index)] || released_ == index;
}

void WorkAhead::Work(Job& job, Workspace& workspace) {
  std::unique_lock lock(mutex_);
  for (;;) {
    // Files to be worked on again come first: they are the ones the run meets next.
    const auto next = [&] { return again_.empty() ? nextFile_ : *again_.begin(); };
    changed_.wait(lock, [&] { return stopping_ || MayStart(next()); });
    if (stopping_) break;
    const int index = next();
    if (again_.empty()) ++nextFile_;
    else again_.erase(again_.begin());
    job.index = index;
    job.settings = newest_;
    job.cancelled = false;
    ++busy_;
    lock.unlock();

    std::optional<Result> result = WorkOn(workspace, job);

    lock.lock();
    --busy_;
    if (RanOutOfMemory(*result) && jobs_ > 1 && !job.cancelled && index < abortFrom_ && !stopping_) {
      // Memory ran out while other files were worked on as well: a one-at-a-time run would have
      // had that memory. Once the other workers have finished their files and are held, this file
      // is worked on again alone, with their pictures let go, and that result is the file's.
      ++wantAlone_;
      changed_.wait(lock, [&] { return busy_ == 0 && !alone_; });
      --wantAlone_;
      alone_ = true;
      lock.unlock();
      ReleaseIdleWorkspaces(workspace);
      result = WorkOn(workspace, job);
      lock.lock();
      alone_ = false;
    }
    // Work nobody wants any more is let go: its file was queued again, or the run has stopped.
    if (!job.cancelled && index >= released_ && index < abortFrom_) {
      results_[static_cast<std::size_t>(index)] = std::move(result);
      ++waiting_;
    }
    job.index = -1;
    changed_.notify_all();
    lock.unlock();
    result.reset();  // an unwanted encoded picture goes outside the lock
    lock.lock();
  }
  --working_;
  changed_.notify_all();
}

WorkAhead::Result WorkAhead::WorkOn(Workspace& workspace, Job& job) {
  workspace.AbortRequested = false;
  Result result;
  result.used = job.settings;
  try {
    RunWorkHost host(job.settings.switches, [this, &job] {
      return job.cancelled.load(std::memory_order_relaxed) || job.index >= abortFrom_.load(std::memory_order_relaxed);
    });
    const auto index = static_cast<std::size_t>(job.index);
    result.work = DoFileWork(workspace, files_[index], pair_, host, places_.empty() ? kCentred : places_[index]);
    result.memoLines = std::move(host.lines);
    result.errorText = workspace.ErrorText;
    // A failed encode leaves `encoded` empty: the save then fails as a failed encode does.
    if (result.work.end == FileWorkEnd::Ready && !host.Cancelled())
      result.encoded.Encode(workspace.WorkBitmap, workspace.ColorProfile, job.settings.quality,
                            OutputMarkers(workspace.InputExif, workspace.WorkBitmap.Width(),
                                          workspace.WorkBitmap.Height(), job.settings.markers));
  } catch (const std::bad_alloc&) {
    result = Result{};
    result.used = job.settings;
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

void WorkAhead::Again(int index) {
  auto& result = results_[static_cast<std::size_t>(index)];
  if (result) {
    result.reset();
    --waiting_;
    again_.insert(index);
  }
  for (const auto& job : jobSlots_)
    if (job->index == index && !job->cancelled) {
      job->cancelled = true;
      again_.insert(index);
    }
}

void WorkAhead::DropStale() {
  for (int i = released_; i < nextFile_; ++i) {
    const auto& result = results_[static_cast<std::size_t>(i)];
    if (result && result->used != newest_) Again(i);
  }
  for (const auto& job : jobSlots_)
    if (job->index >= released_ && !job->cancelled && job->settings != newest_) Again(job->index);
}

const WorkAhead::Result* WorkAhead::Await(std::unique_lock<std::mutex>& lock, int index,
                                          const FileWorkSettings& wanted, const Pump& pump) {
  if (newest_ != wanted) {
    newest_ = wanted;
    DropStale();
    changed_.notify_all();
  }
  auto& result = results_[static_cast<std::size_t>(index)];
  if (!WaitInSlices(lock, changed_, [&] { return result.has_value(); }, pump)) return nullptr;
  return &*result;
}

const WorkAhead::Result* WorkAhead::Take(int index, const WorkSwitches& switches, const Pump& pump) {
  std::unique_lock lock(mutex_);
  FileWorkSettings wanted = newest_;
  wanted.switches = switches;
  return Await(lock, index, wanted, pump);
}

const WorkAhead::Result* WorkAhead::TakeEncodedWith(int index, int quality, const Pump& pump) {
  std::unique_lock lock(mutex_);
  FileWorkSettings wanted = newest_;  // the switches are those the file was taken with
  wanted.quality = quality;
  return Await(lock, index, wanted, pump);
}

void WorkAhead::Release(int index) {
  std::lock_guard lock(mutex_);
  auto& result = results_[static_cast<std::size_t>(index)];
  if (result) {
    result.reset();
    --waiting_;
  }
  released_ = index + 1;
  changed_.notify_all();
}

void WorkAhead::Written(const std::string& path, int index) {
  const auto found = indexOf_.find(path);
  if (found == indexOf_.end() || found->second <= index) return;
  std::lock_guard lock(mutex_);
  Again(found->second);
  changed_.notify_all();
}

void WorkAhead::AbortFrom(int index) {
  std::lock_guard lock(mutex_);
  if (index < abortFrom_) abortFrom_ = index;
  changed_.notify_all();
}

void WorkAhead::Stop(const std::function<void()>& pump) {
  std::unique_lock lock(mutex_);
  stopping_ = true;
  abortFrom_ = -1;
  changed_.notify_all();
  WaitInSlices(lock, changed_, [&] { return working_ == 0; }, [&] {
    pump();
    return false;
  });
  lock.unlock();
  for (std::thread& thread : threads_) thread.join();
  threads_.clear();
}

}  // namespace phototrim
