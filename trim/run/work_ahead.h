// Works on the files of a run ahead of it on several threads, in list order: each worker loads,
// crops, reduces and encodes one file at a time, so no more than one picture per worker is held.
#pragma once

#include <atomic>
#include <climits>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "trim/run/one_file_work.h"
#include "trim/run/run_work_host.h"
#include "trim/save/jpeg_save.h"
#include "trim/save/output_markers.h"

namespace phototrim {

// What a file's work is done with: its switches and the quality of its encode (done ahead, by the
// worker).
struct FileWorkSettings {
  WorkSwitches switches;
  int quality = 90;
  MarkerSettings markers;  // what the encode states beyond the pixels; the same for a whole run
  bool operator==(const FileWorkSettings&) const = default;
};

class WorkAhead {
 public:
  struct Result {
    FileWork work;
    std::vector<std::string> memoLines;  // the lines the work added, to be shown in list order
    std::string errorText;               // the workspace's ErrorText when the work ended
    EncodedJpeg encoded;                 // the picture, encoded, when the work ended Ready
    FileWorkSettings used;               // what the work was done with
  };

  // Lets the run's events run while it waits; true when the run is to stop waiting (the abort).
  using Pump = std::function<bool()>;

  // Starts `jobs` workers over `files`, with `settings` until the run says otherwise. A file whose
  // `waitForEarlier` entry is set is started only once every earlier file is released (it is the
  // output of an earlier file, to be read after it has been written). Each worker has its own
  // workspace, kept for the whole run. A worker starts no file but the one the run waits for while
  // 2 x `jobs` later files, finished or on the way, wait behind it: at most `jobs` decoded pictures
  // and 2 x `jobs` encoded ones wait at once. A file whose work runs out of memory is worked on
  // again alone before its result is given, so that results are those of a one-at-a-time run under
  // memory pressure too. Throws std::system_error when the threads cannot be started.
  WorkAhead(int jobs, const std::vector<std::string>& files, std::vector<bool> waitForEarlier,
            const TargetSize& pair, const FileWorkSettings& settings, EventPump::Clock::duration slice,
            std::vector<CropPosition> places = {});
  ~WorkAhead();
  WorkAhead(const WorkAhead&) = delete;
  WorkAhead& operator=(const WorkAhead&) = delete;

  // Waits for the work on file `index` (taken in list order) done with `switches`, calling `pump`
  // every few milliseconds while it waits. Work done with other switches is done again; later files
  // are worked on with these from now on. Null when `pump` stopped the wait. The result stays valid
  // until Release(index) or the next call for this file.
  const Result* Take(int index, const WorkSwitches& switches, const Pump& pump);
  // The taken file `index` encoded with `quality`: when it was encoded with another, its work is
  // done again with this one (later files too). Null when `pump` stopped the wait.
  const Result* TakeEncodedWith(int index, int quality, const Pump& pump);
  // The run is done with file `index`: its worker may go on with the next file.
  void Release(int index);
  // The run has written `path` while at file `index`: a later file of the list at that path that
  // was read already is worked on again, as a one-at-a-time run would read it only now.
  void Written(const std::string& path, int index);
  // The run has stopped at file `index`: work on it and on later files ends at its next chance
  // (Cancelled), and no file from it on is started.
  void AbortFrom(int index);
  // Ends every worker, calling `pump` every few milliseconds until the last has finished its file.
  void Stop(const std::function<void()>& pump);

 private:
  // One file being worked on by one worker.
  struct Job {
    int index = -1;
    FileWorkSettings settings;
    std::atomic<bool> cancelled{false};
  };

  void Work(Job& job, Workspace& workspace);
  Result WorkOn(Workspace& workspace, Job& job);
  static bool RanOutOfMemory(const Result& result);
  // Lets go of the pictures of the workers other than the one with `own` (they are held, idle).
  void ReleaseIdleWorkspaces(const Workspace& own);
  // Whether a worker may start file `index` now.
  bool MayStart(int index) const;
  // Drops the results and cancels the jobs of files from the run's on whose settings are not
  // `newest_`, and queues those files to be worked on again.
  void DropStale();
  // Drops what there is of file `index`, finished or going on, and queues it again.
  void Again(int index);
  const Result* Await(std::unique_lock<std::mutex>& lock, int index, const FileWorkSettings& wanted,
                      const Pump& pump);

  const int jobs_;
  const std::vector<std::string>& files_;
  const std::vector<bool> waitForEarlier_;
  const TargetSize pair_;
  const std::vector<CropPosition> places_;  // each file's crop position; empty: all centred
  std::unordered_map<std::string, int> indexOf_;  // the files of the list by path
  std::mutex mutex_;
  std::condition_variable changed_;
  FileWorkSettings newest_;  // what files are started with: the settings the run saw last
  std::vector<std::optional<Result>> results_;
  std::set<int> again_;  // files to be worked on again, before any new file
  int nextFile_ = 0;     // the next new file a worker takes
  int released_ = 0;     // files the run is done with
  int waiting_ = 0;      // files worked on and not yet released: their encoded pictures wait in memory
  int working_ = 0;      // workers that have not ended
  int busy_ = 0;         // workers working on a file
  int wantAlone_ = 0;    // workers waiting to work on a file again alone; no file starts meanwhile
  bool alone_ = false;   // a file is being worked on again alone
  bool stopping_ = false;
  std::atomic<int> abortFrom_;  // files from this index on see the abort; none of them starts
  std::vector<std::unique_ptr<Job>> jobSlots_;  // one per worker
  std::vector<std::unique_ptr<Workspace>> workspaces_;
  std::vector<std::thread> threads_;
};

}  // namespace phototrim
