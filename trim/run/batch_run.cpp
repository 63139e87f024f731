// The batch run: start checks, the per-file steps with their questions, and the end of the run.
#include "trim/run/batch_run.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <system_error>
#include <vector>

#include "platform/file_system.h"
#include "platform/path_text.h"
#include "trim/codec/heif_decoder.h"
#include "trim/collect/collect_jpeg_files.h"
#include "trim/collect/heif_names.h"
#include "trim/run/event_pump.h"
#include "trim/run/one_file_work.h"
#include "trim/run/outputs_over_inputs.h"
#include "trim/run/run_aside.h"
#include "trim/run/run_work_host.h"
#include "trim/run/start_checks.h"
#include "trim/run/work_ahead.h"
#include "trim/format.h"
#include "trim/save/jpeg_save.h"
#include "trim/save/output_markers.h"
#include "trim/messages.h"

namespace phototrim {

namespace {

// How one file ended, as far as the loop over the files is concerned.
enum class FileOutcome { Next, Stop };

// A new output of a private input is no more readable than its input: the read bits of group and
// others pass on (the umask still applies); an input that is gone gives no limit of its own.
mode_t NewFileModeFor(const std::string& input) {
  struct stat st {};
  if (::stat(input.c_str(), &st) != 0) return 0666;
  return 0600 | ((st.st_mode & S_IRGRP) ? 0060 : 0) | ((st.st_mode & S_IROTH) ? 0006 : 0);
}

class Run {
 public:
  Run(Workspace& workspace, BatchHost& host, int jobs, WorkThreads threads)
      : ws_(workspace), host_(host), jobs_(jobs), threads_(threads) {}

  RunSummary Execute();

 private:
  bool StartChecks();
  // The file list; false when the abort came while it was being made.
  bool Collect();
  FileOutcome ProcessFile(int index);
  // The stop of a run that sees the abort at the start of a file, or while it waits for its work.
  FileOutcome StopForAbort();
  // The file's work done by a worker, with the switches read now, and its memo lines shown; null
  // when the abort came while the run waited for it.
  const WorkAhead::Result* TakeAhead(int index);
  // Saves the picture a worker encoded, with the quality read now, on a thread of its own.
  SaveResult SaveAhead(int index, const std::string& outputPath, const FileWork& work,
                       const std::vector<std::string>& lines, const SaveJpegHost& saveHost, bool& stopped);
  // Encodes and writes the picture of the workspace, one at a time. An abort that comes while it
  // does so abandons the file (`stopped`), as a run on workers abandons a file being encoded.
  SaveResult SaveDirect(const std::string& outputPath, const SaveJpegHost& saveHost, bool& stopped);
  // The wait for a worker: the host's events, and whether the abort has come.
  bool PumpAndCheckAbort();
  // Puts a question; on はい the run is to stop: the abort flag is set and the memo says so.
  bool StopOnYes(QuestionKind kind, const std::string& question);
  // A failure put to the user; はい stops the run, いいえ counts one error and goes on.
  FileOutcome AskAboutFailure(QuestionKind kind, const std::string& question, const char* memoLine);
  // A picture that could not get its memory: the notice, then the decode question.
  FileOutcome OutOfMemory(const std::string& path);
  // Memory ran out outside the picture operations: the run stops.
  void StopForMemory(const std::string& path);
  void StartWorkers();
  // Stops the workers and lets go of them.
  void EndWorkers();
  void Finish();

