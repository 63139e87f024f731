// Faults for the tests to stage in a forked child: private mounts (a small tmpfs, a read-only
// bind), a dropped privilege, a file size limit. Each returns 0 or the errno that refused it.
#pragma once

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

namespace phototrim::testing {

// The user the permission rows drop to.
inline constexpr uid_t kNobodyUid = 65534;
inline constexpr gid_t kNobodyGid = 65534;

inline int WriteProcFile(const char* path, const std::string& text) {
  const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  const int error = ok ? 0 : errno;
  ::close(fd);
  return error;
}

// Gives this process mounts of its own, so that nothing it mounts is seen outside it and all of it
// goes when it ends. As root a new mount namespace is enough; otherwise a user namespace in which
// we are root is tried as well.
inline int EnterPrivateMounts() {
  if (::geteuid() == 0) {
    if (::unshare(CLONE_NEWNS) != 0) return errno;
  } else {
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return errno;
    if (int e = WriteProcFile("/proc/self/setgroups", "deny")) return e;
    if (int e = WriteProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1")) return e;
    if (int e = WriteProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1")) return e;
  }
  // Mounts made from here on must not travel back to the namespace we came from.
  if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return errno;
  return 0;
}

inline int MountTmpfs(const std::string& folder, std::uint64_t bytes) {
  const std::string options = "size=" + std::to_string(bytes) + ",mode=0777";
  return ::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0 ? 0 : errno;
}

// Makes `folder` read-only where it stands, by binding it onto itself and remounting that read-only.
inline int MountReadOnly(const std::string& folder) {
  if (::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0) return errno;
  if (::mount(nullptr, folder.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0) return errno;
  return 0;
}

// As root: becomes nobody for good. As anyone else: nothing to drop, permission bits apply already.
inline int DropPrivileges() {
  if (::geteuid() != 0) return 0;
  if (::setgroups(0, nullptr) != 0 || ::setgid(kNobodyGid) != 0 || ::setuid(kNobodyUid) != 0) return errno;
  return 0;
}

// Files may grow to `bytes` at most; a write beyond fails with EFBIG instead of raising SIGXFSZ.
inline int LimitFileSize(std::uint64_t bytes) {
  std::signal(SIGXFSZ, SIG_IGN);
  const rlimit limit{bytes, bytes};
  return ::setrlimit(RLIMIT_FSIZE, &limit) == 0 ? 0 : errno;
}

}  // namespace phototrim::testing
