// Flushing the output folders of a run.
#include "trim/save/folder_flushes.h"

namespace phototrim {

void FolderFlushes::FlushAll(const FileCalls& calls) {
  for (const std::string& folder : folders_) (void)calls.flushFolder(folder);
  folders_.clear();
}

}  // namespace phototrim
