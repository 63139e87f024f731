// One HEIF decode with libheif: the primary image, upright, as 8-bit RGB, its colour and its Exif.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "trim/bitmap.h"
#include "trim/codec/heif_boxes.h"
#include "trim/codec/load_limits.h"
#include "trim/codec/row_sink.h"
#include "trim/load_result.h"

struct heif_context;
struct heif_image_handle;
struct heif_image;
struct heif_error;

namespace phototrim {

struct HeifFileReader;
struct FileBytes;

// How many threads libheif may decode the tiles of one picture on, when `jobs` pictures are decoded
// at once: together they fill the cores, and no more (0: tiles on the calling thread).
void SetHeifJobsAtOnce(int jobs);

// The owner of libheif's context, handle and decoded picture, released in one place, its destructor.
// The file's own transformations (irot, imir, clap) are applied: the picture comes out upright, and
// an Exif orientation inside the file is not applied again.
class HeifDecoder {
 public:
  HeifDecoder();
  ~HeifDecoder();
  HeifDecoder(const HeifDecoder&) = delete;
  HeifDecoder& operator=(const HeifDecoder&) = delete;

  // Opens the regular file at `path` (its bytes as they are) or takes `data`, finds the primary image
  // and checks its size against the limits, and what its coded streams claim against that size, all
  // before any pixel is decoded. Ok, Failed (Reason() says why) or OutOfMemory.
  LoadResult OpenFile(const std::string& path, const LoadLimits& limits);
  LoadResult OpenMemory(const std::uint8_t* data, std::size_t size, const LoadLimits& limits);

  // From the file's boxes, once opened: the upright size.
  int Width() const { return width_; }
  int Height() const { return height_; }
  // The ICC profile the output carries: the file's own when it describes RGB, one made for an nclx
  // colour description other than sRGB, or empty.
  const std::vector<std::uint8_t>& ColorProfile() const { return profile_; }
  // The Exif block of the primary image, from its TIFF header on, or empty.
  const std::vector<std::uint8_t>& Exif() const { return exif_; }

  // Decodes the whole picture to 8-bit RGB (RGBA when it has alpha). Ok, Failed, OutOfMemory.
  LoadResult Decode();
  // Copies `rect` of the decoded picture into `rows` (one a row, blue, green, red), an alpha channel
  // composited over white.
  void CopyRows(const PixelRect& rect, int firstRow, int count, std::uint8_t* const* rows) const;

  // The file's own thumbnail of the primary image, the smallest whose longer side reaches
  // `longSide`, decoded with its transformations applied (upright, as libheif turns the picture)
  // into `out`, alpha over white. False when there is none such or it cannot be decoded; whether
  // it shows the picture unchanged is the caller's to judge.
  bool DecodeThumbnail(int longSide, Bitmap& out);

  const std::string& Reason() const { return reason_; }

 private:
  LoadResult Open(const LoadLimits& limits, const FileBytes& file);
  LoadResult Fail(const char* what);
  LoadResult Failed(const heif_error& error);

  heif_context* context_ = nullptr;
  heif_image_handle* handle_ = nullptr;
  heif_image* image_ = nullptr;
  int fd_ = -1;
  std::unique_ptr<HeifFileReader> reader_;  // what libheif reads the file through, while the context lives
  std::uint64_t maxPixels_ = 0;
  HeifItems items_;  // as this program reads the boxes
  int width_ = 0;
  int height_ = 0;
  bool alpha_ = false;
  const std::uint8_t* plane_ = nullptr;
  int stride_ = 0;
  std::vector<std::uint8_t> profile_;
  std::vector<std::uint8_t> exif_;
  std::string reason_;
};

// Feeds `kept` (upright coordinates) of a decoded picture into `sink`, as a JPEG decode would.
LoadResult HeifRowsInto(const HeifDecoder& decoder, const PixelRect& kept, RowSink& sink);

// The kept rows as a sink of `kept` sees them: already upright.
KeptRows HeifKeptRows(const PixelRect& kept);

}  // namespace phototrim
