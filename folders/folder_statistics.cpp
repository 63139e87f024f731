// The status text of a scan of the input folder.
#include "folders/folder_statistics.h"

#include "folders/folder_texts.h"
#include "trim/format.h"

namespace phototrim::folders {

std::string FolderStatusText(const FolderCounters& counters) {
  return Format(kFolderStatus, counters.SubfolderCount, counters.FileCount, counters.JpegFileCount);
}

}  // namespace phototrim::folders
