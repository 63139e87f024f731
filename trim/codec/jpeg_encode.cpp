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
// A marker's data: its length field counts itself in 16 bits.
constexpr std::size_t kMaxMarkerBytes = 65533;

// A libjpeg destination that hands each full buffer to a byte sink. A refused write does not
// return to libjpeg: it jumps back to the frame that called setjmp (the sink knows why).
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
  if (!dest.sink->Write(dest.buffer, kBufferBytes)) FailJpeg(reinterpret_cast<j_common_ptr>(cinfo), LoadResult::Failed, "");
  dest.manager.next_output_byte = dest.buffer;
  dest.manager.free_in_buffer = kBufferBytes;
  return TRUE;
}

void FlushRest(j_compress_ptr cinfo) {
  SinkDestination& dest = DestinationOf(cinfo);
  const std::size_t used = kBufferBytes - dest.manager.free_in_buffer;
  if (!dest.sink->Write(dest.buffer, used)) FailJpeg(reinterpret_cast<j_common_ptr>(cinfo), LoadResult::Failed, "");
}

// The owner of one compress object: the error manager is set before jpeg_create_compress, and the
// object is destroyed in one place, the destructor, on every path.
class JpegEncoder {
 public:
  JpegEncoder() {
    // The encoder's only warnings concern odd parameters, which we never set: none is fatal.
    cinfo_.err = InitJpegErrors(errors_, 1 << 30, false);
  }
  ~JpegEncoder() { jpeg_destroy_compress(&cinfo_); }
  JpegEncoder(const JpegEncoder&) = delete;
  JpegEncoder& operator=(const JpegEncoder&) = delete;

  // The libjpeg work. This frame calls setjmp, so it holds nothing with a destructor.
  bool Encode(const Bitmap& picture, const std::vector<std::uint8_t>& profile, int quality, ByteSink& sink,
              const JpegMarkers& markers) {
    if (setjmp(errors_.jump)) return false;
    jpeg_create_compress(&cinfo_);
    dest_.sink = &sink;
    dest_.manager.init_destination = StartDestination;
    dest_.manager.empty_output_buffer = FlushFullBuffer;
    dest_.manager.term_destination = FlushRest;
    cinfo_.dest = &dest_.manager;

    cinfo_.image_width = static_cast<JDIMENSION>(picture.Width());
    cinfo_.image_height = static_cast<JDIMENSION>(picture.Height());
    cinfo_.input_components = 3;
    cinfo_.in_color_space = JCS_EXT_BGR;  // our rows as they are; libjpeg converts to YCbCr
    jpeg_set_defaults(&cinfo_);
    cinfo_.dct_method = JDCT_FLOAT;
    jpeg_set_quality(&cinfo_, quality, TRUE);  // TRUE: every quantiser stays within 1..255
    if (markers.dpi > 0) {
      cinfo_.density_unit = 1;  // dots per inch
      cinfo_.X_density = cinfo_.Y_density = static_cast<UINT16>(markers.dpi);
    }
    jpeg_start_compress(&cinfo_, TRUE);         // writes SOI and the JFIF marker
    if (!markers.exif.empty())
      jpeg_write_marker(&cinfo_, JPEG_APP0 + 1, markers.exif.data(), static_cast<unsigned>(markers.exif.size()));
    if (!profile.empty()) jpeg_write_icc_profile(&cinfo_, profile.data(), static_cast<unsigned>(profile.size()));

    const int height = picture.Height();
    while (cinfo_.next_scanline < cinfo_.image_height) {
      const int first = static_cast<int>(cinfo_.next_scanline);
      const int count = std::min(kRowsPerCall, height - first);
      JSAMPROW rows[kRowsPerCall];
      // libjpeg only reads the rows; its interface just lacks the const.
      for (int i = 0; i < count; ++i) rows[i] = const_cast<JSAMPROW>(picture.Row(first + i));
      jpeg_write_scanlines(&cinfo_, rows, static_cast<JDIMENSION>(count));
    }
    jpeg_finish_compress(&cinfo_);  // writes EOI and flushes the rest
    return true;
  }

 private:
  jpeg_compress_struct cinfo_{};  // zeroed: jpeg_destroy_compress needs that before create
  JpegErrors errors_{};
  SinkDestination dest_{};
};

}  // namespace

bool EncodeJpeg(const Bitmap& picture, const std::vector<std::uint8_t>& colorProfile, int quality, ByteSink& sink,
                const JpegMarkers& markers) {
  if (picture.Width() < 1 || picture.Height() < 1 || colorProfile.size() > kMaxProfileBytes) return false;
  if (markers.exif.size() > kMaxMarkerBytes || markers.dpi > 65535) return false;
  JpegEncoder encoder;
  return encoder.Encode(picture, colorProfile, quality, sink, markers);
}

}  // namespace phototrim
