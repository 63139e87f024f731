// CollectJpegFiles: walks a folder tree depth-first, sorted by name, entering each folder once.
#include "trim/collect/collect_jpeg_files.h"

#include <cerrno>
#include <cstdint>
#include <set>
#include <utility>

#include "platform/folder_listing.h"
#include "platform/path_text.h"
#include "trim/collect/heif_names.h"

namespace phototrim {

namespace {

using FolderId = std::pair<std::uint64_t, std::uint64_t>;

struct Collection {
  std::vector<std::string>& list;
  FolderCounters& counters;
  const std::function<bool()>& noSubfolders;
  const CollectWatch& watch;
  const bool heif;
  std::set<FolderId> entered;
  bool stopped = false;

  bool Stop() { return stopped = stopped || (watch.stop && watch.stop()); }

  void Folder(const std::string& folder) {
    const auto entries = ListFolder(folder);
    if (!entries) {
      if (watch.unreadable) watch.unreadable(folder, errno);
      return;
    }
    const std::string prefix = EndsWithSeparator(folder) == 1 ? folder : folder + '/';
    for (const FolderEntry& entry : *entries) {
      if (Stop()) return;
      if (entry.isFolder) {
        ++counters.SubfolderCount;
        if (noSubfolders && noSubfolders()) continue;
        if (!entered.insert({entry.device, entry.inode}).second) continue;  // met before: once is enough
        Folder(prefix + entry.name);
      } else {
        ++counters.FileCount;
        if (HasJpegExtension(entry.name) || (heif && HasHeifExtension(entry.name))) {
          list.push_back(prefix + entry.name);
          ++counters.JpegFileCount;
        }
      }
    }
  }
};

}  // namespace

bool HasJpegExtension(const std::string& name) {
  if (name.size() < 4) return false;
  const char* tail = name.data() + name.size() - 4;
  return tail[0] == '.' && (tail[1] | 0x20) == 'j' && (tail[2] | 0x20) == 'p' && (tail[3] | 0x20) == 'g';
}

void CollectJpegFiles(const std::string& folder, std::vector<std::string>& list, FolderCounters& counters,
                      const std::function<bool()>& noSubfolders, const CollectWatch& watch,
                      const std::string& leaveOut, bool heif) {
  Collection collection{list, counters, noSubfolders, watch, heif, {}, false};
  const auto id = FolderIdentity(folder);
  if (id) collection.entered.insert(*id);
  // Taken as entered already: met inside the tree, it is counted as a subfolder and left alone.
  if (!leaveOut.empty())
    if (const auto outId = FolderIdentity(leaveOut); outId && outId != id) collection.entered.insert(*outId);
  if (!collection.Stop()) collection.Folder(folder);
}

}  // namespace phototrim
