// The sweep of leftovers: our temporary files whose process has ended, removed by the next save.
#include "trim/save/leftover_sweep.h"

#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "trim/save/temporary_name.h"

namespace phototrim {

namespace {

constexpr auto kSweepInterval = std::chrono::minutes(1);

// Only a definite "no such process" counts: EPERM means it runs under another user.
bool ProcessIsGone(pid_t pid) { return ::kill(pid, 0) != 0 && errno == ESRCH; }

}  // namespace

int RemoveLeftoverTemporaryFiles(const std::string& folder) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return 0;
  int removed = 0;
  const pid_t self = ::getpid();
  while (const dirent* entry = ::readdir(dir)) {
    const pid_t owner = TemporaryNameOwner(entry->d_name);
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
  if (now - at->second < kSweepInterval) return false;
  at->second = now;
  return true;
}

}  // namespace phototrim
