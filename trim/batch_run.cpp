// The batch run: start checks, the per-file steps with their questions, and the end of the run.
#include "trim/batch_run.h"

#include <new>
#include <vector>

#include "platform/file_system.h"
#include "platform/path_text.h"
#include "trim/collect_jpeg_files.h"
#include "trim/crop.h"
#include "trim/event_pump.h"
#include "trim/format.h"
#include "trim/jpeg_load.h"
#include "trim/jpeg_save.h"
#include "trim/messages.h"
#include "trim/reduce_high_quality.h"
#include "trim/reduce_plain.h"
#include "trim/result_codes.h"

namespace phototrim {

namespace {

// How one file ended, as far as the loop over the files is concerned.
enum class FileOutcome { Next, Stop };

class Run {
 public:
  Run(Workspace& workspace, BatchHost& host) : ws_(workspace), host_(host) {}

  RunSummary Execute();

 private:
  bool StartChecks();
  FileOutcome ProcessFile(int index);
  // Puts a question; on はい the run is to stop: the abort flag is set and the memo says so.
  bool StopOnYes(QuestionKind kind, const std::string& question);
  // A failure put to the user; はい stops the run, いいえ counts one error and goes on.
  FileOutcome AskAboutFailure(QuestionKind kind, const std::string& question, const char* memoLine);
  FileOutcome OutOfMemory(const std::string& path);
  void Finish();

