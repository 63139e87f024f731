// The names of our temporary files: a prefix, the process id, six random characters, a suffix.
#include "trim/save/temporary_name.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <thread>
#include <unistd.h>

namespace phototrim {

namespace {

constexpr char kPrefix[] = ".phototrim-";
constexpr char kSuffix[] = ".tmp";
constexpr int kRandomChars = 6;
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

// A well-mixed 64-bit value from the clock, the process, the thread and the attempt (splitmix64
// finaliser); names only need to differ, not to be unguessable, because the file is created with
// O_EXCL, which refuses any existing file, and the next attempt draws again.
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

}  // namespace

std::string TemporaryName(int attempt) {
  std::uint64_t bits = NameSeed(attempt);
  std::string name = kPrefix + std::to_string(::getpid()) + '-';
  for (int i = 0; i < kRandomChars; ++i, bits /= 62) name += kAlphabet[bits % 62];
  return name + kSuffix;
}

pid_t TemporaryNameOwner(std::string_view name) {
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

}  // namespace phototrim
