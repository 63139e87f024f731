// Writes a file through a temporary file beside it, so that the target is whole or untouched.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace phototrim {

// Writes all `size` bytes to `fd`, going on after partial writes and interruptions.
// False on any error (a full disk, a lost connection), with errno telling which.
bool WriteAll(int fd, const std::uint8_t* data, std::size_t size);

// When each folder was last searched for leftover temporary files, so that a run saving thousands
// of pictures into one folder does not list it for every one: a folder is searched at most once a
// minute (leftovers only come from a crash). Kept by the run; used from one thread.
class LeftoverSweeps {
 public:
  // Whether `folder` is due for a search; notes the search when it is.
  bool Due(const std::string& folder);

 private:
  std::map<std::string, std::chrono::steady_clock::time_point> searched_;
};

// A temporary file ".phototrim-<pid>-XXXXXX.tmp" in the target's folder. Commit() renames it over
// the target once everything is written; until then, and after any failure, the target is untouched
// and the temporary file is removed (at the latest when this object goes away). A process that is
// killed leaves its temporary file behind; the process id in the name lets a later one tell such a
// leftover from the file of a save still going on (see RemoveLeftoverTemporaryFiles).
class ReplacingFile {
 public:
  ReplacingFile() = default;
  ~ReplacingFile() { Discard(); }
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  // Creates the temporary file in `folder` (with the umask's permissions, as any new file), after
  // removing the leftovers of dead processes there (when `sweeps` says the folder is due; every
  // time without it).
  bool Open(const std::string& folder, LeftoverSweeps* sweeps = nullptr);
  int Fd() const { return fd_; }
  const std::string& TemporaryPath() const { return temporaryPath_; }

  // When a file already stands at `target`: gives the new file its permissions (and, where we may,
  // its owner), and flushes the data to disk (so that a crash cannot leave an empty file in place
  // of the old picture). Then closes and renames. False on failure, with the temporary file gone.
  bool Commit(const std::string& target);

  // Closes and removes the temporary file, if any.
  void Discard();

 private:
  int fd_ = -1;
  std::string temporaryPath_;
};

// Removes from `folder` the temporary files of ours whose process no longer runs; the files of
// running processes, this one included, are left alone. Returns how many were removed.
int RemoveLeftoverTemporaryFiles(const std::string& folder);

}  // namespace phototrim
