// One file's work: vanished test, load, skip rule, crop and reduction, failures returned as values.
#include "trim/run/one_file_work.h"

#include "platform/file_system.h"
#include "trim/geometry/crop.h"
#include "trim/run/event_pump.h"
#include "trim/format.h"
#include "trim/codec/jpeg_load.h"
#include "trim/messages.h"
#include "trim/reduce/reduce_high_quality.h"
#include "trim/reduce/reduce_plain.h"
#include "trim/result_codes.h"

namespace phototrim {

namespace {

FileWork Failure(QuestionKind kind, std::string questionText, const char* memoLine) {
  return {FileWorkEnd::Failed, kind, std::move(questionText), memoLine, {}};
}

FileWork Ended(FileWorkEnd end) { return {end, QuestionKind::Decode, {}, "", {}}; }

bool SmallPicture(int W, int H) { return (W <= 320 && H <= 240) || (W <= 240 && H <= 320); }

}  // namespace

FileWork DoFileWork(Workspace& ws, const std::string& path, const TargetSize& pair, FileWorkHost& host) {
  Bitmap& work = ws.WorkBitmap;
  if (!FileExists(path))
    return Failure(QuestionKind::Vanished, Format(text::kAskVanished, path.c_str()), text::kMemoVanished);

  // The previous picture goes before the next one is read.
  work.SetSize(1, 1);
  const int loaded = LoadJpeg(path, work, ws.ScratchBitmap, ws.ColorProfile);
  if (loaded == kOutOfMemory) return Ended(FileWorkEnd::OutOfMemory);
  if (loaded != kOk) return Failure(QuestionKind::Decode, Format(text::kAskDecode, path.c_str()), text::kMemoDecode);
  host.PumpEvents();

  if (host.CropToRatio()) {
    const int W = work.Width(), H = work.Height();
    if (host.SkipSmall() && SmallPicture(W, H)) {
      host.AddMemoLine(text::kMemoSkipped);
      return Ended(FileWorkEnd::Skipped);
    }
    const PixelSize crop = ComputeCropSize(W, H, pair);
    ws.ErrorText.clear();
    // The crop writes no reason, so the first line of its question stays empty.
    if (CropCentered(work, ws.ScratchBitmap, crop.width, crop.height) != kOk)
      return Failure(QuestionKind::Crop, Format(text::kAskCrop, ws.ErrorText.c_str(), path.c_str()), text::kMemoCrop);
  }

  if (host.Reduce()) {
    const int W = work.Width(), H = work.Height();
    const PixelSize target = ComputeReductionTarget(W, H, pair);
    if (W < target.width || H < target.height) {
      host.AddMemoLine(text::kMemoNotReduced);  // never enlarged; saved as it is
      return Ended(FileWorkEnd::Ready);
    }
    int reduced = kReduceRefused;
    if (host.HighQuality()) {
      EventPump pump([&host] { host.PumpEvents(); }, ws.AbortRequested, ws.PumpSlice);
      reduced = ReduceHighQuality(work, target.width, target.height, ws.Planes, ws.ErrorText, pump);
      if (reduced == kReduceAborted) return Ended(FileWorkEnd::ReductionAborted);
      if (reduced == kOutOfMemory) return Ended(FileWorkEnd::OutOfMemory);
    }
    // A refusal of the high-quality reduction falls back to the plain one without a word.
    if (reduced != kOk && ReducePlain(work, ws.ScratchBitmap, target.width, target.height) != kOk)
      return Ended(FileWorkEnd::OutOfMemory);
  }
  return Ended(FileWorkEnd::Ready);
}

}  // namespace phototrim
