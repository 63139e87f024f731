// Runs part of a test in a forked child: bounded in memory and time, its peak memory measured.
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace phototrim::testing {

// AddressSanitizer and ThreadSanitizer reserve terabytes of address space for their shadow memory
// (and ASan keeps freed blocks in quarantine), so a limit on the address space or a figure for the
// peak memory means nothing in such a build.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kUnderSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
inline constexpr bool kUnderSanitizer = true;
#else
inline constexpr bool kUnderSanitizer = false;
#endif
#else
inline constexpr bool kUnderSanitizer = false;
#endif

// The exit code of a child that could not set up what it needed (a mount, a user): the test skips.
inline constexpr int kChildCannotSetUp = 77;

struct ChildLimits {
  std::uint64_t addressSpaceBytes = 0;  // RLIMIT_AS of the child; 0 for none (never under ASan)
  // A guard against hangs, not a speed measurement: SIGALRM ends a child that runs this long.
  unsigned hangGuardSeconds = 120;
};

struct ChildResult {
  bool exited = false;
  int exitCode = -1;
  int signal = 0;
  long peakRssKiB = 0;  // the child's largest resident set, from wait4's rusage

  bool Passed() const { return exited && exitCode == 0; }
  bool CouldNotSetUp() const { return exited && exitCode == kChildCannotSetUp; }
  std::string Describe() const {
    if (exited) return "child exited with " + std::to_string(exitCode);
    return std::string("child ended by signal ") + std::to_string(signal) + " (" + ::strsignal(signal) + ")" +
           (signal == SIGALRM ? ": it hung" : "");
  }
};

// Forks; the child runs `body` and exits 0 when it recorded no test failure, 1 when it did (the
// failures are printed by the child as they happen). `body` may exit itself, with
// kChildCannotSetUp for a test that cannot run here.
inline ChildResult RunInChild(const std::function<void()>& body, const ChildLimits& limits = {}) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (limits.addressSpaceBytes != 0 && !kUnderSanitizer) {
      const rlimit limit{limits.addressSpaceBytes, limits.addressSpaceBytes};
      if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(kChildCannotSetUp);
    }
    ::alarm(limits.hangGuardSeconds);
    body();
    std::fflush(nullptr);
    ::_exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  ChildResult result;
  if (pid < 0) return result;
  int status = 0;
  rusage usage{};
  while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  result.exited = WIFEXITED(status);
  result.exitCode = result.exited ? WEXITSTATUS(status) : -1;
  result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  result.peakRssKiB = usage.ru_maxrss;
  return result;
}

}  // namespace phototrim::testing
