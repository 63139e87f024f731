// Output folders whose new entries are still to be flushed to disk: a run flushes them all at its end.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "trim/save/file_calls.h"

namespace phototrim {

struct FolderFlushFailure {
  std::string folder;
  int error = 0;
};

// A picture is on disk only once its folder's entry is: a crash after the rename could otherwise
// lose the name. Flushing each folder once at the end of a run, not after every file, costs one
// flush per folder instead of one per picture. Used from one thread.
class FolderFlushes {
 public:
  // `folder` (absolute) received a new entry.
  void Add(const std::string& folder) { folders_.insert(folder); }
  // Flushes every folder noted since the last time, and forgets them. Returns the folders whose
  // flush failed (a failing disk): their new entries may not survive a crash. A folder gone since
  // has nothing left to flush.
  std::vector<FolderFlushFailure> FlushAll(const FileCalls& calls);
  bool Empty() const { return folders_.empty(); }

 private:
  std::set<std::string> folders_;
};

}  // namespace phototrim
