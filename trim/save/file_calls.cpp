// The system's own file calls, and the write that goes on until every byte is written.
#include "trim/save/file_calls.h"

#include <cerrno>
#include <fcntl.h>
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

}  // namespace

const FileCalls& SystemFileCalls() {
  static const FileCalls calls{
      [](int fd, const void* data, std::size_t size) { return ::write(fd, data, size); },
      [](int fd, off_t offset, off_t size) { (void)::sync_file_range(fd, offset, size, SYNC_FILE_RANGE_WRITE); },
      [](int fd) { return ::fdatasync(fd); },
      [](const char* from, const char* to) { return ::rename(from, to); },
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
