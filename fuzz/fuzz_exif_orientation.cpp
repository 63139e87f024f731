// libFuzzer target: the EXIF orientation parser on arbitrary APP1 payloads.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "trim/codec/exif_orientation.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An exact-size copy, so that ASan sees every read past the payload's end.
  std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[size]);
  if (size > 0) std::memcpy(copy.get(), data, size);
  const int orientation = phototrim::ExifOrientation(copy.get(), size);
  if (orientation < 1 || orientation > 8) std::abort();
  return 0;
}
