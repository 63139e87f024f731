// Flushing the output folders of a run.
#include "trim/save/folder_flushes.h"

#include <cerrno>

namespace phototrim {

std::vector<FolderFlushFailure> FolderFlushes::FlushAll(const FileCalls& calls) {
  std::vector<FolderFlushFailure> failures;
  for (const std::string& folder : folders_)
    if (calls.flushFolder(folder) != 0 && errno != ENOENT) failures.push_back({folder, errno});
  folders_.clear();
  return failures;
}

}  // namespace phototrim
