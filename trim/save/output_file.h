// The writer of one output file: written beside the target, so that the target is whole or untouched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

#include "trim/codec/byte_sink.h"
#include "trim/save/file_calls.h"
#include "trim/save/leftover_sweep.h"

namespace phototrim {

// A temporary file (see temporary_name.h) in the target's folder, written with checked writes.
// Commit() flushes it to disk and renames it over the target; until then, and after any failure,
// the target is untouched and the temporary file is removed (at the latest when this object goes
// away). A process that is killed leaves its temporary file behind for the sweep of leftovers.
class OutputFile : public ByteSink {
 public:
  explicit OutputFile(const FileCalls& calls = SystemFileCalls()) : calls_(calls) {}
  ~OutputFile() override { Discard(); }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates the temporary file for `target` in its folder (with the umask's permissions, as any new
  // file), after sweeping the leftovers of dead processes there (when `sweeps` says the folder is
  // due; every time without it). A file at `target` that may not be written (a read-only picture)
  // is refused: renaming over it would not be.
  bool Open(const std::string& target, LeftoverSweeps* sweeps = nullptr);
  // Every byte, or false (the file is then discarded).
  bool Write(const std::uint8_t* data, std::size_t size) override;

  // When a file already stands at the target, gives the new file its permissions (and, where we
  // may, its owner). Flushes the data to disk before the rename, so that a crash leaves the old
  // picture or the whole new one under the name, never an empty or partly written file; then
  // closes and renames. False on failure, with the temporary file gone. The folder's new entry is
  // flushed by the caller (see FolderFlushes).
  bool Commit();

  // Closes and removes the temporary file, if any; `error`, when not 0, is noted as the reason.
  void Discard(int error = 0);

  int Fd() const { return fd_; }
  const std::string& TemporaryPath() const { return temporaryPath_; }
  // The errno of the first failure, 0 when none.
  int Error() const { return error_; }

 private:
  bool Fail();  // notes errno, discards, returns false

  const FileCalls& calls_;
  std::string target_;
  int fd_ = -1;
  off_t written_ = 0;
  std::string temporaryPath_;
  int error_ = 0;
};

}  // namespace phototrim
