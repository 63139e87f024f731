// The system calls an output file is written with, in one place so that tests can put faults in them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <sys/types.h>

namespace phototrim {

// How a finished file takes its name.
enum class RenameMode {
  Replace,    // whatever stands at the name is replaced
  NoReplace,  // fails with EEXIST when anything stands at the name, even a link or a folder
};

// Each call answers as the system call does: -1 with errno set on failure.
struct FileCalls {
  std::function<ssize_t(int fd, const void* data, std::size_t size)> write;
  // A hint that the disk may start on bytes written (from `offset`, `size` of them), so that the
  // flush later finds little left to wait for; it makes nothing safe by itself.
  std::function<void(int fd, off_t offset, off_t size)> startWriteback;
  std::function<int(int fd)> flushFile;  // the file's data onto the disk
  std::function<int(int fd)> close;
  // Renames `from` to `to`, both in the folder open at `folderFd`.
  std::function<int(int folderFd, const char* from, const char* to, RenameMode mode)> rename;
  std::function<int(const std::string& folder)> flushFolder;  // the folder's entries onto the disk
};

// write(2), sync_file_range(2), fdatasync(2), close(2), renameat2(2) (with a hard link and an unlink
// where the file system has no renameat2), and fsync(2) of the opened folder.
const FileCalls& SystemFileCalls();

// Writes all `size` bytes through `calls.write`, going on after partial writes and interruptions.
// False on any error (a full disk, a lost connection), with errno telling which.
bool WriteAll(const FileCalls& calls, int fd, const std::uint8_t* data, std::size_t size);

}  // namespace phototrim
