// The sweep of leftovers: temporary files that killed processes of ours left in an output folder.
#pragma once

#include <chrono>
#include <map>
#include <string>

namespace phototrim {

// Removes from `folder` the temporary files of ours whose process no longer runs; the files of
// running processes, this one included, are left alone. Returns how many were removed.
int RemoveLeftoverTemporaryFiles(const std::string& folder);

// When each folder was last swept, so that a run saving thousands of pictures into one folder does
// not list it for every one: a folder is swept at most once a minute (leftovers only come from a
// crash). Kept by the run; used from one thread.
class LeftoverSweeps {
 public:
  // Whether `folder` is due for a sweep; notes the sweep when it is.
  bool Due(const std::string& folder);

 private:
  std::map<std::string, std::chrono::steady_clock::time_point> searched_;
};

}  // namespace phototrim
