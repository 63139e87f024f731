// Output folders whose new entries are still to be flushed to disk: a run flushes them all at its end.
#pragma once

#include <set>
#include <string>

#include "trim/save/file_calls.h"

namespace phototrim {

// A picture is on disk only once its folder's entry is: a crash after the rename could otherwise
// lose the name. Flushing each folder once at the end of a run, not after every file, costs one
// flush per folder instead of one per picture. Used from one thread.
class FolderFlushes {
 public:
  // `folder` (absolute) received a new entry.
  void Add(const std::string& folder) { folders_.insert(folder); }
  // Flushes every folder noted since the last time, and forgets them. A folder that cannot be
  // flushed (gone since, or on a failing disk) is passed over: its pictures were written already.
  void FlushAll(const FileCalls& calls);
  bool Empty() const { return folders_.empty(); }

 private:
  std::set<std::string> folders_;
};

}  // namespace phototrim
