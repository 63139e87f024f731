// CollectJpegFiles: walks a folder tree depth-first, sorted by name, without loops.
#include "trim/collect/collect_jpeg_files.h"

#include <cstdint>
#include <utility>

#include "platform/folder_listing.h"
#include "platform/path_text.h"

namespace phototrim {

namespace {

using FolderId = std::pair<std::uint64_t, std::uint64_t>;

void Collect(const std::string& folder, std::vector<std::string>& list, FolderCounters& counters,
             const std::function<bool()>& noSubfolders, std::vector<FolderId>& descent) {
  const auto entries = ListFolder(folder);
  if (!entries) return;
  const std::string prefix = EndsWithSeparator(folder) == 1 ? folder : folder + '/';
  for (const FolderEntry& entry : *entries) {
    if (entry.isFolder) {
      ++counters.SubfolderCount;
      if (noSubfolders && noSubfolders()) continue;
      const FolderId id{entry.device, entry.inode};
      bool onTheWayDown = false;
      for (const FolderId& above : descent) onTheWayDown = onTheWayDown || above == id;
      if (onTheWayDown) continue;  // a link back up the tree: entering it would never end
      descent.push_back(id);
      Collect(prefix + entry.name, list, counters, noSubfolders, descent);
      descent.pop_back();
    } else {
      ++counters.FileCount;
      if (HasJpegExtension(entry.name)) {
        list.push_back(prefix + entry.name);
        ++counters.JpegFileCount;
      }
    }
  }
}

}  // namespace

bool HasJpegExtension(const std::string& name) {
  if (name.size() < 4) return false;
  const char* tail = name.data() + name.size() - 4;
  return tail[0] == '.' && (tail[1] | 0x20) == 'j' && (tail[2] | 0x20) == 'p' && (tail[3] | 0x20) == 'g';
}

void CollectJpegFiles(const std::string& folder, std::vector<std::string>& list, FolderCounters& counters,
                      const std::function<bool()>& noSubfolders) {
  std::vector<FolderId> descent;
  if (const auto id = FolderIdentity(folder)) descent.push_back(*id);
  Collect(folder, list, counters, noSubfolders, descent);
}

}  // namespace phototrim
