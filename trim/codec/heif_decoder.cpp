// The HEIF decode: libheif's primary image, upright, 8-bit RGB, alpha over white, colour and Exif.
#include "trim/codec/heif_decoder.h"

#include <fcntl.h>
#include <libheif/heif.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <thread>

#include "trim/codec/heif_coded_sizes.h"
#include "trim/codec/nclx_profile.h"
#include "trim/format.h"
#include "trim/messages.h"
#include "trim/load_result.h"

namespace phototrim {

namespace {

// Files larger than this are refused before reading, as JPEG files are.
constexpr std::uint64_t kMaxFileBytes = std::uint64_t{1} << 30;
// The longest side libheif accepts; a side beyond it is refused by libheif from the boxes.
constexpr int kMaxSide = 65535;
// An ICC profile's data colour space: bytes 16 to 19.
constexpr std::size_t kIccColourSpaceAt = 16;
// An Exif block in HEIF starts with the 4-byte offset of the TIFF header after it.
constexpr std::size_t kExifOffsetBytes = 4;

std::atomic<int> decodingThreads{0};

// Rows `firstRow` on of `rect` in a decoded interleaved plane, as rows of blue, green, red; an alpha
// channel composited over white.
void CopyPlaneRows(const std::uint8_t* plane, int stride, bool alpha, const PixelRect& rect, int firstRow, int count,
                   std::uint8_t* const* rows) {
  const int channels = alpha ? 4 : 3;
  for (int i = 0; i < count; ++i) {
    const std::uint8_t* in = plane + static_cast<std::size_t>(rect.y + firstRow + i) * static_cast<std::size_t>(stride) +
                             static_cast<std::size_t>(rect.x) * channels;
    std::uint8_t* out = rows[i];
    if (!alpha) {
      for (int x = 0; x < rect.width; ++x, in += 3, out += 3) out[0] = in[2], out[1] = in[1], out[2] = in[0];
      continue;
    }
    // Over white: c * a + 255 * (255 - a), divided by 255 and rounded to the nearest.
    for (int x = 0; x < rect.width; ++x, in += 4, out += 3) {
      const unsigned a = in[3], back = 255 * (255 - a);
      out[0] = static_cast<std::uint8_t>((in[2] * a + back + 127) / 255);
      out[1] = static_cast<std::uint8_t>((in[1] * a + back + 127) / 255);
      out[2] = static_cast<std::uint8_t>((in[0] * a + back + 127) / 255);
    }
  }
}

}  // namespace

// Where libheif reads a file from: a descriptor, never past the size the file had when opened.
struct HeifFileReader {
  int fd;
  std::uint64_t size;
  std::uint64_t position;
};

namespace {

heif_reader FdReader() {
  heif_reader reader{};
  reader.reader_api_version = 1;
  reader.get_position = [](void* user) { return static_cast<std::int64_t>(static_cast<HeifFileReader*>(user)->position); };
  reader.read = [](void* data, std::size_t size, void* user) {
    auto* file = static_cast<HeifFileReader*>(user);
    if (size > file->size - std::min(file->position, file->size)) return -1;  // never past the size it had
    auto* out = static_cast<std::uint8_t*>(data);
    while (size > 0) {
      const ssize_t got = ::pread(file->fd, out, size, static_cast<off_t>(file->position));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return -1;
      out += got;
      size -= static_cast<std::size_t>(got);
      file->position += static_cast<std::uint64_t>(got);
    }
    return 0;
  };
  reader.seek = [](std::int64_t position, void* user) {
    auto* file = static_cast<HeifFileReader*>(user);
    if (position < 0 || static_cast<std::uint64_t>(position) > file->size) return -1;
    file->position = static_cast<std::uint64_t>(position);
    return 0;
  };
  reader.wait_for_file_size = [](std::int64_t target, void* user) {
    return target >= 0 && static_cast<std::uint64_t>(target) <= static_cast<HeifFileReader*>(user)->size
               ? heif_reader_grow_status_size_reached
               : heif_reader_grow_status_size_beyond_eof;
  };
  return reader;
}

}  // namespace

void SetHeifJobsAtOnce(int jobs) {
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  // One job per core or more: the tiles stay on the decoding thread, the jobs fill the cores.
  const int each = cores / std::max(1, jobs);
  decodingThreads.store(each > 1 ? each : 0, std::memory_order_relaxed);
}

HeifDecoder::HeifDecoder() = default;

HeifDecoder::~HeifDecoder() {
  if (image_ != nullptr) heif_image_release(image_);
  if (handle_ != nullptr) heif_image_handle_release(handle_);
  if (context_ != nullptr) heif_context_free(context_);
  if (fd_ >= 0) ::close(fd_);
}

LoadResult HeifDecoder::Fail(const char* what) {
  reason_ = what;
  return LoadResult::Failed;
}

LoadResult HeifDecoder::Failed(const heif_error& error) {
  // libheif reports its own limits as an allocation refused: that is the file's fault, not memory's.
  if (error.code == heif_error_Memory_allocation_error && error.subcode != heif_suberror_Security_limit_exceeded)
    return LoadResult::OutOfMemory;
  return Fail(error.message);
}

LoadResult HeifDecoder::OpenFile(const std::string& path, const LoadLimits& limits) {
  // O_NONBLOCK: opening a named pipe must not wait for a writer; it is refused just below.
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0) return Fail(std::strerror(errno));
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return Fail(std::strerror(errno));
  if (!S_ISREG(st.st_mode)) return Fail(text::kReasonNotRegularFile);
  if (st.st_size <= 0) return Fail(text::kReasonEmptyFile);
  if (static_cast<std::uint64_t>(st.st_size) > kMaxFileBytes) return Fail(text::kReasonFileTooLarge);
  context_ = heif_context_alloc();
  if (context_ == nullptr) return LoadResult::OutOfMemory;
  heif_context_set_maximum_image_size_limit(context_, kMaxSide);
  reader_ = std::make_unique<HeifFileReader>(HeifFileReader{fd_, static_cast<std::uint64_t>(st.st_size), 0});
  static const heif_reader reader = FdReader();
  const heif_error read = heif_context_read_from_reader(context_, &reader, reader_.get(), nullptr);
  if (read.code != heif_error_Ok) return Failed(read);
  const int fd = fd_;
  return Open(limits, {reader_->size, [fd](std::uint64_t at, std::size_t count, std::uint8_t* out) {
                         while (count > 0) {
                           const ssize_t got = ::pread(fd, out, count, static_cast<off_t>(at));
                           if (got < 0 && errno == EINTR) continue;
                           if (got <= 0) return false;
                           out += got, at += static_cast<std::uint64_t>(got), count -= static_cast<std::size_t>(got);
                         }
                         return true;
                       }});
}

