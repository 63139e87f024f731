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
#include <string>
#include <thread>
#include <vector>

#include "trim/run/one_file_work.h"
#include "trim/save/jpeg_save.h"

namespace phototrim {

// The switches a worker uses for every file, read from the host once (a host that runs files on
// several threads answers the same for the whole run).
struct FileWorkSettings {
  bool crop = true;
  bool skipSmall = true;
  bool reduce = false;
  bool highQuality = true;
  int quality = 90;  // the encoding is done ahead, by the worker
  bool noSizeLimit = false;
};

class WorkAhead {
 public:
  struct Result {
    FileWork work;
    std::vector<std::string> memoLines;  // the lines the work added, to be shown in list order
    std::string errorText;               // the workspace's ErrorText when the work ended
    EncodedJpeg encoded;                 // the picture, encoded, when the work ended Ready
  };

  // Starts `jobs` workers over `files`. A file whose `waitForEarlier` entry is set is started only
  // once every earlier file is released (it is the output of an earlier file, to be read after it
  // has been written). Each worker has its own workspace, kept for the whole run. A worker starts no
  // new file while 2 x `jobs` files worked on wait for the run: at most `jobs` decoded pictures and
  // 2 x `jobs` encoded ones are held at once. A file whose work runs out of memory is worked on
  // again alone before its result is given, so that results are those of a one-at-a-time run under
  // memory pressure too. Throws std::system_error when the threads cannot be started.
  WorkAhead(int jobs, const std::vector<std::string>& files, std::vector<bool> waitForEarlier,
            const TargetSize& pair, const FileWorkSettings& settings, EventPump::Clock::duration slice);
  ~WorkAhead();
  WorkAhead(const WorkAhead&) = delete;
  WorkAhead& operator=(const WorkAhead&) = delete;

  // Waits for the work on file `index` (taken in list order), calling `pump` every few milliseconds
  // while it waits. The result stays valid until Release(index).
  const Result& Take(int index, const std::function<void()>& pump);
  // The run is done with file `index`: its worker may go on with the next file.
  void Release(int index);
  // The run has seen the abort while at file `index`: work on it and on later files stops at its
  // next chance (as a one-at-a-time run's reduction would), and no file after it is started.
  void AbortFrom(int index);

 private:
  void Work(Workspace& workspace);
  Result WorkOn(Workspace& workspace, int index);
  static bool RanOutOfMemory(const Result& result);
  // Lets go of the pictures of the workers other than the one with `own` (they are held, idle).
  void ReleaseIdleWorkspaces(const Workspace& own);

  const int jobs_;
  const std::vector<std::string>& files_;
  const std::vector<bool> waitForEarlier_;
  const TargetSize pair_;
  const FileWorkSettings settings_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::optional<Result>> results_;
  int nextFile_ = 0;   // the next file a worker takes
  int released_ = 0;   // files the run is done with
  int waiting_ = 0;    // files worked on and not yet released: their encoded pictures wait in memory
  int busy_ = 0;       // workers working on a file
  int wantAlone_ = 0;  // workers waiting to work on a file again alone; no file starts meanwhile
  bool alone_ = false; // a file is being worked on again alone
  std::atomic<int> abortFrom_;  // files from this index on see the abort; none after it starts
  std::vector<std::unique_ptr<Workspace>> workspaces_;
  std::vector<std::thread> threads_;
};

}  // namespace phototrim
