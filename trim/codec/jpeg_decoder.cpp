// One JPEG decode with libjpeg, row by row, of only the part of the picture that is kept.
#include "trim/codec/jpeg_decoder.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

#include <jerror.h>  // WARNMS, ERREXIT and the message codes

#include "trim/codec/cmyk_rows.h"
#include "trim/codec/exif_orientation.h"
#include "trim/codec/kept_markers.h"
#include "trim/messages.h"
#include "trim/load_result.h"

namespace phototrim {

namespace {

// Generous for a real photo with a few damaged blocks; a crafted file can raise one per block.
constexpr int kMaxWarnings = 100;
// libjpeg's own working memory (the coefficient buffers of progressive and multi-scan files) may
// take 4 bytes for every pixel the limits allow: a 3-component 4:2:0 or 4:2:2 progressive picture
// at the pixel limit fits (3 or 4 bytes a pixel); a file with more or fuller components is refused
// at a smaller size instead of taking gigabytes.
constexpr std::uint64_t kLibjpegBytesPerPixel = 4;
// ...but never less than this, so that small limits (tests, fuzzing) still take ordinary files.
constexpr std::uint64_t kLibjpegMinBytes = std::uint64_t{16} << 20;
// The ICC header's data colour space, bytes 16 to 19.
constexpr std::size_t kIccColourSpaceAt = 16;
// Arithmetic-coded data that runs into a marker is read on as zeros without a warning (the standard
// lets an encoder drop its trailing zero bytes), so a few hundred bytes can claim a picture at the
// pixel limit and be decoded whole: 0.8 GB and seconds of work for nothing. Photos take 1 to 4
// bits a pixel, a heavily blurred one more than 0.05; 1024 pixels a byte (0.008 bits) is far below
// any of them, and Huffman-coded files cannot go past about 512 without running out of data.
constexpr std::uint64_t kMaxArithmeticPixelsPerByte = 1024;
// No JPEG within the pixel limit comes near a gigabyte (photos take a few bits a pixel); a bigger
// file is not read at all.
constexpr std::uint64_t kMaxFileBytes = std::uint64_t{1} << 30;
// Read from the file at a time: a system call per 64 KB, and a chance for the host's events about
// every millisecond of entropy decoding.
constexpr std::size_t kSourceBytes = 64 * 1024;
// The coefficients that libjpeg's block smoothing looks at (DC and the first nine AC ones).
constexpr int kSmoothedCoefficients = 10;

int FirstExifOrientation(j_decompress_ptr cinfo) {
  for (jpeg_saved_marker_ptr marker = cinfo->marker_list; marker != nullptr; marker = marker->next)
    if (marker->marker == JPEG_APP0 + 1 && marker->data_length >= 6 && std::memcmp(marker->data, "Exif\0\0", 6) == 0)
      return ExifOrientation(marker->data, marker->data_length);
  return 1;
}

// Whether cropping columns and skipping rows gives exactly the pixels of the whole decode. Checked
// against whole decodes, window by window, for every case accepted here: Huffman-coded grayscale,
// YCbCr and RGB files with full-resolution chroma and luminance sampled 1 to 4 across and 1 or 2
// down, baseline or progressive, with or without restart markers. A window without margins differs
// at its edges, where the fancy upsampling would use chroma from outside it; with a margin of one
// iMCU it does not. Progressive files whose coefficients never got their last bits are smoothed
// from neighbouring blocks further out than that margin, so they are decoded whole, as is
// everything else (CMYK, arithmetic coding, other samplings).
bool WindowDecodeIsExact(j_decompress_ptr cinfo) {
  if (cinfo->arith_code) return false;
  if (cinfo->num_components == 1) {
    if (cinfo->jpeg_color_space != JCS_GRAYSCALE) return false;
  } else if (cinfo->num_components == 3 && (cinfo->jpeg_color_space == JCS_YCbCr || cinfo->jpeg_color_space == JCS_RGB)) {
    const jpeg_component_info* c = cinfo->comp_info;
    if (c[1].h_samp_factor != 1 || c[1].v_samp_factor != 1 || c[2].h_samp_factor != 1 || c[2].v_samp_factor != 1)
      return false;
    if (c[0].h_samp_factor < 1 || c[0].h_samp_factor > 4 || c[0].v_samp_factor < 1 || c[0].v_samp_factor > 2)
      return false;
  } else {
    return false;
  }
  if (cinfo->progressive_mode && cinfo->do_block_smoothing)
    for (int c = 0; c < cinfo->num_components; ++c)
      for (int k = 0; k < kSmoothedCoefficients; ++k)
        if (cinfo->coef_bits[c][k] != 0) return false;  // -1: never coded; above 0: bits missing
  return true;
}

// Whether every component got its data, once a file of several scans has been read whole. libjpeg
// decodes a component that no scan carried (or, progressive, whose DC never came) from zeros
// without a word: a file cut between two scans and given an end marker, or one that codes only
// its smallest component, a few bits for every thousand pixels, and claims a huge size.
bool EveryComponentCoded(j_decompress_ptr cinfo, const bool* scanned) {
  for (int c = 0; c < cinfo->num_components && c < MAX_COMPONENTS; ++c) {
    // coef_bits is -1 until a scan brings a coefficient's first bits.
    const bool coded = cinfo->progressive_mode ? cinfo->coef_bits[c][0] >= 0 : scanned[c];
    if (!coded) return false;
  }
  return true;
}

}  // namespace

JpegDecoder::JpegDecoder() {
  // The error manager comes first, so that even a failure inside jpeg_create_decompress jumps.
  cinfo_.err = InitJpegErrors(errors_, kMaxWarnings, true);
}

JpegDecoder::~JpegDecoder() {
  // The one place where the libjpeg object goes, on every path: a zeroed one is fine too.
  jpeg_destroy_decompress(&cinfo_);
  std::free(icc_);
  if (fd_ >= 0) ::close(fd_);
}

int JpegDecoder::Width() const { return static_cast<int>(cinfo_.image_width); }
int JpegDecoder::Height() const { return static_cast<int>(cinfo_.image_height); }

LoadResult JpegDecoder::Failed() {
  reason_ = errors_.message;
  return errors_.failure;
}

bool JpegDecoder::Tick() {
  if (!tick_) return false;
  try {
    return tick_();
  } catch (const std::bad_alloc&) {
    tickFailed_ = true;  // the host's events could not run: this file ends as out of memory
    return true;
  }
}

void JpegDecoder::Stop() {
  FailJpeg(reinterpret_cast<j_common_ptr>(&cinfo_), tickFailed_ ? LoadResult::OutOfMemory : LoadResult::Stopped, "");
}

void JpegDecoder::OnProgress(j_common_ptr cinfo) {
  auto* progress = reinterpret_cast<Progress*>(cinfo->progress);
  const auto dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (dinfo->input_scan_number > progress->maxScans) {
    char reason[JMSG_LENGTH_MAX];
    std::snprintf(reason, sizeof reason, text::kReasonTooManyScans, progress->maxScans);
    FailJpeg(cinfo, LoadResult::Failed, reason);
  }
  for (int i = 0; i < dinfo->comps_in_scan && i < MAX_COMPS_IN_SCAN; ++i) {
    const jpeg_component_info* component = dinfo->cur_comp_info[i];
    if (component != nullptr && component->component_index >= 0 && component->component_index < MAX_COMPONENTS)
      progress->coded[component->component_index] = true;
  }
  if (progress->owner->Tick()) progress->owner->Stop();
}

boolean JpegDecoder::FillFromFile(j_decompress_ptr cinfo) {
  auto& source = *reinterpret_cast<FileSource*>(cinfo->src);
  if (source.owner->Tick()) source.owner->Stop();
  ssize_t got = 0;
  if (source.left > 0) {
    do {
      got = ::read(source.fd, source.buffer, static_cast<std::size_t>(std::min<std::uint64_t>(source.left, kSourceBytes)));
    } while (got < 0 && errno == EINTR);
    if (got < 0) FailJpeg(reinterpret_cast<j_common_ptr>(cinfo), LoadResult::Failed, std::strerror(errno));
    source.left -= static_cast<std::uint64_t>(got);
  }
  if (got == 0) {
    // The file ended, or shrank while it was read: as libjpeg's own file source does, warn (which
    // fails the decode) and hand on an end marker.
    if (source.startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    WARNMS(cinfo, JWRN_JPEG_EOF);
    source.buffer[0] = 0xFF;
    source.buffer[1] = JPEG_EOI;
    got = 2;
  }
  source.manager.next_input_byte = source.buffer;
  source.manager.bytes_in_buffer = static_cast<std::size_t>(got);
  source.startOfFile = false;
  return TRUE;
}

void JpegDecoder::SkipInFile(j_decompress_ptr cinfo, long count) {
  jpeg_source_mgr& manager = *cinfo->src;
  while (count > static_cast<long>(manager.bytes_in_buffer)) {
    count -= static_cast<long>(manager.bytes_in_buffer);
    FillFromFile(cinfo);  // fills at least 2 bytes, or fails
  }
  if (count > 0) {
    manager.next_input_byte += count;
    manager.bytes_in_buffer -= static_cast<std::size_t>(count);
  }
}

LoadResult JpegDecoder::OpenFile(const std::string& path, const LoadLimits& limits) {
  // O_NONBLOCK: opening a named pipe must not wait for a writer; it is refused just below.
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0) {
    reason_ = std::strerror(errno);
    return LoadResult::Failed;
  }
  struct stat st {};
  if (::fstat(fd_, &st) != 0) {
    reason_ = std::strerror(errno);
    return LoadResult::Failed;
  }
  if (!S_ISREG(st.st_mode)) reason_ = text::kReasonNotRegularFile;
  else if (st.st_size <= 0) reason_ = text::kReasonEmptyFile;
  else if (static_cast<std::uint64_t>(st.st_size) > kMaxFileBytes) reason_ = text::kReasonFileTooLarge;
  if (!reason_.empty()) return LoadResult::Failed;
  source_.owner = this;
  source_.fd = fd_;
  source_.left = static_cast<std::uint64_t>(st.st_size);
  source_.startOfFile = true;
  source_.manager.init_source = [](j_decompress_ptr) {};
  source_.manager.fill_input_buffer = FillFromFile;
  source_.manager.skip_input_data = SkipInFile;
  source_.manager.resync_to_restart = jpeg_resync_to_restart;
  source_.manager.term_source = [](j_decompress_ptr) {};
  return KeepProfile(ReadHeader(limits, source_.left));
}

LoadResult JpegDecoder::KeepProfile(LoadResult read) {
  if (read != LoadResult::Ok || icc_ == nullptr) return read;
  try {
    profile_.assign(icc_, icc_ + iccSize_);
  } catch (const std::bad_alloc&) {
    read = LoadResult::OutOfMemory;
  }
  std::free(icc_);
  icc_ = nullptr;
  return read;
}

LoadResult JpegDecoder::OpenMemory(const std::uint8_t* data, std::size_t size, const LoadLimits& limits) {
  if (size == 0) {
    reason_ = text::kReasonEmptyFile;
    return LoadResult::Failed;
  }
  source_.fd = -1;
  memory_ = data;
  return KeepProfile(ReadHeader(limits, size));
}

LoadResult JpegDecoder::ReadHeader(const LoadLimits& limits, std::uint64_t streamBytes) {
  // This frame calls setjmp: it holds nothing with a destructor, and what it sets lives in members.
  if (setjmp(errors_.jump)) return Failed();
  jpeg_create_decompress(&cinfo_);
  const std::uint64_t budget = std::clamp<std::uint64_t>(limits.maxPixels * kLibjpegBytesPerPixel, kLibjpegMinBytes,
                                                         static_cast<std::uint64_t>(std::numeric_limits<long>::max()));
  cinfo_.mem->max_memory_to_use = static_cast<long>(budget);
  progress_.manager.progress_monitor = OnProgress;
  progress_.owner = this;
  progress_.maxScans = limits.maxScans;
  cinfo_.progress = &progress_.manager;
  if (source_.fd >= 0) {
    source_.buffer = static_cast<JOCTET*>(
        (*cinfo_.mem->alloc_large)(reinterpret_cast<j_common_ptr>(&cinfo_), JPOOL_PERMANENT, kSourceBytes));
    cinfo_.src = &source_.manager;
  } else {
    jpeg_mem_src(&cinfo_, memory_, static_cast<unsigned long>(streamBytes));
  }
  KeepOnlyUsedMarkers(&cinfo_);
  jpeg_read_header(&cinfo_, TRUE);

  // The size check comes before any pixel memory: a few bytes of header can claim gigapixels.
  const std::uint64_t pixels = std::uint64_t{cinfo_.image_width} * cinfo_.image_height;
  if (pixels > limits.maxPixels) {
    char reason[JMSG_LENGTH_MAX];
    std::snprintf(reason, sizeof reason, text::kReasonTooManyPixels, cinfo_.image_width, cinfo_.image_height,
                  static_cast<unsigned long long>(limits.maxPixels));
    FailJpeg(reinterpret_cast<j_common_ptr>(&cinfo_), LoadResult::Failed, reason);
  }
  if (cinfo_.arith_code && pixels > kMaxArithmeticPixelsPerByte * streamBytes)
    FailJpeg(reinterpret_cast<j_common_ptr>(&cinfo_), LoadResult::Failed, text::kReasonTooLittleData);
  orientation_ = FirstExifOrientation(&cinfo_);
  jpeg_read_icc_profile(&cinfo_, &icc_, &iccSize_);  // leaves icc_ null when there is none
  // Only an RGB profile describes the output; a grayscale or CMYK one would mislead a viewer.
  // It is copied by KeepProfile, outside this frame.
  if (icc_ != nullptr && (iccSize_ < kIccColourSpaceAt + 4 || std::memcmp(icc_ + kIccColourSpaceAt, "RGB ", 4) != 0)) {
    std::free(icc_);
    icc_ = nullptr;
  }
  return LoadResult::Ok;
}

std::vector<std::uint8_t> JpegDecoder::Exif() const {
  for (jpeg_saved_marker_ptr marker = cinfo_.marker_list; marker != nullptr; marker = marker->next)
    if (marker->marker == JPEG_APP0 + 1 && marker->data_length >= 6 && std::memcmp(marker->data, "Exif\0\0", 6) == 0)
      return {marker->data + 6, marker->data + marker->data_length};
  return {};
}

LoadResult JpegDecoder::Start(const PixelRect& kept) {
  if (setjmp(errors_.jump)) return Failed();
  cmyk_ = cinfo_.jpeg_color_space == JCS_CMYK || cinfo_.jpeg_color_space == JCS_YCCK;
  // libjpeg writes BGR (grayscale as three equal channels) straight into our rows; CMYK it cannot
  // turn into RGB itself, so that comes out as CMYK and is converted row by row.
  cinfo_.out_color_space = cmyk_ ? JCS_CMYK : JCS_EXT_BGR;
  cinfo_.dct_method = JDCT_FLOAT;
  // A file of several scans is read whole here, before the first row comes out.
  jpeg_start_decompress(&cinfo_);
  if (jpeg_has_multiple_scans(&cinfo_) && !EveryComponentCoded(&cinfo_, progress_.coded))
    FailJpeg(reinterpret_cast<j_common_ptr>(&cinfo_), LoadResult::Failed, text::kReasonComponentMissing);

  const int width = static_cast<int>(cinfo_.output_width);
  keptEnd_ = kept.y + kept.height;
  windowOnly_ = WindowDecodeIsExact(&cinfo_);
  int firstRow = 0;  // the first row decoded
  decodedLeft_ = 0;
  decodedWidth_ = width;
  if (windowOnly_) {
    // One iMCU (the unit of the sampling: 8 pixels times the largest sampling factor) of margin.
    const int across = DCTSIZE * cinfo_.max_h_samp_factor;
    const int down = DCTSIZE * cinfo_.max_v_samp_factor;
    const int left = std::max(0, kept.x - across);
    const int right = std::min(width, kept.x + std::max(kept.width, 1) + across);
    JDIMENSION x = static_cast<JDIMENSION>(left), w = static_cast<JDIMENSION>(right - left);
    jpeg_crop_scanline(&cinfo_, &x, &w);  // moves x down to an iMCU boundary
    decodedLeft_ = static_cast<int>(x);
    decodedWidth_ = static_cast<int>(w);
    firstRow = kept.y - down <= 0 ? 0 : (kept.y - down) / down * down;
  }
  const int components = cmyk_ ? 4 : 3;
  spareRows_ = (*cinfo_.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo_), JPOOL_IMAGE,
                                           static_cast<JDIMENSION>(decodedWidth_ * components), kMaxRowsPerRead);
  firstRow_ = firstRow;
  keptTop_ = kept.y;
  return LoadResult::Ok;
}