LoadResult HeifDecoder::OpenMemory(const std::uint8_t* data, std::size_t size, const LoadLimits& limits) {
  if (size == 0) return Fail(text::kReasonEmptyFile);
  context_ = heif_context_alloc();
  if (context_ == nullptr) return LoadResult::OutOfMemory;
  heif_context_set_maximum_image_size_limit(context_, kMaxSide);
  const heif_error read = heif_context_read_from_memory_without_copy(context_, data, size, nullptr);
  if (read.code != heif_error_Ok) return Failed(read);
  return Open(limits, {size, [data, size](std::uint64_t at, std::size_t count, std::uint8_t* out) {
                         if (at > size || count > size - at) return false;
                         if (count > 0) std::memcpy(out, data + at, count);
                         return true;
                       }});
}

LoadResult HeifDecoder::Open(const LoadLimits& limits, const FileBytes& file) {
  heif_context_set_max_decoding_threads(context_, decodingThreads.load(std::memory_order_relaxed));
  const heif_error primary = heif_context_get_primary_image_handle(context_, &handle_);
  if (primary.code != heif_error_Ok) return Failed(primary);
  width_ = heif_image_handle_get_width(handle_);
  height_ = heif_image_handle_get_height(handle_);
  // The decode allocates the coded size (before a crop) as well as the upright one.
  const std::uint64_t codedPixels = std::uint64_t(std::max(0, heif_image_handle_get_ispe_width(handle_))) *
                                    std::uint64_t(std::max(0, heif_image_handle_get_ispe_height(handle_)));
  const std::uint64_t pixels = std::uint64_t(std::max(0, width_)) * std::uint64_t(std::max(0, height_));
  if (width_ < 1 || height_ < 1) return Fail(text::kReasonNoPicture);
  maxPixels_ = limits.maxPixels;
  if (std::max(pixels, codedPixels) > limits.maxPixels) {
    reason_ = Format(text::kReasonTooManyPixels, unsigned(width_), unsigned(height_),
                     static_cast<unsigned long long>(limits.maxPixels));
    return LoadResult::Failed;
  }
  alpha_ = heif_image_handle_has_alpha_channel(handle_) != 0;
  try {
    // libheif checks only the boxes' sizes; libde265 and dav1d allocate by what the stream claims.
    if (reason_ = CheckCodedSizes(file, limits.maxPixels, &items_); !reason_.empty()) return LoadResult::Failed;
    const heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle_);
    if (type == heif_color_profile_type_prof) {
      profile_.resize(heif_image_handle_get_raw_color_profile_size(handle_));
      // Only an RGB profile describes the output; a grayscale or CMYK one would mislead a viewer.
      if (profile_.size() < kIccColourSpaceAt + 4 ||
          heif_image_handle_get_raw_color_profile(handle_, profile_.data()).code != heif_error_Ok ||
          std::memcmp(profile_.data() + kIccColourSpaceAt, "RGB ", 4) != 0)
        profile_.clear();
    } else if (type == heif_color_profile_type_nclx) {
      heif_color_profile_nclx* nclx = nullptr;
      const bool read = heif_image_handle_get_nclx_color_profile(handle_, &nclx).code == heif_error_Ok;
      // libheif 1.15 hands out the description even with an error (an unknown matrix): ours to free.
      std::unique_ptr<heif_color_profile_nclx, void (*)(heif_color_profile_nclx*)> owned(nclx, heif_nclx_color_profile_free);
      if (read && nclx != nullptr) {
        const NclxColour colour{nclx->color_primaries,
                                nclx->transfer_characteristics,
                                {nclx->color_primary_red_x, nclx->color_primary_red_y},
                                {nclx->color_primary_green_x, nclx->color_primary_green_y},
                                {nclx->color_primary_blue_x, nclx->color_primary_blue_y},
                                {nclx->color_primary_white_x, nclx->color_primary_white_y}};
        if (NeedsProfile(colour)) profile_ = ProfileForNclx(colour);
      }
    }
    heif_item_id id = 0;
    if (heif_image_handle_get_list_of_metadata_block_IDs(handle_, "Exif", &id, 1) == 1) {
      std::vector<std::uint8_t> block(heif_image_handle_get_metadata_size(handle_, id));
      if (block.size() > kExifOffsetBytes && heif_image_handle_get_metadata(handle_, id, block.data()).code == heif_error_Ok) {
        const std::uint64_t offset = std::uint64_t{block[0]} << 24 | block[1] << 16 | block[2] << 8 | block[3];
        if (offset < block.size() - kExifOffsetBytes) exif_.assign(block.begin() + kExifOffsetBytes + long(offset), block.end());
      }
    }
  } catch (const std::bad_alloc&) {
    return LoadResult::OutOfMemory;
  }
  return LoadResult::Ok;
}

