// The writer of one output file: written beside the target, so that the target is whole or untouched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

#include "trim/codec/byte_sink.h"
#include "trim/save/file_calls.h"
#include "trim/save/leftover_sweep.h"
#include "trim/save/written_outputs.h"

namespace phototrim {

// How the finished file may take its name.
struct CommitRules {
  // Without it, a file that appeared at the name since the run looked (another run into the same
  // folder, a link, a folder) is never replaced.
  bool mayReplace = true;
  // The run's outputs, never replaced even when replacing is allowed; noted after each commit.
  WrittenOutputs* written = nullptr;
};

enum class CommitResult {
  Done,
  Failed,             // a system call refused: Error() says which way
  TargetExists,       // something stands at the name, and replacing was not allowed
  WouldReplaceOwn,    // the name leads to a file this run has written
};

// A temporary file (see temporary_name.h) in the target's folder, written with checked writes.
// Commit() flushes it to disk and renames it to the target; until then, and after any failure,
// the target is untouched and the temporary file is removed (at the latest when this object goes
// away). A process that is killed leaves its temporary file behind for the sweep of leftovers.
// Everything happens relative to the folder's descriptor: the process's current folder is never
// changed, and a folder renamed meanwhile still receives the whole file or nothing.
class OutputFile : public ByteSink {
 public:
  explicit OutputFile(const FileCalls& calls = SystemFileCalls()) : calls_(calls) {}
  ~OutputFile() override { Discard(); }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates the temporary file for `name` in the folder open at `folderFd` (whose path is `folder`,
  // for the sweep), with the permissions `mode` within the umask, after sweeping the leftovers of
  // dead processes there (when `sweeps` says the folder is due; every time without it). A file at
  // the name that may not be written (a read-only picture) is refused: renaming over it would not be.
  bool Open(int folderFd, const std::string& folder, const std::string& name, mode_t mode,
            LeftoverSweeps* sweeps = nullptr);
  // Every byte, or false (the file is then discarded).
  bool Write(const std::uint8_t* data, std::size_t size) override;

  // When a file already stands at the target, gives the new file its permissions (and, where we
  // may, its owner). Flushes the data to disk before the rename, so that a crash leaves the old
  // picture or the whole new one under the name, never an empty or partly written file; then
  // closes and renames. On any result but Done the temporary file is gone. The folder's new entry
  // is flushed by the caller (see FolderFlushes).
  CommitResult Commit(const CommitRules& rules = {});

  // Closes and removes the temporary file, if any; `error`, when not 0, is noted as the reason.
  void Discard(int error = 0);

  // The errno of the first failure, 0 when none.
  int Error() const { return error_; }

 private:
  bool Fail();  // notes errno, discards, returns false

  const FileCalls& calls_;
  int folderFd_ = -1;
  std::string name_;
  int fd_ = -1;
  off_t written_ = 0;
  std::string temporaryName_;
  int error_ = 0;
};

}  // namespace phototrim