LoadResult JpegDecoder::SkipToKept() {
  if (setjmp(errors_.jump)) return Failed();
  MoveToKept();
  return LoadResult::Ok;
}

void JpegDecoder::MoveToKept() {
  if (firstRow_ > 0 && cinfo_.output_scanline == 0) jpeg_skip_scanlines(&cinfo_, static_cast<JDIMENSION>(firstRow_));
  Discard(keptTop_ - static_cast<int>(cinfo_.output_scanline));
}

void JpegDecoder::Discard(int count) {
  while (count > 0) {
    if (Tick()) Stop();
    const int got = static_cast<int>(
        jpeg_read_scanlines(&cinfo_, spareRows_, static_cast<JDIMENSION>(std::min(count, kMaxRowsPerRead))));
    count -= got;
  }
}

LoadResult JpegDecoder::ReadKeptRows(std::uint8_t* const* rows, int count, int& got) {
  got = 0;
  if (setjmp(errors_.jump)) return Failed();
  MoveToKept();
  const int row = static_cast<int>(cinfo_.output_scanline);
  const int wanted = std::min({count, kMaxRowsPerRead, keptEnd_ - row});
  if (wanted <= 0) return LoadResult::Ok;
  if (Tick()) Stop();
  JSAMPROW targets[kMaxRowsPerRead];
  for (int i = 0; i < wanted; ++i) targets[i] = cmyk_ ? spareRows_[i] : rows[i];
  const int read = static_cast<int>(jpeg_read_scanlines(&cinfo_, targets, static_cast<JDIMENSION>(wanted)));
  if (cmyk_)
    for (int i = 0; i < read; ++i) CmykRowToBgr(spareRows_[i], rows[i], decodedWidth_, cinfo_.saw_Adobe_marker);
  got = read;
  return LoadResult::Ok;
}

LoadResult JpegDecoder::Finish() {
  if (setjmp(errors_.jump)) return Failed();
  const int rest = static_cast<int>(cinfo_.output_height - cinfo_.output_scanline);
  // Skipping to the very end would only mark the data as read; skipping all but the last row
  // entropy-decodes it, and reading that row brings the decoder to the end of the data, where
  // finishing reads on to the end marker. Faults anywhere in the file are thus found.
  if (windowOnly_ && rest > 1) jpeg_skip_scanlines(&cinfo_, static_cast<JDIMENSION>(rest - 1));
  Discard(static_cast<int>(cinfo_.output_height - cinfo_.output_scanline));
  jpeg_finish_decompress(&cinfo_);
  return LoadResult::Ok;
}

}  // namespace phototrim
