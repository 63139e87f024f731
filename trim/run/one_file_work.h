// One file's work that needs no answer from anyone: vanished test, load, skip rule, crop, reduction.
#pragma once

#include <string>

#include "trim/run/batch_host.h"
#include "trim/geometry/crop_position.h"
#include "trim/geometry/size_table.h"
#include "trim/run/workspace.h"

namespace phototrim {

// What the work of one file reads and tells while it goes on. In a one-at-a-time run this is the
// run's host itself; a worker thread records the lines and answers from a copy of the settings.
class FileWorkHost {
 public:
  virtual ~FileWorkHost() = default;
  virtual bool CropToRatio() = 0;
  virtual bool SkipSmall() = 0;
  virtual bool Reduce() = 0;
  virtual bool HighQuality() = 0;
  virtual void AddMemoLine(const std::string& line) = 0;
  // Lets events run; afterwards the work reads the workspace's abort flag (see AbortEndsWork) and
  // Cancelled().
  virtual void PumpEvents() = 0;
  // The crop and the high-quality reduction take pictures of any size, not only up to PlaneCapacity.
  virtual bool NoSizeLimit() { return false; }
  // The host wants this file's work ended at once, whatever it is doing; nothing of it is used.
  virtual bool Cancelled() { return false; }
  // The abort, seen where the events run during the work, ends any work as Cancelled() does (a
  // one-at-a-time run stops there, as a run on workers stops waiting for the file's work); without
  // this it stops only a high-quality reduction.
  virtual bool AbortEndsWork() { return false; }
};

enum class FileWorkEnd {
  Ready,              // the picture in the workspace is ready to be saved
  Skipped,            // too small to be worth it
  Failed,             // a failure to put to the user: `question`, `questionText`, `memoLine`
  ReductionAborted,   // the high-quality reduction saw the abort; ErrorText, which the run shows, is empty
  OutOfMemory,
  Cancelled,          // the host cancelled the work (FileWorkHost::Cancelled); nothing is to be saved
};

struct FileWork {
  FileWorkEnd end = FileWorkEnd::Ready;
  QuestionKind question = QuestionKind::Decode;
  std::string questionText;
  const char* memoLine = "";
  // Why it failed in the system's or libjpeg's own words, for hosts that show it (may be empty).
  std::string reason;
};

// Takes the file at `path` into `workspace.WorkBitmap` and through the skip rule, the crop and the
// reduction, exactly as far as it gets without a question; the first failure ends the work.
// Everything that is decided before the pixels (the skip rule, the crop, the reduction and its
// kind) is decided from the header; then only the kept part of the picture is decoded, row by
// row, straight into the reduction, so a picture that keeps its rows as rows is never held whole.
// A file is still read to its end, so it fails exactly where its whole decode would. The host's
// events run every few milliseconds of the work.
// The crop sits at `place` in the room the picture leaves along its free axis.
FileWork DoFileWork(Workspace& workspace, const std::string& path, const TargetSize& pair, FileWorkHost& host,
                    CropPosition place = kCentred);

}  // namespace phototrim
