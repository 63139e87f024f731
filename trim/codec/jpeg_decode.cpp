// Decodes a JPEG stream held in memory into a Bitmap with libjpeg, within the load limits.
#include "trim/codec/jpeg_decode.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "trim/codec/exif_orientation.h"
#include "trim/codec/jpeg_errors.h"
#include "trim/result_codes.h"

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
// Rows asked of libjpeg at a time: fewer calls, and more than the 1 to 4 it may produce together.
constexpr int kRowsPerCall = 16;
// APP1 holds EXIF, APP2 the ICC profile; both are kept whole (a segment is at most 64 KB).
constexpr unsigned kWholeMarker = 0xFFFF;
// The ICC header's data colour space, bytes 16 to 19.
constexpr std::size_t kIccColourSpaceAt = 16;
// Arithmetic-coded data that runs into a marker is read on as zeros without a warning (the standard
// lets an encoder drop its trailing zero bytes), so a few hundred bytes can claim a picture at the
// pixel limit and be decoded whole: 0.8 GB and seconds of work for nothing. Photos take 1 to 4
// bits a pixel, a heavily blurred one more than 0.05; 1024 pixels a byte (0.008 bits) is far below
// any of them, and Huffman-coded files cannot go past about 512 without running out of data.
constexpr std::uint64_t kMaxArithmeticPixelsPerByte = 1024;

// A progress monitor that stops a file with too many scans: each scan of a progressive file
// costs a pass over every block, so a few kilobytes of tiny scans could keep us busy for minutes.
// It also notes which components the scans have carried so far.
struct ScanLimit {
  jpeg_progress_mgr manager;  // first, so that cinfo->progress converts back
  int maxScans;
  bool coded[MAX_COMPONENTS];
};

void CheckScanCount(j_common_ptr common) {
  auto* limit = reinterpret_cast<ScanLimit*>(common->progress);
  const auto cinfo = reinterpret_cast<j_decompress_ptr>(common);
  if (cinfo->input_scan_number > limit->maxScans) JumpToJpegFailure(common);
  for (int i = 0; i < cinfo->comps_in_scan && i < MAX_COMPS_IN_SCAN; ++i) {
    const jpeg_component_info* component = cinfo->cur_comp_info[i];
    if (component != nullptr && component->component_index >= 0 && component->component_index < MAX_COMPONENTS)
      limit->coded[component->component_index] = true;
  }
}

// Whether every component got its data, once a file of several scans has been read whole. libjpeg
// decodes a component that no scan carried (or, progressive, whose DC never came) from zeros
// without a word: a file cut between two scans and given an end marker, or one that codes only
// its smallest component, a few bits for every thousand pixels, and claims a huge size.
bool EveryComponentCoded(j_decompress_ptr cinfo, const ScanLimit& scans) {
  for (int c = 0; c < cinfo->num_components && c < MAX_COMPONENTS; ++c) {
    // coef_bits is -1 until a scan brings a coefficient's first bits.
    const bool coded = cinfo->progressive_mode ? cinfo->coef_bits[c][0] >= 0 : scans.coded[c];
    if (!coded) return false;
  }
  return true;
}

// Everything the libjpeg work touches lives here, not in the frame that calls setjmp.
struct DecodeJob {
  const std::uint8_t* data;
  std::size_t size;
  const LoadLimits* limits;
  Bitmap* work;
  int orientation;
  JOCTET* icc;  // from jpeg_read_icc_profile (malloc); freed by DecodeJpeg
  unsigned iccSize;
  jpeg_decompress_struct cinfo;
  JpegErrors errors;
  ScanLimit scans;
};

// Adobe files store CMYK inverted (255 is no ink), so the usual conversion R = (255-C)(255-K)/255
// becomes R = C*K/255 on the stored values. Rounded to nearest: 255 is odd, so a quotient is never
// exactly halfway, and adding 127 before the integer division rounds it.
void CmykRowToBgr(const JSAMPLE* cmyk, std::uint8_t* bgr, int width, bool inverted) {
  for (int x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
    unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
    if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
    bgr[0] = static_cast<std::uint8_t>((y * k + 127) / 255);
    bgr[1] = static_cast<std::uint8_t>((m * k + 127) / 255);
    bgr[2] = static_cast<std::uint8_t>((c * k + 127) / 255);
  }
}

int FirstExifOrientation(j_decompress_ptr cinfo) {
  for (jpeg_saved_marker_ptr marker = cinfo->marker_list; marker != nullptr; marker = marker->next)
    if (marker->marker == JPEG_APP0 + 1 && marker->data_length >= 6 && std::memcmp(marker->data, "Exif\0\0", 6) == 0)
      return ExifOrientation(marker->data, marker->data_length);
  return 1;
}

