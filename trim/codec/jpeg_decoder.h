// One JPEG decode with libjpeg, row by row, of only the part of the picture that is kept: the owner
// of the decompress object, which it destroys in one place, its destructor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "trim/bitmap.h"
#include "trim/codec/jpeg_errors.h"
#include "trim/codec/load_limits.h"
#include "trim/load_result.h"

namespace phototrim {

// Decoder settings: full size, float IDCT, block smoothing and fancy upsampling on (libjpeg's
// defaults), rows of blue, green, red; grayscale widened, Adobe CMYK and YCCK made RGB.
//
// Start() decodes only what the kept rectangle needs where that is proven to give exactly the
// pixels of a whole decode: the columns with one iMCU of margin on each side (jpeg_crop_scanline),
// and the rows from an iMCU boundary at least one iMCU above the kept rows (jpeg_skip_scanlines).
// Files where that is not proven are decoded whole. Either way every byte of the file is read and
// entropy-decoded, so a file fails exactly when its whole decode would.
class JpegDecoder {
 public:
  JpegDecoder();
  ~JpegDecoder();
  JpegDecoder(const JpegDecoder&) = delete;
  JpegDecoder& operator=(const JpegDecoder&) = delete;

  // Asked at every chance the decode gives to let the host's events run (often: the answer should
  // be cheap when there is nothing to do); true stops the decode, which then returns Stopped.
  void SetTick(std::function<bool()> tick) { tick_ = std::move(tick); }

  // Opens the regular file at `path` (its bytes as they are) or takes `data`, and reads the header
  // within the limits. Ok, Failed (Reason() says why), OutOfMemory or Stopped.
  LoadResult OpenFile(const std::string& path, const LoadLimits& limits);
  LoadResult OpenMemory(const std::uint8_t* data, std::size_t size, const LoadLimits& limits);

  // From the header, once opened.
  int Width() const;   // as stored
  int Height() const;
  int Orientation() const { return orientation_; }  // EXIF, 1 when there is none
  const std::vector<std::uint8_t>& ColorProfile() const { return profile_; }  // an RGB ICC profile, or empty
  std::vector<std::uint8_t> Exif() const;  // the first Exif block, from its TIFF header on, or empty; before Start

  // Starts the decode of `kept`, a rectangle inside the picture as stored, before any EXIF turn (a
  // height of 0 keeps nothing, to read the file through for its faults alone). Decoded rows hold
  // the columns DecodedLeft() .. DecodedLeft() + DecodedWidth() - 1, which include the kept ones.
  // A file of several scans is read whole here.
  LoadResult Start(const PixelRect& kept);
  // Moves to the first kept row (ReadKeptRows does it too, if it has not been done).
  LoadResult SkipToKept();
  int DecodedLeft() const { return decodedLeft_; }
  int DecodedWidth() const { return decodedWidth_; }

  // The next kept rows, top to bottom: up to `count` (at most kMaxRowsPerRead) into `rows`, each
  // DecodedWidth() * 3 bytes. `got` says how many came; 0 once every kept row is out.
  static constexpr int kMaxRowsPerRead = 16;
  LoadResult ReadKeptRows(std::uint8_t* const* rows, int count, int& got);

  // After the kept rows: reads and decodes the rest of the file as far as is needed to find any
  // fault in it, and ends the decode.
  LoadResult Finish();

  // Why the last call failed: libjpeg's own message, the system's, or ours.
  const std::string& Reason() const { return reason_; }

 private:
  LoadResult ReadHeader(const LoadLimits& limits, std::uint64_t streamBytes);
  // Copies an RGB ICC profile that the header had, after a successful `read`.
  LoadResult KeepProfile(LoadResult read);
  LoadResult Failed();
  // Lets the host's events run; true when the decode is to stop. Never throws.
  bool Tick();
  [[noreturn]] void Stop();
  // Reads and throws away `count` rows.
  void Discard(int count);
  // Skips and reads to the first kept row; nothing once there.
  void MoveToKept();
  static void OnProgress(j_common_ptr cinfo);
  static boolean FillFromFile(j_decompress_ptr cinfo);
  static void SkipInFile(j_decompress_ptr cinfo, long count);

  // A progress monitor: limits the scans of a progressive file (each costs a pass over every
  // block, so a few kilobytes of tiny scans could keep us busy for minutes), notes which
  // components the scans carried, and lets the host's events run while libjpeg reads the scans.
  struct Progress {
    jpeg_progress_mgr manager;  // first, so that cinfo->progress converts back
    JpegDecoder* owner;
    int maxScans;
    bool coded[MAX_COMPONENTS];
  };
  // A source that reads the file a buffer at a time, never more than the size it had when opened.
  struct FileSource {
    jpeg_source_mgr manager;  // first, so that cinfo->src converts back
    JpegDecoder* owner;
    int fd;
    std::uint64_t left;
    JOCTET* buffer;
    bool startOfFile;
  };

  jpeg_decompress_struct cinfo_{};  // zeroed: jpeg_destroy_decompress needs that before create
  JpegErrors errors_{};
  Progress progress_{};
  FileSource source_{};
  int fd_ = -1;
  const std::uint8_t* memory_ = nullptr;  // the stream, when it is in memory
  std::function<bool()> tick_;
  bool tickFailed_ = false;  // the tick ran out of memory
  std::string reason_;

  int orientation_ = 1;
  JOCTET* icc_ = nullptr;  // from jpeg_read_icc_profile (malloc), until copied
  unsigned iccSize_ = 0;
  std::vector<std::uint8_t> profile_;

  bool cmyk_ = false;
  bool windowOnly_ = false;
  int decodedLeft_ = 0;
  int decodedWidth_ = 0;
  int keptTop_ = 0;            // the first kept row
  int keptEnd_ = 0;            // the row after the last kept one
  int firstRow_ = 0;           // the first row decoded: an iMCU boundary above the kept ones
  JSAMPARRAY spareRows_ = nullptr;  // rows thrown away, and CMYK rows before they are made RGB
};

}  // namespace phototrim
