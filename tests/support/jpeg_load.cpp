// LoadJpeg: decodes one JPEG file whole into the working bitmap and stands it upright.
#include "support/jpeg_load.h"

#include <new>

#include "trim/codec/jpeg_decoder.h"
#include "trim/geometry/orientation.h"
#include "trim/codec/upright_rows.h"
#include "trim/result_codes.h"

namespace phototrim {

namespace {

int LoadWhole(JpegDecoder& decoder, int opened, Bitmap& work, Bitmap& scratch, std::vector<std::uint8_t>& colorProfile) {
  int result = opened;
  if (result == kOk) {
    const PixelRect whole{0, 0, decoder.Width(), decoder.Height()};
    UprightRows upright(work, scratch);
    result = decoder.Start(whole);
    if (result == kOk) result = upright.Begin(KeptRowsOf(decoder, whole, AxesOf(decoder.Orientation())));
    if (result == kOk) result = DecodeRowsInto(decoder, upright);
  }
  if (result != kOk) {
    // A failure leaves the bitmap 1 x 1 and meaningless (its memory stays for the next picture).
    work.Reset(1, 1);
    return result;
  }
  try {
    colorProfile = decoder.ColorProfile();
  } catch (const std::bad_alloc&) {
    work.Reset(1, 1);
    return kOutOfMemory;
  }
  return kOk;
}

}  // namespace

int LoadJpeg(const std::string& path, Bitmap& work, Bitmap& scratch, std::vector<std::uint8_t>& colorProfile,
             const LoadLimits& limits) {
  // Whatever happens, the previous picture and its profile are gone.
  work.Reset(1, 1);
  colorProfile.clear();
  JpegDecoder decoder;
  return LoadWhole(decoder, decoder.OpenFile(path, limits), work, scratch, colorProfile);
}

int LoadJpegFromMemory(const std::uint8_t* data, std::size_t size, Bitmap& work, Bitmap& scratch,
                       std::vector<std::uint8_t>& colorProfile, const LoadLimits& limits) {
  work.Reset(1, 1);
  colorProfile.clear();
  JpegDecoder decoder;
  return LoadWhole(decoder, decoder.OpenMemory(data, size, limits), work, scratch, colorProfile);
}

}  // namespace phototrim