  Workspace& ws_;
  BatchHost& host_;
  TargetSize pair_;
  std::vector<std::string> files_;
  RunSummary counts_;
  bool OverwriteAllowed_ = false;  // set by いいえ to the existing-file question, for this run
  std::string current_;  // the file being worked on, for a report of memory running out
};

bool Run::StartChecks() {
  if (host_.InputFolder().empty()) {
    host_.ShowNotice(NoticeKind::StartRefused, text::kNoInputFolder);
    return false;
  }
  if (host_.OutputFolder().empty()) {
    host_.ShowNotice(NoticeKind::StartRefused, text::kNoOutputFolder);
    return false;
  }
  if (!host_.CropToRatio() && !host_.Reduce()) {
    host_.ShowNotice(NoticeKind::StartRefused, text::kNoStepChosen);
    return false;
  }
  pair_ = ComputeTargetSize(host_.Size());
  // A fixed size of zero would divide by zero in the crop, a negative one make a crop of negative size.
  if (pair_.LongSide < 1 || pair_.ShortSide < 1) {
    host_.ShowNotice(NoticeKind::StartRefused, text::kFixedSizeNotPositive);
    return false;
  }
  ws_.Counters = {};
  CollectJpegFiles(host_.InputFolder(), files_, ws_.Counters, [this] { return host_.NoSubfolders(); });
  if (ws_.Counters.JpegFileCount <= 0) {
    host_.ShowNotice(NoticeKind::StartRefused, text::kNoJpegFiles);
    return false;
  }
  return true;
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
    for (int i = 0; i < static_cast<int>(files_.size()); ++i)
      if (ProcessFile(i) == FileOutcome::Stop) break;
  } catch (const std::bad_alloc&) {
    // Memory ran out outside the picture operations (which report it as a value): end the run
    // as stopped, so the host goes back to its idle state.
    OutOfMemory(current_);
  }
  Finish();
  counts_.aborted = ws_.AbortRequested;
  return counts_;
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
  ws_.AbortRequested = true;
  host_.AddMemoLine(text::kMemoAborted);
  return FileOutcome::Stop;
}

FileOutcome Run::ProcessFile(int index) {
  const std::string& path = files_[static_cast<std::size_t>(index)];
  const int total = static_cast<int>(files_.size());
  Bitmap& work = ws_.WorkBitmap;

  current_ = path;
  host_.FileStarting(index, total);
  host_.AddMemoLine(path);
  host_.PumpEvents();
  if (ws_.AbortRequested) {
    host_.ShowNotice(NoticeKind::Aborted, text::kAbortedNotice);
    host_.AddMemoLine(text::kMemoAborted);
    return FileOutcome::Stop;
  }
  if (!FileExists(path)) return AskAboutFailure(QuestionKind::Vanished, Format(text::kAskVanished, path.c_str()), text::kMemoVanished);

  // The previous picture goes before the next one is read.
  work.SetSize(1, 1);
  const int loaded = LoadJpeg(path, work, ws_.ScratchBitmap, ws_.ColorProfile);
  if (loaded == kOutOfMemory) return OutOfMemory(path);
  if (loaded != kOk) return AskAboutFailure(QuestionKind::Decode, Format(text::kAskDecode, path.c_str()), text::kMemoDecode);
  host_.PumpEvents();

  if (host_.CropToRatio()) {
    const int W = work.Width(), H = work.Height();
    if (host_.SkipSmall() && ((W <= 320 && H <= 240) || (W <= 240 && H <= 320))) {
      host_.AddMemoLine(text::kMemoSkipped);
      ++counts_.SkipCount;
      return FileOutcome::Next;
    }
    const PixelSize crop = ComputeCropSize(W, H, pair_);
    ws_.ErrorText.clear();
    if (CropCentered(work, ws_.ScratchBitmap, crop.width, crop.height) != kOk) {
      // The crop writes no reason, so the first line of the question stays empty.
      return AskAboutFailure(QuestionKind::Crop, Format(text::kAskCrop, ws_.ErrorText.c_str(), path.c_str()), text::kMemoCrop);
    }
  }

  if (host_.Reduce()) {
    const int W = work.Width(), H = work.Height();
    const PixelSize target = ComputeReductionTarget(W, H, pair_);
    if (W < target.width || H < target.height) {
      host_.AddMemoLine(text::kMemoNotReduced);  // never enlarged; saved as it is
    } else {
      int reduced = kReduceRefused;
      if (host_.HighQuality()) {
        EventPump pump([this] { host_.PumpEvents(); }, ws_.AbortRequested, ws_.PumpSlice);
        reduced = ReduceHighQuality(work, target.width, target.height, ws_.Planes, ws_.ErrorText, pump);
        if (reduced == kReduceAborted) {
          host_.AddMemoLine(text::kMemoAborted);
          host_.AddMemoLine(ws_.ErrorText);
          host_.SetStatusText(ws_.ErrorText);
          return FileOutcome::Stop;
        }
        if (reduced == kOutOfMemory) return OutOfMemory(path);
      }
      // A refusal of the high-quality reduction falls back to the plain one without a word.
      if (reduced != kOk && ReducePlain(work, ws_.ScratchBitmap, target.width, target.height) != kOk)
        return OutOfMemory(path);
    }
  }

  const std::string in = host_.InputFolder();
  if (path.size() < in.size()) return AskAboutFailure(QuestionKind::BadName, Format(text::kAskBadName, path.c_str()), text::kMemoBadName);
  bool cut = false;
  const std::string outputPath = ComposeOutputPath(path, in, host_.OutputFolder(), cut);
  if (cut) host_.AddMemoLine(text::kMemoNameTooLong);

  if (!OverwriteAllowed_ && FileExists(outputPath)) {
    if (StopOnYes(QuestionKind::ExistingFile, Format(text::kAskExisting, outputPath.c_str()))) return FileOutcome::Stop;
    OverwriteAllowed_ = true;  // from now on, until the end of this run
  }

  const SaveJpegHost saveHost{[this] { return host_.Quality(); },
                              [this](const std::string& message) { host_.ShowNotice(NoticeKind::SaveFailure, message); }};
  const int saved = SaveJpeg(outputPath, work, ws_.ColorProfile, saveHost);
  if (saved == kOutOfMemory) return OutOfMemory(outputPath);
  if (saved != kOk) return AskAboutFailure(QuestionKind::Save, Format(text::kAskSave, outputPath.c_str()), text::kMemoSave);

  ++counts_.SavedCount;
  const int percent = (index * 100 + 100) / total;
  host_.SetProgress(percent);
  host_.SetStatusText(
      Format(text::kProgressStatus, percent, index + 1, total, counts_.ErrorCount, counts_.SkipCount));
  return FileOutcome::Next;
}

void Run::Finish() {
  const std::string finalText = Format(ws_.AbortRequested ? text::kAbortedStatus : text::kFinishedStatus,
                                       counts_.SavedCount, counts_.ErrorCount, counts_.SkipCount);
  host_.ShowNotice(NoticeKind::Final, finalText);
  host_.SetStatusText(finalText);
  host_.LeaveRunningState();
}

}  // namespace

std::string ComposeOutputPath(const std::string& path, const std::string& in, const std::string& out, bool& cut) {
  cut = false;
  std::string result = out.substr(0, kMaxPathBytes);
  if (EndsWithSeparator(out) != 1 && result.size() < kMaxPathBytes) result += '/';
  for (std::size_t i = in.size(); i < path.size(); ++i) {
    if (result.size() >= kMaxPathBytes) {
      cut = true;
      break;
    }
    result += path[i];
  }
  return result;
}

RunSummary RunBatch(Workspace& workspace, BatchHost& host) { return Run(workspace, host).Execute(); }

}  // namespace phototrim
