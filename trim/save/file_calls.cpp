// The system's own file calls, and the write that goes on until every byte is written.
#include "trim/save/file_calls.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace phototrim {

namespace {

int FlushFolder(const std::string& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return -1;
  int result = ::fsync(fd);
  // Some file systems cannot flush a folder (EINVAL): their entries are as safe as they can be made.
  if (result != 0 && errno == EINVAL) result = 0;
  const int error = errno;
  ::close(fd);
  errno = error;
  return result;
}

// A rename that never replaces: renameat2's own flag, or where the file system lacks it (some FUSE
// and network file systems answer EINVAL or ENOSYS), a hard link under the new name, which fails
// on any existing entry just the same, and then the old name removed. A file system with neither
// gets a test just before the rename: the window of a race is then as small as can be had.
int RenameWithoutReplacing(int folderFd, const char* from, const char* to) {
  if (::renameat2(folderFd, from, folderFd, to, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return -1;
  if (::linkat(folderFd, from, folderFd, to, 0) == 0) return ::unlinkat(folderFd, from, 0);
  if (errno == EEXIST) return -1;
  struct stat st {};
  if (::fstatat(folderFd, to, &st, AT_SYMLINK_NOFOLLOW) == 0) {
    errno = EEXIST;
    return -1;
  }
  return ::renameat(folderFd, from, folderFd, to);
}

int Rename(int folderFd, const char* from, const char* to, RenameMode mode) {
  if (mode == RenameMode::NoReplace) return RenameWithoutReplacing(folderFd, from, to);
  return ::renameat(folderFd, from, folderFd, to);
}

}  // namespace

const FileCalls& SystemFileCalls() {
  static const FileCalls calls{
      [](int fd, const void* data, std::size_t size) { return ::write(fd, data, size); },
      [](int fd, off_t offset, off_t size) { (void)::sync_file_range(fd, offset, size, SYNC_FILE_RANGE_WRITE); },
      [](int fd) { return ::fdatasync(fd); },
      [](int fd) { return ::close(fd); },
      Rename,
      FlushFolder,
  };
  return calls;
}

bool WriteAll(const FileCalls& calls, int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = calls.write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) {  // no progress and no error: treat as a full disk rather than spin
      errno = ENOSPC;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace phototrim
