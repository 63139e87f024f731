// Writes a file through a temporary file beside it, so that the target is whole or untouched.
#include "trim/save/file_writer.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <string_view>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "platform/path_text.h"

namespace phototrim {

namespace {

constexpr char kPrefix[] = ".phototrim-";  // hidden, and recognisable as ours when left by a crash
constexpr char kSuffix[] = ".tmp";         // not ".jpg", so that no run ever collects it
constexpr int kRandomChars = 6;
constexpr int kAttempts = 100;  // each name collides with odds of 1 in 62^6; 100 misses mean a fault
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
// A folder is searched for leftovers at most this often within a run (see LeftoverSweeps).
constexpr auto kLeftoverSearchInterval = std::chrono::minutes(1);

// A well-mixed 64-bit value from the clock, the process, the thread and the attempt (splitmix64
// finaliser); names only need to differ, not to be unguessable, because O_EXCL refuses any
// existing file and the next attempt draws again.
std::uint64_t NameSeed(int attempt) {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const std::uint64_t thread = std::hash<std::thread::id>{}(std::this_thread::get_id());
  std::uint64_t z = static_cast<std::uint64_t>(now.tv_nsec) ^ (static_cast<std::uint64_t>(now.tv_sec) << 30) ^
                    (static_cast<std::uint64_t>(::getpid()) << 42) ^ (thread * 0xD1B54A32D192ED03ULL) ^
                    (static_cast<std::uint64_t>(attempt) * 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

std::string TemporaryName(int attempt) {
  std::uint64_t bits = NameSeed(attempt);
  std::string name = kPrefix + std::to_string(::getpid()) + '-';
  for (int i = 0; i < kRandomChars; ++i, bits /= 62) name += kAlphabet[bits % 62];
  return name + kSuffix;
}

// The process id in a name of ours (".phototrim-<pid>-XXXXXX.tmp"); 0 for any other name.
pid_t OwnerOf(std::string_view name) {
  constexpr std::size_t prefix = sizeof kPrefix - 1, suffix = sizeof kSuffix - 1;
  if (name.size() < prefix + 2 + kRandomChars + suffix || name.substr(0, prefix) != kPrefix ||
      name.substr(name.size() - suffix) != kSuffix)
    return 0;
  const std::string_view middle = name.substr(prefix, name.size() - prefix - suffix);  // <pid>-XXXXXX
  const std::size_t dash = middle.size() - kRandomChars - 1;
  if (middle[dash] != '-' || middle.substr(dash + 1).find_first_not_of(kAlphabet) != std::string_view::npos)
    return 0;
  // Process ids are positive and below 2^22 on Linux; nine digits leave no room for overflow.
  const std::string_view digits = middle.substr(0, dash);
  if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string_view::npos)
    return 0;
  pid_t pid = 0;
  for (const char digit : digits) pid = pid * 10 + (digit - '0');
  return pid;
}

// Only a definite "no such process" counts: EPERM means it runs under another user.
bool ProcessIsGone(pid_t pid) { return ::kill(pid, 0) != 0 && errno == ESRCH; }

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

int RemoveLeftoverTemporaryFiles(const std::string& folder) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return 0;
  int removed = 0;
  const pid_t self = ::getpid();
  while (const dirent* entry = ::readdir(dir)) {
    const pid_t owner = OwnerOf(entry->d_name);
    if (owner == 0 || owner == self || !ProcessIsGone(owner)) continue;
    struct stat st {};
    // Only a plain file of that name: never a folder or a link someone gave such a name.
    if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
    if (::unlinkat(::dirfd(dir), entry->d_name, 0) == 0) ++removed;
  }
  ::closedir(dir);
  return removed;
}

bool LeftoverSweeps::Due(const std::string& folder) {
  const auto now = std::chrono::steady_clock::now();
  const auto [at, inserted] = searched_.try_emplace(folder, now);
  if (inserted) return true;
  if (now - at->second < kLeftoverSearchInterval) return false;
  at->second = now;
  return true;
}

bool ReplacingFile::Open(const std::string& folder, LeftoverSweeps* sweeps) {
  Discard();
  const std::string base = folder.empty() ? "./" : EndsWithSeparator(folder) == 1 ? folder : folder + '/';
  if (sweeps == nullptr || sweeps->Due(base)) RemoveLeftoverTemporaryFiles(base);
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    std::string path = base + TemporaryName(attempt);
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
  if (replacing && S_ISREG(st.st_mode)) {
    // The picture replaced keeps who may read it: a private photo stays private. The owner can
    // only be set by a privileged process (one run by root over a user's folder); elsewhere the
    // call fails and the file stays ours, as any new file. Neither failure stops the save.
    if (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) (void)!::fchown(fd_, st.st_uid, st.st_gid);
    (void)!::fchmod(fd_, st.st_mode & 0777);  // never the set-id bits
  }
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
