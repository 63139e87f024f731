// The outputs a run has written: by identity, and by name where the folder ignores letter case.
#include "trim/save/written_outputs.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/path_text.h"

namespace phototrim {

namespace {

// Whether the folder lists an entry of exactly this spelling. A folder that finds a name it does
// not list has matched it to another spelling: it folds letter case. A folder that cannot be
// listed is taken to fold, so that nothing of ours is replaced on a guess.
bool ListsExactly(int folderFd, const std::string& name) {
  const int fd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  DIR* dir = ::fdopendir(fd);
  if (dir == nullptr) {
    ::close(fd);
    return false;
  }
  bool found = false;
  while (const dirent* entry = ::readdir(dir))
    if (name == entry->d_name) {
      found = true;
      break;
    }
  ::closedir(dir);
  return found;
}

}  // namespace

bool WrittenOutputs::Holds(int folderFd, const std::string& name) const {
  struct stat file {}, folder {};
  if (::fstatat(folderFd, name.c_str(), &file, AT_SYMLINK_NOFOLLOW) != 0) return false;  // nothing to replace
  if (files_.count({file.st_dev, file.st_ino})) return true;
  if (::fstat(folderFd, &folder) != 0) return false;
  const auto names = namesByFolder_.find({folder.st_dev, folder.st_ino});
  if (names == namesByFolder_.end()) return false;
  // FAT and exFAT fold the letters a-z and give each spelling its own inode; other folding file
  // systems keep inode numbers stable, and those were caught by identity above.
  const auto [first, last] = names->second.equal_range(FoldLetterCase(name));
  for (auto it = first; it != last; ++it)
    // The same spelling with another inode is a file someone else put there since: not ours.
    if (it->second != name && !ListsExactly(folderFd, name)) return true;
  return false;
}

void WrittenOutputs::Note(int folderFd, const std::string& name) {
  struct stat file {}, folder {};
  if (::fstatat(folderFd, name.c_str(), &file, AT_SYMLINK_NOFOLLOW) == 0) files_.insert({file.st_dev, file.st_ino});
  if (::fstat(folderFd, &folder) == 0)
    namesByFolder_[{folder.st_dev, folder.st_ino}].emplace(FoldLetterCase(name), name);
}

}  // namespace phototrim
