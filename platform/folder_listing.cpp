// Folder listing through opendir/readdir, sorted so every run meets the files in the same order.
#include "platform/folder_listing.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace phototrim {

std::optional<std::vector<FolderEntry>> ListFolder(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return std::nullopt;
  const int dirFd = ::dirfd(dir);
  std::vector<FolderEntry> entries;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (entry == nullptr) break;
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    FolderEntry item{name, false, 0, 0};
    // Follow symbolic links: a link to a folder is entered like the folder itself.
    struct stat st {};
    if (entry->d_type == DT_DIR || entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
      if (::fstatat(dirFd, entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode)) {
        item.isFolder = true;
        item.device = st.st_dev;
        item.inode = st.st_ino;
      }
    }
    entries.push_back(std::move(item));
  }
  // readdir ends with errno untouched at the end of the folder, and sets it when reading failed.
  const int error = errno;
  ::closedir(dir);
  if (error != 0) {
    errno = error;
    return std::nullopt;
  }
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return entries;
}

std::optional<std::pair<std::uint64_t, std::uint64_t>> FolderIdentity(const std::string& folder) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
  return std::pair<std::uint64_t, std::uint64_t>{st.st_dev, st.st_ino};
}

}  // namespace phototrim
