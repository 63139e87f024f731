// One file's work: vanished test, load, skip rule, crop and reduction, failures returned as values.
#include "trim/run/one_file_work.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <sys/stat.h>

#include "platform/file_system.h"
#include "trim/codec/heif_decoder.h"
#include "trim/collect/heif_names.h"
#include "trim/codec/jpeg_decoder.h"
#include "trim/geometry/orientation.h"
#include "trim/codec/row_sink.h"
#include "trim/codec/upright_rows.h"
#include "trim/format.h"
#include "trim/geometry/crop.h"
#include "trim/messages.h"
#include "trim/reduce/reduce_high_quality.h"
#include "trim/reduce/reduce_plain.h"
#include "trim/load_result.h"
#include "trim/run/event_pump.h"

namespace phototrim {

namespace {

FileWork Failure(QuestionKind kind, std::string questionText, const char* memoLine, std::string reason = {}) {
  return {FileWorkEnd::Failed, kind, std::move(questionText), memoLine, std::move(reason)};
}

FileWork Ended(FileWorkEnd end) { return {end, QuestionKind::Decode, {}, "", {}}; }

// What becomes of the picture, decided from its header before any pixel is decoded.
enum class Plan {
  Skip,         // too small: the file is only read through for its faults, then skipped
  CropRefused,  // the same, then the crop question
  Keep,         // the kept rectangle as it is (no reduction, or too small to reduce)
  Plain,        // point sampling
  HighQuality,  // area average and sharpening
};

}  // namespace

FileWork DoFileWork(Workspace& ws, const std::string& path, const TargetSize& pair, FileWorkHost& host,
                    CropPosition place) {
  Bitmap& work = ws.WorkBitmap;
  errno = 0;  // a folder where the file was is no failure of the system's
  if (!FileExists(path)) {
    // Gone since the collection is "missing"; still there but out of reach (a folder that may not
    // be searched, a link to nothing or a loop of links) is a file that cannot be read, and why.
    const int error = errno;
    struct stat entry {};
    if (error == ENOENT ? ::lstat(path.c_str(), &entry) != 0 || !S_ISLNK(entry.st_mode)
                        : error != EACCES && error != ELOOP)
      return Failure(QuestionKind::Vanished, Format(text::kAskVanished, path.c_str()), text::kMemoVanished);
    return Failure(QuestionKind::Decode, Format(text::kAskDecode, path.c_str()), text::kMemoDecode,
                   std::strerror(error));
  }

  // The previous picture goes before the next one is read.
  work.SetSize(1, 1);
  ws.ColorProfile.clear();
  ws.InputExif.clear();

  // The host's events run every few milliseconds of decoding and reducing. Its abort stops a
  // high-quality reduction, which the run then reports as a reduction aborted, and any other work
  // only where the host asks for that (AbortEndsWork); its cancel stops any work.
  bool abortStops = false;
  bool stop = false;
  EventPump pump(
      [&] {
        host.PumpEvents();
        stop = host.Cancelled() || ((abortStops || host.AbortEndsWork()) && ws.AbortRequested);
      },
      stop, ws.PumpSlice);
  const auto stopped = [&] {
    return host.Cancelled() || !abortStops ? Ended(FileWorkEnd::Cancelled) : Ended(FileWorkEnd::ReductionAborted);
  };
  const auto decodeFailure = [&](LoadResult result, const std::string& reason) {
    if (result == LoadResult::OutOfMemory) return Ended(FileWorkEnd::OutOfMemory);
    if (result == LoadResult::Stopped) return stopped();
    return Failure(QuestionKind::Decode, Format(text::kAskDecode, path.c_str()), text::kMemoDecode, reason);
  };

  // A HEIF picture is upright as libheif gives it; a JPEG one stands as its EXIF orientation says.
  const bool heif = HasHeifExtension(path);
  JpegDecoder decoder;
  HeifDecoder heifDecoder;
  decoder.SetTick([&pump] { return pump.ShouldStop(); });
  if (heif) {
    if (const LoadResult opened = heifDecoder.OpenFile(path, LoadLimits{}); opened != LoadResult::Ok)
      return decodeFailure(opened, heifDecoder.Reason());
  } else if (const LoadResult opened = decoder.OpenFile(path, LoadLimits{}); opened != LoadResult::Ok) {
    return decodeFailure(opened, decoder.Reason());
  }
  // libjpeg lets go of the saved markers when the decode ends.
  std::vector<std::uint8_t> exif = heif ? heifDecoder.Exif() : decoder.Exif();

  // The upright size, as every viewer shows the picture.
  const OrientationAxes axes = heif ? OrientationAxes{} : AxesOf(decoder.Orientation());
  const int W = heif ? heifDecoder.Width() : axes.turned ? decoder.Height() : decoder.Width();
  const int H = heif ? heifDecoder.Height() : axes.turned ? decoder.Width() : decoder.Height();
  const bool sizeLimit = !host.NoSizeLimit();

  Plan plan = Plan::Keep;
  PixelRect kept{0, 0, W, H};
  PixelSize target;
  std::string cropReason;
  bool notReduced = false;
  if (host.CropToRatio()) {
    if (host.SkipSmall() && SmallPicture(W, H)) {
      plan = Plan::Skip;
    } else {
      ws.ErrorText.clear();
      const CropDecision crop = DecideCrop(W, H, pair, place, sizeLimit);
      if (crop.check == CropCheck::Ok) {
        kept = crop.kept;
      } else {
        plan = Plan::CropRefused;
        if (crop.check == CropCheck::BeyondSizeLimit) cropReason = Format(text::kReasonSizeLimit, PlaneCapacity);
      }
    }
  }
  if (plan == Plan::Keep && host.Reduce()) {
    target = ComputeReductionTarget(kept.width, kept.height, pair);
    if (kept.width < target.width || kept.height < target.height) {
      notReduced = true;  // never enlarged; saved as it is
    } else {
      plan = Plan::Plain;
      if (host.HighQuality()) {
        ws.ErrorText.clear();
        // A refusal falls back to the plain reduction without a word; its reason stays in ErrorText.
        if (!HighQualityRefused(kept.width, kept.height, target.width, target.height, sizeLimit, ws.ErrorText))
          plan = Plan::HighQuality;
      }
    }
  }
  abortStops = plan == Plan::HighQuality;

  // A picture that is skipped or refused is still read through: a damaged file is reported as
  // one, exactly as when every picture was decoded whole.
  // A HEIF picture refused by its size is refused from its boxes alone: its whole decode would cost
  // seconds and a gigabyte first. A small one is decoded for its faults, like a JPEG file.
  const bool readThrough = plan == Plan::Skip || plan == Plan::CropRefused;
  const PixelRect stored = readThrough || heif ? PixelRect{} : StoredRectOf(kept, W, H, axes);
  LoadResult result = LoadResult::Ok;
  if (heif) {
    if (plan != Plan::CropRefused) {
      try {
        result = heifDecoder.Decode();
      } catch (const std::bad_alloc&) {
        result = LoadResult::OutOfMemory;
      }
    }
  } else {
    result = decoder.Start(stored);
  }
  if (result == LoadResult::Ok && readThrough) {
    if (!heif) result = decoder.Finish();
  } else if (result == LoadResult::Ok) {
    const KeptRows rows = heif ? HeifKeptRows(kept) : KeptRowsOf(decoder, stored, axes);
    std::unique_ptr<RowSink> sink;
    try {
      if (plan == Plan::HighQuality) {
        auto reduce = std::make_unique<HighQualityRows>(ws.Planes, work, ws.ScratchBitmap, [&pump] { return pump.ShouldStop(); });
        result = reduce->Begin(rows, target.width, target.height);
        sink = std::move(reduce);
      } else if (plan == Plan::Plain) {
        auto reduce = std::make_unique<PlainRows>(work, ws.ScratchBitmap, [&pump] { return pump.ShouldStop(); });
        result = reduce->Begin(rows, target.width, target.height);
        sink = std::move(reduce);
      } else {
        auto upright = std::make_unique<UprightRows>(work, ws.ScratchBitmap);
        result = upright->Begin(rows);
        sink = std::move(upright);
      }
      // The picture's memory is had before the rows above the kept ones are read: a picture that
      // cannot have it fails as out of memory, whatever the rest of its file holds.
      if (result == LoadResult::Ok) ws.InputExif = std::move(exif);
      if (heif) {
        if (result == LoadResult::Ok) result = HeifRowsInto(heifDecoder, kept, *sink);
        if (result == LoadResult::Ok) ws.ColorProfile = heifDecoder.ColorProfile();
      } else {
        if (result == LoadResult::Ok) result = decoder.SkipToKept();
        if (result == LoadResult::Ok) result = DecodeRowsInto(decoder, *sink);
        if (result == LoadResult::Ok) ws.ColorProfile = decoder.ColorProfile();
      }
    } catch (const std::bad_alloc&) {
      result = LoadResult::OutOfMemory;
    }
  }
  if (result != LoadResult::Ok) {
    work.SetSize(1, 1);
    ws.ColorProfile.clear();
    ws.InputExif.clear();
    return decodeFailure(result, heif ? heifDecoder.Reason() : decoder.Reason());
  }
  // Once a picture is decoded the host's events run once more: a cancel seen here ends the work,
  // and an abort still stops a high-quality reduction, whose picture is then not saved.
  host.PumpEvents();
  if (host.Cancelled()) return Ended(FileWorkEnd::Cancelled);
  if (abortStops && ws.AbortRequested) return Ended(FileWorkEnd::ReductionAborted);

  switch (plan) {
    case Plan::Skip:
      host.AddMemoLine(text::kMemoSkipped);
      return Ended(FileWorkEnd::Skipped);
    case Plan::CropRefused:
      // The crop writes no reason, so the first line of its question stays empty.
      return Failure(QuestionKind::Crop, Format(text::kAskCrop, ws.ErrorText.c_str(), path.c_str()), text::kMemoCrop,
                     cropReason);
    default:
      if (notReduced) host.AddMemoLine(text::kMemoNotReduced);
      return Ended(FileWorkEnd::Ready);
  }
}

}  // namespace phototrim
