// Writes a file through a temporary file beside it, so that the target is whole or untouched.
#include "trim/file_writer.h"

#include <atomic>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/path_text.h"

namespace phototrim {

namespace {

constexpr char kPrefix[] = ".phototrim-";  // hidden, and recognisable as ours when left by a crash
constexpr char kSuffix[] = ".tmp";         // not ".jpg", so that no run ever collects it
constexpr int kRandomChars = 6;
constexpr int kAttempts = 100;  // each name collides with odds of 1 in 62^6; 100 misses mean a fault

// A well-mixed 64-bit value from the clock, the process and a counter (splitmix64 finaliser);
// names only need to differ, not to be unguessable, because O_EXCL refuses any existing file.
std::uint64_t NameSeed() {
  static std::atomic<std::uint64_t> counter{0};
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  std::uint64_t z = static_cast<std::uint64_t>(now.tv_nsec) ^ (static_cast<std::uint64_t>(now.tv_sec) << 30) ^
                    (static_cast<std::uint64_t>(::getpid()) << 42) ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

std::string TemporaryName() {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::uint64_t bits = NameSeed();
  std::string name = kPrefix;
  for (int i = 0; i < kRandomChars; ++i, bits /= 62) name += kAlphabet[bits % 62];
  return name + kSuffix;
}

}  // namespace

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
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

bool ReplacingFile::Open(const std::string& folder) {
  Discard();
  const std::string base = folder.empty() ? "./" : EndsWithSeparator(folder) == 1 ? folder : folder + '/';
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    std::string path = base + TemporaryName();
    // 0666: the umask decides the final permissions, as for any file the user's programs make.
    const int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
    if (fd >= 0) {
      fd_ = fd;
      temporaryPath_ = std::move(path);
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

bool ReplacingFile::Commit(const std::string& target) {
  if (fd_ < 0) return false;
  struct stat st {};
  const bool replacing = ::lstat(target.c_str(), &st) == 0;
  // close() can report a write error that write() did not (network file systems), so it counts.
  const bool flushed = !replacing || ::fsync(fd_) == 0;
  const bool closed = ::close(fd_) == 0;
  fd_ = -1;
  if (flushed && closed && ::rename(temporaryPath_.c_str(), target.c_str()) == 0) {
    temporaryPath_.clear();
    return true;
  }
  Discard();
  return false;
}

void ReplacingFile::Discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporaryPath_.empty()) ::unlink(temporaryPath_.c_str());
  temporaryPath_.clear();
}

}  // namespace phototrim