LoadResult HeifDecoder::Decode() {
  // libheif's default options: the file's transformations applied.
  const heif_error decoded = heif_decode_image(handle_, &image_, heif_colorspace_RGB,
                                               alpha_ ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, nullptr);
  if (decoded.code != heif_error_Ok) return Failed(decoded);
  plane_ = heif_image_get_plane_readonly(image_, heif_channel_interleaved, &stride_);
  if (plane_ == nullptr || heif_image_get_bits_per_pixel_range(image_, heif_channel_interleaved) != 8 ||
      heif_image_get_width(image_, heif_channel_interleaved) != width_ ||
      heif_image_get_height(image_, heif_channel_interleaved) != height_)
    return Fail(text::kReasonNoPicture);
  return LoadResult::Ok;
}

void HeifDecoder::CopyRows(const PixelRect& rect, int firstRow, int count, std::uint8_t* const* rows) const {
  CopyPlaneRows(plane_, stride_, alpha_, rect, firstRow, count, rows);
}

bool HeifDecoder::DecodeThumbnail(int longSide, Bitmap& out) {
  if (handle_ == nullptr) return false;
  std::vector<heif_item_id> ids(static_cast<std::size_t>(std::max(0, heif_image_handle_get_number_of_thumbnails(handle_))));
  ids.resize(static_cast<std::size_t>(
      std::max(0, heif_image_handle_get_list_of_thumbnail_IDs(handle_, ids.data(), static_cast<int>(ids.size())))));
  heif_image_handle* chosen = nullptr;
  int chosenSide = 0;
  heif_item_id primaryId = 0;
  const HeifItem* primary = heif_context_get_primary_image_ID(context_, &primaryId).code == heif_error_Ok
                                ? items_.Find(primaryId)
                                : nullptr;
  for (const heif_item_id id : ids) {
    // libheif turns a thumbnail by its own transformations: one turned otherwise than the picture
    // (upside down, say, where the picture is not) would show the picture so.
    const HeifItem* item = items_.Find(id);
    if (primary == nullptr || item == nullptr || item->transforms != primary->transforms) continue;
    heif_image_handle* thumbnail = nullptr;
    if (heif_image_handle_get_thumbnail(handle_, id, &thumbnail).code != heif_error_Ok) continue;
    const int side = std::max(heif_image_handle_get_width(thumbnail), heif_image_handle_get_height(thumbnail));
    // Held to the picture's own limit, by its coded size too, before libheif allocates for it.
    const std::uint64_t coded = std::uint64_t(std::max(0, heif_image_handle_get_ispe_width(thumbnail))) *
                                std::uint64_t(std::max(0, heif_image_handle_get_ispe_height(thumbnail)));
    if (side >= longSide && coded > 0 && coded <= maxPixels_ && (chosen == nullptr || side < chosenSide)) {
      std::swap(chosen, thumbnail);
      chosenSide = side;
    }
    if (thumbnail != nullptr) heif_image_handle_release(thumbnail);
  }
  if (chosen == nullptr) return false;
  const bool alpha = heif_image_handle_has_alpha_channel(chosen) != 0;
  heif_image* image = nullptr;
  // libheif's default options: the thumbnail's transformations applied, as the picture's are.
  const heif_error decoded = heif_decode_image(chosen, &image, heif_colorspace_RGB,
                                               alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, nullptr);
  heif_image_handle_release(chosen);
  if (decoded.code != heif_error_Ok) return false;
  int stride = 0;
  const std::uint8_t* plane = heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride);
  const int w = heif_image_get_width(image, heif_channel_interleaved), h = heif_image_get_height(image, heif_channel_interleaved);
  bool ok = plane != nullptr && heif_image_get_bits_per_pixel_range(image, heif_channel_interleaved) == 8 && w > 0 &&
            h > 0 && out.Reset(w, h);
  for (int y = 0; ok && y < h; ++y) {
    std::uint8_t* row = out.Row(y);
    CopyPlaneRows(plane, stride, alpha, PixelRect{0, 0, w, h}, y, 1, &row);
  }
  heif_image_release(image);
  return ok;
}

KeptRows HeifKeptRows(const PixelRect& kept) { return {kept.width, 0, kept.width, kept.height, OrientationAxes{}}; }

LoadResult HeifRowsInto(const HeifDecoder& decoder, const PixelRect& kept, RowSink& sink) {
  std::uint8_t* rows[16];
  for (int done = 0; done < kept.height;) {
    const int offered = std::min(sink.NextRows(rows, 16), kept.height - done);
    decoder.CopyRows(kept, done, offered, rows);
    if (const LoadResult taken = sink.RowsFilled(offered); taken != LoadResult::Ok) return taken;
    done += offered;
  }
  return sink.Finish();
}

}  // namespace phototrim