  Workspace& ws_;
  BatchHost& host_;
  const int jobs_;
  const WorkThreads threads_;
  std::unique_ptr<WorkAhead> workers_;  // only when files are worked on ahead, on other threads
  TargetSize pair_;
  MarkerSettings markers_;  // --keep-exif, --keep-gps, --dpi-tag
  std::vector<std::string> files_;
  std::vector<std::string> outputNames_;  // per file, the path whose tail names its output (heif_names.h)
  // Both folders as they stood at the start: a folder chosen meanwhile applies to the next run, so
  // that every output of this one mirrors its input under one folder.
  std::string in_, out_;
  std::vector<CropPosition> places_;  // per file, when the host placed any crop; else all centred
  RunSummary counts_;
  bool overwriteAllowed_ = false;  // set by いいえ to the existing-file question, for this run
  WrittenOutputs written_;  // never replaced by a later file of this run
  std::string current_;  // the file being worked on, for a report of memory running out
  std::vector<int> overwrites_;  // for each file, the file of the list its output replaces, or -1
};

bool Run::StartChecks() {
  in_ = host_.InputFolder();
  out_ = host_.OutputFolder();
  if (in_.empty()) {
    host_.ShowNotice(NoticeKind::StartRefused, text::kNoInputFolder);
    return false;
  }
  if (out_.empty()) {
    host_.ShowNotice(NoticeKind::StartRefused, text::kNoOutputFolder);
    return false;
  }
  // Fixed once against the current folder of the start: the window's folder commands may enter
  // another one while the run goes on.
  in_ = AbsolutePath(in_);
  out_ = AbsolutePath(out_);
  if (!host_.CropToRatio() && !host_.Reduce()) {
    host_.ShowNotice(NoticeKind::StartRefused, text::kNoStepChosen);
    return false;
  }
  const SizeSettings size = host_.Size();
  pair_ = ComputeTargetSize(size);
  markers_ = {host_.KeepExif(), host_.KeepGps(), StatedDpi(size, host_.DpiTag())};
  // A fixed size of zero would divide by zero in the crop, a negative one make a crop of negative
  // size; a text that is no whole number ("800px") would be read as another size.
  if (pair_.LongSide < 1 || pair_.ShortSide < 1 || FixedSizeUnusable(size)) {
    host_.ShowNotice(NoticeKind::StartRefused, text::kFixedSizeNotPositive);
    return false;
  }
  // Refused now rather than after every picture has been decoded, or every original replaced.
  switch (CheckOutputFolder(in_, out_)) {
    case OutputFolderFault::None:
      break;
    case OutputFolderFault::SameAsInput:
      counts_.outputIsInput = true;
      host_.ShowNotice(NoticeKind::StartRefused, text::kOutputIsInput);
      return false;
    case OutputFolderFault::NotAFolder:
      host_.ShowNotice(NoticeKind::StartRefused, text::kOutputFolderUnusable);
      return false;
    case OutputFolderFault::ReadOnly:
      host_.ShowNotice(NoticeKind::StartRefused, text::kOutputFolderReadOnly);
      return false;
  }
  const CropPositions positions = host_.CropPlaces();
  if (!Collect()) return false;
  if (ws_.Counters.JpegFileCount <= 0) {
    host_.ShowNotice(NoticeKind::StartRefused, text::kNoJpegFiles);
    return false;
  }
  std::vector<std::string> unmatched;
  places_ = PlaceEach(positions, files_, in_, &unmatched);
  for (const std::string& relative : unmatched)
    host_.ShowUnmatchedCropPosition(relative, positions.Entries().at(relative).line);
  return true;
}

bool Run::Collect() {
  // A large tree takes a while to list: the host's events run meanwhile, so that the abort (the
  // window's 中断 or close, a signal, Ctrl-C) is seen within a few milliseconds. An abort left set
  // by an earlier run means nothing here. The counts are the run's own until the end: the folder
  // statistics of a folder dropped meanwhile reset the workspace's.
  FolderCounters counters;
  ws_.AbortRequested = false;
  host_.SetCollecting(true);
  EventPump pump([this] { host_.PumpEvents(); }, ws_.AbortRequested, ws_.PumpSlice);
  const CollectWatch watch{[&pump] { return pump.ShouldStop(); },
                           [this](const std::string& folder, int error) {
                             host_.ShowUnreadableFolder(folder, std::strerror(error));
                           }};
  // An output folder inside the input tree is counted, never entered: its files are this run's
  // outputs, or an earlier run's.
  CollectJpegFiles(in_, files_, counters, [this] { return host_.NoSubfolders(); }, watch, out_, host_.Heif());
  outputNames_ = OutputNamePaths(files_);
  ws_.Counters = counters;
  host_.SetCollecting(false);
  if (!ws_.AbortRequested) return true;
  // Stopped before it began: nothing was touched, so there is nothing to count or show but the stop.
  host_.ShowNotice(NoticeKind::Aborted, text::kAbortedNotice);
  counts_.aborted = true;
  return false;
}

RunSummary Run::Execute() {
  if (!StartChecks()) return counts_;
  counts_.started = true;
  host_.EnterRunningState();
  ws_.AbortRequested = false;
  counts_.SavedCount = 0;
  host_.ClearMemo();
  host_.SetProgress(0);
  try {
    if (threads_ == WorkThreads::Workers || (jobs_ > 1 && files_.size() > 1)) StartWorkers();
    // The pictures decoded at once share the cores with libheif's tile threads.
    SetHeifJobsAtOnce(workers_ ? std::min(jobs_, static_cast<int>(files_.size())) : 1);
    for (int i = 0; i < static_cast<int>(files_.size()); ++i) {
      if (ProcessFile(i) == FileOutcome::Stop) break;
      if (workers_) workers_->Release(i);
    }
    // The outcome is settled with the last file: an abort that comes while the run ends finds
    // every file done, as one at a time, where no events run after the last file.
    counts_.aborted = ws_.AbortRequested;
    if (workers_) EndWorkers();
  } catch (const std::bad_alloc&) {
    StopForMemory(current_);
    counts_.aborted = true;
  }
  workers_.reset();
  Finish();
  ws_.AbortRequested = counts_.aborted;  // a click meanwhile came too late, as on a disabled 中断
  return counts_;
}

void Run::EndWorkers() {
  // Work on files after a stop is abandoned (nothing of it was written): the workers end their
  // files at the next chance, and their work memory goes aside (after large pictures the system
  // takes a while to take back a few hundred megabytes), while the host's events go on.
  const auto pump = [this] { host_.PumpEvents(); };
  workers_->Stop(pump);
  std::unique_ptr<WorkAhead> ended = std::move(workers_);
  RunAside([&ended] { ended.reset(); }, pump);
}

bool Run::StopOnYes(QuestionKind kind, const std::string& question) {
  if (!host_.AskYesNo(kind, question)) return false;
  ws_.AbortRequested = true;
  host_.AddMemoLine(text::kMemoAborted);
  return true;
}

FileOutcome Run::AskAboutFailure(QuestionKind kind, const std::string& question, const char* memoLine) {
  if (StopOnYes(kind, question)) return FileOutcome::Stop;
  host_.AddMemoLine(memoLine);
  ++counts_.ErrorCount;
  return FileOutcome::Next;
}

FileOutcome Run::OutOfMemory(const std::string& path) {
  host_.ShowNotice(NoticeKind::OutOfMemory, Format(text::kOutOfMemory, path.c_str()));
  return AskAboutFailure(QuestionKind::Decode, Format(text::kAskDecode, path.c_str()), text::kMemoDecode);
}

void Run::StopForMemory(const std::string& path) {
  // Only the picture operations report memory as a value; anywhere else the run cannot go on, but
  // it still ends as stopped, so that the host goes back to its idle state.
  host_.ShowNotice(NoticeKind::OutOfMemory, Format(text::kOutOfMemory, path.c_str()));
  ws_.AbortRequested = true;
  host_.AddMemoLine(text::kMemoAborted);
}

FileOutcome Run::ProcessFile(int index) {
  const std::string& path = files_[static_cast<std::size_t>(index)];
  const int total = static_cast<int>(files_.size());

  current_ = path;
  host_.FileStarting(index, total);
  host_.AddMemoLine(path);
  host_.PumpEvents();
  if (ws_.AbortRequested) return StopForAbort();

  // The work up to the first question: here, or already done by a worker and told now, in order.
  FileWork work;
  std::string errorText;
  std::vector<std::string> lines;
  if (workers_) {
    const WorkAhead::Result* ahead = TakeAhead(index);
    if (!ahead) return StopForAbort();
    work = ahead->work;
    errorText = ahead->errorText;
    lines = ahead->memoLines;
  } else {
    RunWorkHost direct(host_);
    try {
      const CropPosition place = places_.empty() ? kCentred : places_[static_cast<std::size_t>(index)];
      work = DoFileWork(ws_, path, pair_, direct, place);
    } catch (const std::bad_alloc&) {
      work.end = FileWorkEnd::OutOfMemory;
    }
    errorText = ws_.ErrorText;
  }
  switch (work.end) {
    case FileWorkEnd::Ready:
      break;
    case FileWorkEnd::Skipped:
      ++counts_.SkipCount;
      return FileOutcome::Next;
    case FileWorkEnd::Failed:
      if (!work.reason.empty()) host_.ShowFailureReason(work.reason);
      return AskAboutFailure(work.question, work.questionText, work.memoLine);
    case FileWorkEnd::ReductionAborted:
      ws_.AbortRequested = true;
      host_.AddMemoLine(text::kMemoAborted);
      host_.AddMemoLine(errorText);
      host_.SetStatusText(errorText);
      return FileOutcome::Stop;
    case FileWorkEnd::OutOfMemory:
      return OutOfMemory(path);
    case FileWorkEnd::Cancelled:
      // The host ended the work; nothing of this file is used. One at a time, that was the abort:
      // the stop is told as a run on workers tells it when it stops waiting for the file.
      return workers_ ? FileOutcome::Stop : StopForAbort();
  }

  // No name is left for a HEIF input whose output would replace another input's.
  const std::string& outputName = outputNames_[static_cast<std::size_t>(index)];
  if (outputName.empty())
    return AskAboutFailure(QuestionKind::BadName, Format(text::kAskBadName, path.c_str()), text::kMemoBadName);
  const std::string outputPath = ComposeOutputPath(outputName, in_, out_);
  const std::string askSave = Format(text::kAskSave, outputPath.c_str());
  if (outputPath.size() > kMaxOutputPathBytes) {
    // Cut short, the path would name another file, or one in another folder: nothing is written.
    host_.AddMemoLine(text::kMemoNameTooLong);
    host_.ShowFailureReason(std::strerror(ENAMETOOLONG));
    return AskAboutFailure(QuestionKind::Save, askSave, text::kMemoSave);
  }

  if (!overwriteAllowed_ && FileExists(outputPath)) {
    if (StopOnYes(QuestionKind::ExistingFile, Format(text::kAskExisting, outputPath.c_str()))) return FileOutcome::Stop;
    overwriteAllowed_ = true;  // from now on, until the end of this run
  }

  std::string reason;
  const JpegMarkers markers =
      workers_ ? JpegMarkers{} : OutputMarkers(ws_.InputExif, ws_.WorkBitmap.Width(), ws_.WorkBitmap.Height(), markers_);
  SaveJpegHost saveHost{[this] { return host_.Quality(); },
                        [this](const std::string& message) { host_.ShowNotice(NoticeKind::SaveFailure, message); },
                        &ws_.Sweeps, &ws_.Flushes, ws_.Calls, &reason, &markers};
  saveHost.mayReplace = overwriteAllowed_;
  saveHost.written = &written_;
  saveHost.newFileMode = NewFileModeFor(path);
  bool stopped = false;
  const auto save = [&] {
    return workers_ ? SaveAhead(index, outputPath, work, lines, saveHost, stopped)
                    : SaveDirect(outputPath, saveHost, stopped);
  };
  SaveResult saved = save();
  if (!stopped && saved == SaveResult::TargetExists) {
    // Another run (or anyone) saved there since the look above: asked as if it had been there.
    if (StopOnYes(QuestionKind::ExistingFile, Format(text::kAskExisting, outputPath.c_str()))) return FileOutcome::Stop;
    overwriteAllowed_ = true;
    saveHost.mayReplace = true;
    saved = save();
  }
  if (stopped) return StopForAbort();
  if (saved != SaveResult::Ok) {
    if (!reason.empty() && saved != SaveResult::WriteFailed) host_.ShowFailureReason(reason);  // else in the notice
    return AskAboutFailure(QuestionKind::Save, askSave, text::kMemoSave);
  }

  if (workers_ && overwrites_[static_cast<std::size_t>(index)] >= 0)
    workers_->Written(files_[static_cast<std::size_t>(overwrites_[static_cast<std::size_t>(index)])], index);
  ++counts_.SavedCount;
  const int percent = (index * 100 + 100) / total;
  host_.SetProgress(percent);
  host_.SetStatusText(
      Format(text::kProgressStatus, percent, index + 1, total, counts_.ErrorCount, counts_.SkipCount));
  return FileOutcome::Next;
}

void Run::StartWorkers() {
  // A file that is also the output of another file (an input tree inside the output tree, in any
  // spelling) must be read only after that output is written, exactly as a one-at-a-time run reads it.
  overwrites_ = OutputsOverInputs(files_, in_, out_, outputNames_);
  std::vector<bool> waitForEarlier(files_.size(), false);
  for (const int overwritten : overwrites_)
    if (overwritten >= 0) waitForEarlier[static_cast<std::size_t>(overwritten)] = true;
  const FileWorkSettings settings{ReadSwitches(host_), host_.Quality(), markers_};
  const int jobs = std::min(jobs_, static_cast<int>(files_.size()));
  try {
    workers_ = std::make_unique<WorkAhead>(jobs, files_, std::move(waitForEarlier), pair_, settings, ws_.PumpSlice,
                                           places_);
  } catch (const std::system_error&) {
    // No threads to be had (a process or memory limit): the files are worked on one at a time.
  }
}

FileOutcome Run::StopForAbort() {
  // Nothing of this file or a later one is written: the workers stop where they are.
  if (workers_) workers_->AbortFrom(0);
  host_.ShowNotice(NoticeKind::Aborted, text::kAbortedNotice);
  host_.AddMemoLine(text::kMemoAborted);
  return FileOutcome::Stop;
}

bool Run::PumpAndCheckAbort() {
  host_.PumpEvents();
  return ws_.AbortRequested;
}

const WorkAhead::Result* Run::TakeAhead(int index) {
  // Read where a one-at-a-time run reads them: after the file's start, before its work.
  const WorkAhead::Result* ahead = workers_->Take(index, ReadSwitches(host_), [this] { return PumpAndCheckAbort(); });
  if (ahead)
    for (const std::string& line : ahead->memoLines) host_.AddMemoLine(line);
  return ahead;
}

SaveResult Run::SaveAhead(int index, const std::string& outputPath, const FileWork& work,
                          const std::vector<std::string>& lines, const SaveJpegHost& saveHost, bool& stopped) {
  // Read where SaveJpeg reads it; a picture encoded with another quality is made again.
  const WorkAhead::Result* ahead =
      workers_->TakeEncodedWith(index, host_.Quality(), [this] { return PumpAndCheckAbort(); });
  if (!ahead) {
    stopped = true;
    return SaveResult::Ok;
  }
  // Made again, the picture must be the one the run has told about; a file changed on disk since
  // gives another, which fails as an encode that gave nothing.
  const EncodedJpeg nothing;
  const bool same = ahead->work.end == work.end && ahead->memoLines == lines;
  const EncodedJpeg& encoded = same ? ahead->encoded : nothing;
  // The write (and the flushes it waits for) on a thread of its own; its notices are shown here,
  // in their order, once it has returned, as nothing else is shown in between.
  std::vector<std::string> notices;
  SaveJpegHost aside = saveHost;
  aside.showNotice = [&notices](const std::string& message) { notices.push_back(message); };
  SaveResult saved = SaveResult::Ok;
  RunAside([&] { saved = SaveEncodedJpeg(outputPath, encoded, aside); },
           [this, index] {
             // The abort is seen at the next file's start, as after a save one at a time; the work
             // ahead of it ends at once.
             if (PumpAndCheckAbort()) workers_->AbortFrom(index + 1);
           });
  for (const std::string& notice : notices) saveHost.showNotice(notice);
  return saved;
}

SaveResult Run::SaveDirect(const std::string& outputPath, const SaveJpegHost& saveHost, bool& stopped) {
  // An abort from before (seen once the picture was decoded) still lets this file be saved.
  SaveJpegHost direct = saveHost;
  EventPump pump([this] { host_.PumpEvents(); }, ws_.AbortRequested, ws_.PumpSlice);
  if (!ws_.AbortRequested) direct.cancelled = [&pump] { return pump.ShouldStop(); };
  const SaveResult saved = SaveJpeg(outputPath, ws_.WorkBitmap, ws_.ColorProfile, direct);
  stopped = saved == SaveResult::Stopped;
  return saved;
}

void Run::Finish() {
  // Every picture counted is on disk, its folder entry included, before the count is shown. The
  // flushes wait for the disk: they run aside while the host's events go on.
  std::vector<FolderFlushFailure> unflushed;
  if (!ws_.Flushes.Empty())
    RunAside([this, &unflushed] { unflushed = ws_.Flushes.FlushAll(ws_.Calls ? *ws_.Calls : SystemFileCalls()); },
             [this] { host_.PumpEvents(); });
  // The pictures are written, but a crash could still lose their names: the run does not end clean.
  for (const FolderFlushFailure& failure : unflushed) {
    host_.ShowFailureReason(failure.folder + ": " + std::strerror(failure.error));
    ++counts_.ErrorCount;
  }
  const std::string finalText = Format(counts_.aborted ? text::kAbortedStatus : text::kFinishedStatus,
                                       counts_.SavedCount, counts_.ErrorCount, counts_.SkipCount);
  host_.ShowNotice(NoticeKind::Final, finalText);
  host_.SetStatusText(finalText);
  host_.LeaveRunningState();
}

}  // namespace

std::string ComposeOutputPath(const std::string& path, const std::string& in, const std::string& out) {
  std::string result = out;
  // A byte test: no byte of a multi-byte UTF-8 character is '/', and an output folder may be longer
  // than the texts EndsWithSeparator measures.
  if (out.empty() || out.back() != '/') result += '/';
  return result.append(path, std::min(in.size(), path.size()));
}

RunSummary RunBatch(Workspace& workspace, BatchHost& host, int jobs, WorkThreads threads) {
  return Run(workspace, host, jobs, threads).Execute();
}

}  // namespace phototrim