// The libjpeg work. This frame calls setjmp, so it holds nothing with a destructor; error_exit,
// the premature-end warning and the scan limit all land back here. Returns kOk or a failure code.
int RunDecode(DecodeJob* job) {
  j_decompress_ptr cinfo = &job->cinfo;
  cinfo->err = InitJpegErrors(job->errors, kMaxWarnings, true);
  if (setjmp(job->errors.jump)) {
    jpeg_destroy_decompress(&job->cinfo);
    return kLoadFailed;
  }
  jpeg_create_decompress(cinfo);
  const std::uint64_t budget = std::clamp<std::uint64_t>(job->limits->maxPixels * kLibjpegBytesPerPixel,
                                                         kLibjpegMinBytes, std::numeric_limits<long>::max());
  cinfo->mem->max_memory_to_use = static_cast<long>(budget);
  job->scans.manager.progress_monitor = CheckScanCount;
  job->scans.maxScans = job->limits->maxScans;
  cinfo->progress = &job->scans.manager;

  jpeg_mem_src(cinfo, job->data, static_cast<unsigned long>(job->size));
  jpeg_save_markers(cinfo, JPEG_APP0 + 1, kWholeMarker);
  jpeg_save_markers(cinfo, JPEG_APP0 + 2, kWholeMarker);
  jpeg_read_header(cinfo, TRUE);

  // The size check comes before any pixel memory: a few bytes of header can claim gigapixels.
  const std::uint64_t pixels = static_cast<std::uint64_t>(cinfo->image_width) * cinfo->image_height;
  if (pixels > job->limits->maxPixels || (cinfo->arith_code && pixels > kMaxArithmeticPixelsPerByte * job->size)) {
    jpeg_destroy_decompress(cinfo);
    return kLoadFailed;
  }
  job->orientation = FirstExifOrientation(cinfo);
  jpeg_read_icc_profile(cinfo, &job->icc, &job->iccSize);  // leaves icc null when there is none

  const bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
  // libjpeg writes BGR (grayscale as three equal channels) straight into our rows; CMYK it cannot
  // turn into RGB itself, so that comes out as CMYK and is converted row by row.
  cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
  cinfo->dct_method = JDCT_FLOAT;
  jpeg_calc_output_dimensions(cinfo);
  const int width = static_cast<int>(cinfo->output_width), height = static_cast<int>(cinfo->output_height);
  if (!job->work->Reset(width, height)) {
    jpeg_destroy_decompress(cinfo);
    return kOutOfMemory;
  }
  JSAMPARRAY cmykRows = nullptr;
  if (cmyk)
    cmykRows = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                           static_cast<JDIMENSION>(width) * 4, kRowsPerCall);

  // A file of several scans is read whole here, before the first row comes out.
  jpeg_start_decompress(cinfo);
  if (jpeg_has_multiple_scans(cinfo) && !EveryComponentCoded(cinfo, job->scans)) {
    jpeg_destroy_decompress(cinfo);
    return kLoadFailed;
  }
  while (cinfo->output_scanline < cinfo->output_height) {
    const int first = static_cast<int>(cinfo->output_scanline);
    const int wanted = std::min(kRowsPerCall, height - first);
    JSAMPROW rows[kRowsPerCall];
    for (int i = 0; i < wanted; ++i) rows[i] = cmyk ? cmykRows[i] : job->work->Row(first + i);
    const int got = static_cast<int>(jpeg_read_scanlines(cinfo, rows, static_cast<JDIMENSION>(wanted)));
    if (cmyk)
      for (int i = 0; i < got; ++i) CmykRowToBgr(cmykRows[i], job->work->Row(first + i), width, cinfo->saw_Adobe_marker);
  }
  jpeg_finish_decompress(cinfo);
  jpeg_destroy_decompress(cinfo);
  return kOk;
}

}  // namespace

int DecodeJpeg(const std::uint8_t* data, std::size_t size, const LoadLimits& limits, Bitmap& work,
               int& orientation, std::vector<std::uint8_t>& colorProfile) {
  colorProfile.clear();
  orientation = 1;
  // Value-initialised: the libjpeg structs start zeroed, which jpeg_destroy_decompress relies on
  // when an error comes before jpeg_create_decompress has finished.
  DecodeJob job{};
  job.data = data;
  job.size = size;
  job.limits = &limits;
  job.work = &work;
  job.orientation = 1;
  int result = RunDecode(&job);

  if (result == kOk) {
    orientation = job.orientation;
    // Only an RGB profile describes the output; a grayscale or CMYK one would mislead a viewer.
    if (job.icc != nullptr && job.iccSize >= kIccColourSpaceAt + 4 &&
        std::memcmp(job.icc + kIccColourSpaceAt, "RGB ", 4) == 0) {
      try {
        colorProfile.assign(job.icc, job.icc + job.iccSize);
      } catch (const std::bad_alloc&) {
        result = kOutOfMemory;
      }
    }
  }
  std::free(job.icc);
  return result;
}

}  // namespace phototrim
