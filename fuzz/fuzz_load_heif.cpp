// libFuzzer target: the HEIF road of a run on arbitrary bytes (the boxes, the size checks, libheif's
// decode, the rows into an upright picture), our own box reading on the same bytes even where libheif
// refuses them, the file's own thumbnail as the crop check decodes it, and the Exif an output would
// carry from the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "trim/bitmap.h"
#include "trim/codec/heif_coded_sizes.h"
#include "trim/codec/heif_decoder.h"
#include "trim/codec/upright_rows.h"
#include "trim/load_result.h"
#include "trim/save/carried_exif.h"

using namespace phototrim;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Kept across inputs like the run's own bitmaps, so reuse of their memory is exercised too.
  static Bitmap work, scratch;
  // Pictures beyond a few megapixels only cost the fuzzer time; the limit itself is checked alike.
  LoadLimits limits;
  limits.maxPixels = std::uint64_t{1} << 22;
  HeifDecoder decoder;
  LoadResult result = decoder.OpenMemory(data, size, limits);
  if (result == LoadResult::Ok) {
    if (decoder.Width() < 1 || decoder.Height() < 1 ||
        std::uint64_t(decoder.Width()) * std::uint64_t(decoder.Height()) > limits.maxPixels)
      std::abort();  // an opened picture is within the limits
    // The file's own thumbnail, as the crop check takes it: within the same limit, or none.
    Bitmap thumbnail;
    if (decoder.DecodeThumbnail(1, thumbnail) &&
        std::uint64_t(thumbnail.Width()) * std::uint64_t(thumbnail.Height()) > limits.maxPixels)
      std::abort();
    result = decoder.Decode();
  }
  if (result == LoadResult::Ok) {
    const PixelRect all{0, 0, decoder.Width(), decoder.Height()};
    UprightRows sink(work, scratch);
    if (sink.Begin(HeifKeptRows(all)) == LoadResult::Ok && HeifRowsInto(decoder, all, sink) == LoadResult::Ok &&
        (work.Width() != all.width || work.Height() != all.height))
      std::abort();  // every row came, into a picture of the size the boxes said
    const std::vector<std::uint8_t> exif = CarriedExif(decoder.Exif(), 64, 48, {});
    if (exif.size() > 65533) std::abort();
  } else if (result != LoadResult::Failed && result != LoadResult::OutOfMemory) {
    std::abort();  // no other result is defined for a load
  } else if (result == LoadResult::Failed && decoder.Reason().empty()) {
    std::abort();  // a failure always says why
  }
  // The check the decoder makes after libheif has read the boxes, on bytes libheif may have refused.
  const FileBytes file{size, [data, size](std::uint64_t at, std::size_t count, std::uint8_t* out) {
                         if (at > size || count > size - at) return false;
                         if (count > 0) std::memcpy(out, data + at, count);
                         return true;
                       }};
  (void)CheckCodedSizes(file, limits.maxPixels);
  // The same bytes as an Exif block: what libexiv2 makes of hostile input never leaves unchecked.
  const std::vector<std::uint8_t> exif = CarriedExif({data, data + size}, 64, 48, {size % 2 == 1, 300});
  if (exif.size() > 65533) std::abort();
  return 0;
}
