// Thumbnails by libjpeg's DCT scaling: a 1/8-scale decode reads a tenth of the work of a full one.
#include "trim/thumbs/thumbnail_decode.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "trim/codec/exif_orientation.h"
#include "trim/codec/jpeg_errors.h"
#include "trim/codec/orientation.h"
#include "trim/result_codes.h"

namespace phototrim {

namespace {

constexpr int kMaxWarnings = 100;
constexpr std::uint64_t kMaxPixels = std::uint64_t{1} << 28;  // as for a run: refused from the header
constexpr long kLibjpegMemory = 256L << 20;  // a progressive picture's coefficients, at most

// Everything the frame that calls setjmp touches lives here: nothing with a destructor.
struct ScaledDecode {
  jpeg_decompress_struct cinfo;
  JpegErrors errors;
  std::FILE* file = nullptr;
  bool created = false;
  int orientation = 1;
  int width = 0, height = 0;  // stored, whole
  int scaledWidth = 0, scaledHeight = 0;
  unsigned char* pixels = nullptr;  // BGR rows of the scaled picture, malloc'ed
};

int Orientation(j_decompress_ptr cinfo) {
  for (jpeg_saved_marker_ptr marker = cinfo->marker_list; marker != nullptr; marker = marker->next)
    if (marker->marker == JPEG_APP0 + 1 && marker->data_length >= 6 && std::memcmp(marker->data, "Exif\0\0", 6) == 0)
      return ExifOrientation(marker->data, marker->data_length);
  return 1;
}

int Decode(ScaledDecode& job, int longSide) {
  if (setjmp(job.errors.jump)) return job.errors.failure != 0 ? job.errors.failure : kLoadFailed;
  jpeg_create_decompress(&job.cinfo);
  job.created = true;
  job.cinfo.mem->max_memory_to_use = kLibjpegMemory;
  jpeg_stdio_src(&job.cinfo, job.file);
  jpeg_save_markers(&job.cinfo, JPEG_APP0 + 1, 0xFFFF);
  jpeg_read_header(&job.cinfo, TRUE);
  const auto common = reinterpret_cast<j_common_ptr>(&job.cinfo);
  if (std::uint64_t{job.cinfo.image_width} * job.cinfo.image_height > kMaxPixels)
    FailJpeg(common, kLoadFailed, "画素数が多すぎます。");
  if (job.cinfo.jpeg_color_space == JCS_CMYK || job.cinfo.jpeg_color_space == JCS_YCCK)
    FailJpeg(common, kLoadFailed, "CMYKの写真は縮小表示できません。");
  job.orientation = Orientation(&job.cinfo);
  job.width = static_cast<int>(job.cinfo.image_width);
  job.height = static_cast<int>(job.cinfo.image_height);
  job.cinfo.out_color_space = JCS_EXT_BGR;  // our rows; grayscale comes out as three equal channels
  job.cinfo.scale_num = 1;
  job.cinfo.scale_denom = static_cast<unsigned>(ThumbnailScale(std::max(job.width, job.height), longSide));
  job.cinfo.dct_method = JDCT_IFAST;  // a picture to look at, not to print
  jpeg_start_decompress(&job.cinfo);
  job.scaledWidth = static_cast<int>(job.cinfo.output_width);
  job.scaledHeight = static_cast<int>(job.cinfo.output_height);
  const std::size_t stride = static_cast<std::size_t>(job.scaledWidth) * 3;
  job.pixels = static_cast<unsigned char*>(std::malloc(stride * static_cast<std::size_t>(job.scaledHeight)));
  if (job.pixels == nullptr) FailJpeg(common, kOutOfMemory, "メモリが足りません。");
  while (job.cinfo.output_scanline < job.cinfo.output_height) {
    JSAMPROW row = job.pixels + stride * job.cinfo.output_scanline;
    jpeg_read_scanlines(&job.cinfo, &row, 1);
  }
  jpeg_finish_decompress(&job.cinfo);
  return kOk;
}

}  // namespace

int ThumbnailScale(int longest, int longSide) {
  for (const int scale : {8, 4, 2})
    if ((longest + scale - 1) / scale >= longSide) return scale;
  return 1;
}

void TurnUpright(const Bitmap& stored, int orientation, Bitmap& upright) {
  const OrientationAxes axes = AxesOf(orientation);
  const int w = stored.Width(), h = stored.Height();
  const int W = axes.turned ? h : w, H = axes.turned ? w : h;
  upright.SetSize(W, H);
  for (int y = 0; y < H; ++y) {
    std::uint8_t* to = upright.Row(y);
    for (int x = 0; x < W; ++x, to += 3) {
      // A turned picture's upright columns are its stored rows.
      const int along = axes.turned ? y : x, across = axes.turned ? x : y;
      const int column = axes.columnsMirrored ? w - 1 - along : along;
      const int row = axes.rowsReversed ? h - 1 - across : across;
      std::memcpy(to, stored.Row(row) + static_cast<std::size_t>(column) * 3, 3);
    }
  }
}

int DecodeThumbnail(const std::string& path, int longSide, Thumbnail& out, std::string& reason) {
  ScaledDecode job;
  job.cinfo.err = InitJpegErrors(job.errors, kMaxWarnings, true);
  job.file = std::fopen(path.c_str(), "rbe");
  if (job.file == nullptr) {
    reason = std::strerror(errno);
    return kLoadFailed;
  }
  const int result = Decode(job, longSide);
  if (job.created) jpeg_destroy_decompress(&job.cinfo);
  std::fclose(job.file);
  int ended = result;
  if (result == kOk) {
    Bitmap stored;
    ended = kOutOfMemory;
    reason = "メモリが足りません。";
    if (stored.SetSize(job.scaledWidth, job.scaledHeight)) {
      for (int y = 0; y < job.scaledHeight; ++y)
        std::memcpy(stored.Row(y), job.pixels + static_cast<std::size_t>(y) * job.scaledWidth * 3,
                    static_cast<std::size_t>(job.scaledWidth) * 3);
      TurnUpright(stored, job.orientation, out.pixels);
      const bool turned = AxesOf(job.orientation).turned;
      out.width = turned ? job.height : job.width;
      out.height = turned ? job.width : job.height;
      if (out.pixels.Width() == (turned ? job.scaledHeight : job.scaledWidth)) ended = kOk, reason.clear();
    }
  } else {
    reason = job.errors.message;
  }
  std::free(job.pixels);
  return ended;
}

}  // namespace phototrim
