// Thumbnails by libjpeg's DCT scaling: a 1/8-scale decode reads a tenth of the work of a full one.
#include "trim/thumbs/thumbnail_decode.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "trim/codec/cmyk_rows.h"
#include "trim/codec/exif_orientation.h"
#include "trim/codec/jpeg_errors.h"
#include "trim/geometry/orientation.h"
#include "trim/collect/heif_names.h"
#include "trim/thumbs/exif_thumbnail.h"
#include "trim/thumbs/heif_thumbnail.h"
#include "trim/load_result.h"

namespace phototrim {

namespace {

constexpr int kMaxWarnings = 100;
constexpr std::uint64_t kMaxPixels = std::uint64_t{1} << 28;  // as for a run: refused from the header
constexpr long kLibjpegMemory = 256L << 20;  // a progressive picture's coefficients, at most
constexpr int kWholeScale = 1 << 30;  // a longSide that ThumbnailScale answers with 1
constexpr int kBarLevel = 16;  // darker than this in every channel: a bar, not a picture

// Everything the frame that calls setjmp touches lives here: nothing with a destructor.
struct ScaledDecode {
  jpeg_decompress_struct cinfo;
  JpegErrors errors;
  std::FILE* file = nullptr;            // the source: a file, or bytes in memory
  const unsigned char* memory = nullptr;
  unsigned long memorySize = 0;
  bool headerOnly = false;              // stops after the header: size and orientation
  bool created = false;
  int orientation = 1;
  int width = 0, height = 0;  // stored, whole
  int scaledWidth = 0, scaledHeight = 0;
  unsigned char* pixels = nullptr;  // BGR rows of the scaled picture, malloc'ed
  unsigned char* cmykRow = nullptr;  // one row as libjpeg gives CMYK, before it is made BGR; malloc'ed
};

int Orientation(j_decompress_ptr cinfo) {
  for (jpeg_saved_marker_ptr marker = cinfo->marker_list; marker != nullptr; marker = marker->next)
    if (marker->marker == JPEG_APP0 + 1 && marker->data_length >= 6 && std::memcmp(marker->data, "Exif\0\0", 6) == 0)
      return ExifOrientation(marker->data, marker->data_length);
  return 1;
}

// Reads the scans of a progressive file (in buffered-image mode) until every component has had its
// first DC scan, or the file ends; the number of the last scan read. The DC's last bits may still
// be missing (a later refinement scan): a level or less at 1/8, nothing a thumbnail shows.
int ConsumeDcScans(j_decompress_ptr cinfo) {
  bool dc[MAX_COMPONENTS] = {};
  while (true) {
    // The scan whose header was read last, before its data moves the reader on.
    bool firstDc = cinfo->Ss == 0 && cinfo->Ah == 0;
    int scanComponents[MAX_COMPS_IN_SCAN], count = cinfo->comps_in_scan;
    for (int i = 0; i < count; ++i) scanComponents[i] = cinfo->cur_comp_info[i]->component_index;
    int status;
    do status = jpeg_consume_input(cinfo);
    while (status != JPEG_SCAN_COMPLETED && status != JPEG_REACHED_EOI && status != JPEG_SUSPENDED);
    if (status != JPEG_SCAN_COMPLETED) return cinfo->input_scan_number;
    if (firstDc)
      for (int i = 0; i < count; ++i) dc[scanComponents[i]] = true;
    if (std::all_of(dc, dc + cinfo->num_components, [](bool had) { return had; })) return cinfo->input_scan_number;
    // On to the next scan's header.
    do status = jpeg_consume_input(cinfo);
    while (status != JPEG_REACHED_SOS && status != JPEG_REACHED_EOI && status != JPEG_SUSPENDED);
    if (status != JPEG_REACHED_SOS) return cinfo->input_scan_number;
  }
}

LoadResult Decode(ScaledDecode& job, int longSide) {
  if (setjmp(job.errors.jump)) return job.errors.failure;
  jpeg_create_decompress(&job.cinfo);
  job.created = true;
  job.cinfo.mem->max_memory_to_use = kLibjpegMemory;
  if (job.file != nullptr) jpeg_stdio_src(&job.cinfo, job.file);
  else jpeg_mem_src(&job.cinfo, job.memory, job.memorySize);
  jpeg_save_markers(&job.cinfo, JPEG_APP0 + 1, 0xFFFF);
  jpeg_read_header(&job.cinfo, TRUE);
  const auto common = reinterpret_cast<j_common_ptr>(&job.cinfo);
  if (std::uint64_t{job.cinfo.image_width} * job.cinfo.image_height > kMaxPixels)
    FailJpeg(common, LoadResult::Failed, "画素数が多すぎます。");
  job.orientation = Orientation(&job.cinfo);
  job.width = static_cast<int>(job.cinfo.image_width);
  job.height = static_cast<int>(job.cinfo.image_height);
  if (job.headerOnly) return LoadResult::Ok;
  // libjpeg writes BGR (grayscale as three equal channels) into our rows; CMYK it cannot make RGB
  // itself, so that comes as CMYK and is converted as a run converts it.
  const bool cmyk = job.cinfo.jpeg_color_space == JCS_CMYK || job.cinfo.jpeg_color_space == JCS_YCCK;
  job.cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
  job.cinfo.scale_num = 1;
  job.cinfo.scale_denom = static_cast<unsigned>(ThumbnailScale(std::max(job.width, job.height), longSide));
  // A picture to look at, not to print: the fastest ways libjpeg has.
  job.cinfo.dct_method = JDCT_IFAST;
  job.cinfo.do_fancy_upsampling = FALSE;
  job.cinfo.do_block_smoothing = FALSE;
  // At 1/8 a pixel is the mean of its block, its DC coefficient: a progressive file gives that in
  // its first scans, and the rest (most of its data, and of the time) is never read.
  const bool dcOnly = job.cinfo.progressive_mode && job.cinfo.scale_denom == 8;
  job.cinfo.buffered_image = dcOnly ? TRUE : FALSE;
  jpeg_start_decompress(&job.cinfo);
  job.scaledWidth = static_cast<int>(job.cinfo.output_width);
  job.scaledHeight = static_cast<int>(job.cinfo.output_height);
  const std::size_t stride = static_cast<std::size_t>(job.scaledWidth) * 3;
  job.pixels = static_cast<unsigned char*>(std::malloc(stride * static_cast<std::size_t>(job.scaledHeight)));
  if (cmyk) job.cmykRow = static_cast<unsigned char*>(std::malloc(static_cast<std::size_t>(job.scaledWidth) * 4));
  if (job.pixels == nullptr || (cmyk && job.cmykRow == nullptr)) FailJpeg(common, LoadResult::OutOfMemory, "メモリが足りません。");
  if (dcOnly) jpeg_start_output(&job.cinfo, ConsumeDcScans(&job.cinfo));
  while (job.cinfo.output_scanline < job.cinfo.output_height) {
    unsigned char* bgr = job.pixels + stride * job.cinfo.output_scanline;
    JSAMPROW row = cmyk ? job.cmykRow : bgr;
    jpeg_read_scanlines(&job.cinfo, &row, 1);
    if (cmyk) CmykRowToBgr(job.cmykRow, bgr, job.scaledWidth, job.cinfo.saw_Adobe_marker);
  }
  // A progressive file stopped after its DC scans is let go as it stands (destroyed by the caller).
  if (!dcOnly) jpeg_finish_decompress(&job.cinfo);
  return LoadResult::Ok;
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

namespace {

// Runs `job` and takes its pixels, turned upright, into `upright`. Ok, or the failure with `reason`.
LoadResult Run(ScaledDecode& job, int longSide, Bitmap& upright, std::string& reason) {
  job.cinfo.err = InitJpegErrors(job.errors, kMaxWarnings, true);
  LoadResult result = Decode(job, longSide);
  if (job.created) jpeg_destroy_decompress(&job.cinfo);
  if (result != LoadResult::Ok) reason = job.errors.message;
  if (result == LoadResult::Ok && !job.headerOnly) {
    Bitmap stored;
    result = LoadResult::OutOfMemory;
    if (stored.SetSize(job.scaledWidth, job.scaledHeight)) {
      for (int y = 0; y < job.scaledHeight; ++y)
        std::memcpy(stored.Row(y), job.pixels + static_cast<std::size_t>(y) * job.scaledWidth * 3,
                    static_cast<std::size_t>(job.scaledWidth) * 3);
      TurnUpright(stored, job.orientation, upright);
      if (upright.Width() == (AxesOf(job.orientation).turned ? job.scaledHeight : job.scaledWidth)) result = LoadResult::Ok;
    }
    if (result != LoadResult::Ok) reason = "メモリが足りません。";
  }
  std::free(job.pixels);
  std::free(job.cmykRow);
  job.pixels = job.cmykRow = nullptr;
  return result;
}

// A row or column of near-black pixels: the bars of a thumbnail letterboxed into another shape.
bool DarkLine(const Bitmap& picture, bool row, int at) {
  const int length = row ? picture.Width() : picture.Height();
  for (int i = 0; i < length; ++i) {
    const std::uint8_t* pixel = row ? picture.Row(at) + 3 * i : picture.Row(i) + 3 * at;
    if (pixel[0] > kBarLevel || pixel[1] > kBarLevel || pixel[2] > kBarLevel) return false;
  }
  return true;
}

}  // namespace

bool FaithfulThumbnail(const Bitmap& thumbnail, int width, int height) {
  const int w = thumbnail.Width(), h = thumbnail.Height();
  if (w < 1 || h < 1 || width < 1 || height < 1) return false;
  // The same shape within 1 %: |w/h - W/H| <= W/H / 100, in integers.
  const std::int64_t shape = std::int64_t{w} * height, picture = std::int64_t{width} * h;
  if (std::abs(shape - picture) * 100 > picture) return false;
  const bool bars = (DarkLine(thumbnail, true, 0) && DarkLine(thumbnail, true, h - 1)) ||
                    (DarkLine(thumbnail, false, 0) && DarkLine(thumbnail, false, w - 1));
  return !bars;
}

LoadResult DecodeThumbnail(const std::string& path, int longSide, Thumbnail& out, std::string& reason) {
  // A HEIF file is known by its name, as a run knows it.
  if (HasHeifExtension(path)) return DecodeHeifThumbnail(path, longSide, out, reason);
  std::FILE* file = std::fopen(path.c_str(), "rbe");
  if (file == nullptr) {
    reason = std::strerror(errno);
    return LoadResult::Failed;
  }
  ScaledDecode header;
  header.file = file;
  header.headerOnly = true;
  Bitmap unused;
  LoadResult result = Run(header, longSide, unused, reason);
  if (result == LoadResult::Ok) {
    const bool turned = AxesOf(header.orientation).turned;
    out.width = turned ? header.height : header.width;
    out.height = turned ? header.width : header.height;
    // The camera's own thumbnail, where it is large enough and shows the whole picture unchanged.
    const std::vector<std::uint8_t> embedded = ExifThumbnailBytes(path);
    if (!embedded.empty()) {
      ScaledDecode small;
      small.memory = embedded.data();
      small.memorySize = static_cast<unsigned long>(embedded.size());
      Bitmap stored;
      std::string ignored;
      if (Run(small, kWholeScale, stored, ignored) == LoadResult::Ok &&
          std::max(stored.Width(), stored.Height()) >= longSide && FaithfulThumbnail(stored, header.width, header.height)) {
        TurnUpright(stored, header.orientation, out.pixels);
        std::fclose(file);
        return LoadResult::Ok;
      }
    }
    std::rewind(file);
    ScaledDecode scaled;
    scaled.file = file;
    result = Run(scaled, longSide, out.pixels, reason);
  }
  std::fclose(file);
  return result;
}

}  // namespace phototrim
