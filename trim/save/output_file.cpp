// The writer of one output file: temporary file, checked writes, flush, rename.
#include "trim/save/output_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/path_text.h"
#include "trim/save/temporary_name.h"

namespace phototrim {

namespace {
constexpr int kAttempts = 100;  // each name collides with odds of 1 in 62^6; 100 misses mean a fault
}  // namespace

bool OutputFile::Fail() {
  if (error_ == 0) error_ = errno;
  Discard();
  return false;
}

bool OutputFile::Open(int folderFd, const std::string& folder, const std::string& name, mode_t mode,
                      LeftoverSweeps* sweeps) {
  Discard();
  error_ = 0;
  folderFd_ = folderFd;
  name_ = name;
  struct stat st {};
  if (::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
      ::faccessat(folderFd, name.c_str(), W_OK, 0) != 0)
    return Fail();
  const std::string base = folder.empty() ? "./" : EndsWithSeparator(folder) == 1 ? folder : folder + '/';
  if (sweeps == nullptr || sweeps->Due(base)) RemoveLeftoverTemporaryFiles(base);
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    std::string temporary = TemporaryName(attempt);
    const int fd = ::openat(folderFd, temporary.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode);
    if (fd >= 0) {
      fd_ = fd;
      written_ = 0;
      temporaryName_ = std::move(temporary);
      return true;
    }
    if (errno != EEXIST) return Fail();
  }
  return Fail();
}

bool OutputFile::Write(const std::uint8_t* data, std::size_t size) {
  if (fd_ < 0) return false;
  if (!WriteAll(calls_, fd_, data, size)) return Fail();
  // The disk starts on what is written while the picture is still being encoded, so the flush at
  // the commit finds little left to wait for.
  calls_.startWriteback(fd_, written_, static_cast<off_t>(size));
  written_ += static_cast<off_t>(size);
  return true;
}

CommitResult OutputFile::Commit(const CommitRules& rules) {
  if (fd_ < 0) return CommitResult::Failed;
  struct stat st {};
  if (::fstatat(folderFd_, name_.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode)) {
    // The picture replaced keeps who may read it: a private photo stays private. The owner can
    // only be set by a privileged process (one run by root over a user's folder); elsewhere the
    // call fails and the file stays ours, as any new file. Neither failure stops the save.
    if (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) (void)!::fchown(fd_, st.st_uid, st.st_gid);
    (void)!::fchmod(fd_, st.st_mode & 0777);  // never the set-id bits
  }
  if (calls_.flushFile(fd_) != 0) return Fail(), CommitResult::Failed;
  // close() can report a write error that write() did not (network file systems), so it counts.
  const int fd = fd_;
  fd_ = -1;
  if (calls_.close(fd) != 0) return Fail(), CommitResult::Failed;
  if (rules.mayReplace && rules.written && rules.written->Holds(folderFd_, name_)) {
    Discard();
    return CommitResult::WouldReplaceOwn;
  }
  const RenameMode mode = rules.mayReplace ? RenameMode::Replace : RenameMode::NoReplace;
  if (calls_.rename(folderFd_, temporaryName_.c_str(), name_.c_str(), mode) != 0) {
    bool exists = errno == EEXIST && mode == RenameMode::NoReplace;
    // A folder of that name is no picture to ask about: no file can take its place.
    if (exists && ::fstatat(folderFd_, name_.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) {
      exists = false;
      errno = EISDIR;
    }
    Fail();
    return exists ? CommitResult::TargetExists : CommitResult::Failed;
  }
  temporaryName_.clear();
  if (rules.written) rules.written->Note(folderFd_, name_);
  return CommitResult::Done;
}

void OutputFile::Discard(int error) {
  if (error_ == 0) error_ = error;
  const int saved = errno;  // what failed stays told, whatever the cleaning up meets
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporaryName_.empty()) ::unlinkat(folderFd_, temporaryName_.c_str(), 0);
  temporaryName_.clear();
  errno = saved;
}

}  // namespace phototrim
