// LoadJpeg: decodes one JPEG file whole into the working bitmap and stands it upright.
#include "support/jpeg_load.h"

#include <new>

#include "trim/codec/jpeg_decoder.h"
#include "trim/geometry/orientation.h"
#include "trim/codec/upright_rows.h"
#include "trim/load_result.h"

namespace phototrim {

namespace {

LoadResult LoadWhole(JpegDecoder& decoder, LoadResult opened, Bitmap& work, Bitmap& scratch, std::vector<std::uint8_t>& colorProfile) {
  LoadResult result = opened;
  if (result == LoadResult::Ok) {
    const PixelRect whole{0, 0, decoder.Width(), decoder.Height()};
    UprightRows upright(work, scratch);
    result = decoder.Start(whole);
    if (result == LoadResult::Ok) result = upright.Begin(KeptRowsOf(decoder, whole, AxesOf(decoder.Orientation())));
    if (result == LoadResult::Ok) result = DecodeRowsInto(decoder, upright);
  }
  if (result != LoadResult::Ok) {
    // A failure leaves the bitmap 1 x 1 and meaningless (its memory stays for the next picture).
    work.Reset(1, 1);
    return result;
  }
  try {
    colorProfile = decoder.ColorProfile();
  } catch (const std::bad_alloc&) {
    work.Reset(1, 1);
    return LoadResult::OutOfMemory;
  }
  return LoadResult::Ok;
}

}  // namespace

LoadResult LoadJpeg(const std::string& path, Bitmap& work, Bitmap& scratch, std::vector<std::uint8_t>& colorProfile,
                    const LoadLimits& limits) {
  // Whatever happens, the previous picture and its profile are gone.
  work.Reset(1, 1);
  colorProfile.clear();
  JpegDecoder decoder;
  return LoadWhole(decoder, decoder.OpenFile(path, limits), work, scratch, colorProfile);
}

LoadResult LoadJpegFromMemory(const std::uint8_t* data, std::size_t size, Bitmap& work, Bitmap& scratch,
                              std::vector<std::uint8_t>& colorProfile, const LoadLimits& limits) {
  work.Reset(1, 1);
  colorProfile.clear();
  JpegDecoder decoder;
  return LoadWhole(decoder, decoder.OpenMemory(data, size, limits), work, scratch, colorProfile);
}

}  // namespace phototrim
