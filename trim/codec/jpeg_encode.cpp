// Encodes a Bitmap as a baseline JFIF stream with libjpeg, into a byte sink.
#include "trim/codec/jpeg_encode.h"

#include <algorithm>

#include "trim/codec/jpeg_errors.h"

namespace phototrim {

namespace {

// A write per 64 KB: few system calls, and small next to any photo's working memory.
constexpr std::size_t kBufferBytes = 64 * 1024;
// Rows handed to libjpeg at a time: one MCU row of 2x2-sampled data, the unit it encodes in.
constexpr int kRowsPerCall = 16;
// jpeg_write_icc_profile numbers its APP2 chunks with one byte, and each holds at most 65519 bytes.
constexpr std::size_t kMaxProfileBytes = std::size_t{255} * 65519;

// A libjpeg destination that hands each full buffer to a byte sink. A refused write does not
// return to libjpeg: it jumps back to the frame that called setjmp.
struct SinkDestination {
  jpeg_destination_mgr manager;  // first, so that cinfo->dest converts back
  ByteSink* sink;
  JOCTET* buffer;
};

SinkDestination& DestinationOf(j_compress_ptr cinfo) { return *reinterpret_cast<SinkDestination*>(cinfo->dest); }

void StartDestination(j_compress_ptr cinfo) {
  SinkDestination& dest = DestinationOf(cinfo);
  // From libjpeg's pool for this picture: freed by jpeg_destroy_compress on every path.
  dest.buffer = static_cast<JOCTET*>(
      (*cinfo->mem->alloc_large)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, kBufferBytes));
  dest.manager.next_output_byte = dest.buffer;
  dest.manager.free_in_buffer = kBufferBytes;
}

// Called when the whole buffer is full (libjpeg's contract), whatever free_in_buffer says.
boolean FlushFullBuffer(j_compress_ptr cinfo) {
  SinkDestination& dest = DestinationOf(cinfo);
  if (!dest.sink->Write(dest.buffer, kBufferBytes)) JumpToJpegFailure(reinterpret_cast<j_common_ptr>(cinfo));
  dest.manager.next_output_byte = dest.buffer;
  dest.manager.free_in_buffer = kBufferBytes;
  return TRUE;
}

void FlushRest(j_compress_ptr cinfo) {
  SinkDestination& dest = DestinationOf(cinfo);
  const std::size_t used = kBufferBytes - dest.manager.free_in_buffer;
  if (!dest.sink->Write(dest.buffer, used)) JumpToJpegFailure(reinterpret_cast<j_common_ptr>(cinfo));
}

// Everything the libjpeg work touches lives here, not in the frame that calls setjmp.
struct EncodeJob {
  const Bitmap* picture;
  const std::vector<std::uint8_t>* profile;
  int quality;
  jpeg_compress_struct cinfo;
  JpegErrors errors;
  SinkDestination dest;
};

// The libjpeg work. This frame calls setjmp, so it holds nothing with a destructor.
bool RunEncode(EncodeJob* job) {
  j_compress_ptr cinfo = &job->cinfo;
  // The encoder's only warnings concern odd parameters, which we never set: none is fatal.
  cinfo->err = InitJpegErrors(job->errors, 1 << 30, false);
  if (setjmp(job->errors.jump)) {
    jpeg_destroy_compress(&job->cinfo);
    return false;
  }
  jpeg_create_compress(cinfo);
  job->dest.manager.init_destination = StartDestination;
  job->dest.manager.empty_output_buffer = FlushFullBuffer;
  job->dest.manager.term_destination = FlushRest;
  cinfo->dest = &job->dest.manager;

  const Bitmap& picture = *job->picture;
  cinfo->image_width = static_cast<JDIMENSION>(picture.Width());
  cinfo->image_height = static_cast<JDIMENSION>(picture.Height());
  cinfo->input_components = 3;
  cinfo->in_color_space = JCS_EXT_BGR;  // our rows as they are; libjpeg converts to YCbCr
  jpeg_set_defaults(cinfo);
  cinfo->dct_method = JDCT_FLOAT;
  jpeg_set_quality(cinfo, job->quality, TRUE);  // TRUE: every quantiser stays within 1..255
  jpeg_start_compress(cinfo, TRUE);  // writes SOI and the JFIF marker
  if (!job->profile->empty())
    jpeg_write_icc_profile(cinfo, job->profile->data(), static_cast<unsigned>(job->profile->size()));

  const int height = picture.Height();
  while (cinfo->next_scanline < cinfo->image_height) {
    const int first = static_cast<int>(cinfo->next_scanline);
    const int count = std::min(kRowsPerCall, height - first);
    JSAMPROW rows[kRowsPerCall];
    // libjpeg only reads the rows; its interface just lacks the const.
    for (int i = 0; i < count; ++i) rows[i] = const_cast<JSAMPROW>(picture.Row(first + i));
    jpeg_write_scanlines(cinfo, rows, static_cast<JDIMENSION>(count));
  }
  jpeg_finish_compress(cinfo);  // writes EOI and flushes the rest
  jpeg_destroy_compress(cinfo);
  return true;
}

}  // namespace

bool EncodeJpeg(const Bitmap& picture, const std::vector<std::uint8_t>& colorProfile, int quality, ByteSink& sink) {
  if (picture.Width() < 1 || picture.Height() < 1 || colorProfile.size() > kMaxProfileBytes) return false;
  EncodeJob job{};  // zeroed libjpeg structs, for jpeg_destroy_compress after an early error
  job.picture = &picture;
  job.profile = &colorProfile;
  job.quality = quality;
  job.dest.sink = &sink;
  return RunEncode(&job);
}

}  // namespace phototrim
