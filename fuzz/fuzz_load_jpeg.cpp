// libFuzzer target: LoadJpeg on arbitrary bytes, with the limits of a real load.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "trim/bitmap.h"
#include "trim/codec/jpeg_load.h"
#include "trim/result_codes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace phototrim;
  // Kept across inputs like the run's own bitmaps, so reuse of their memory is exercised too.
  static Bitmap work, scratch;
  std::vector<std::uint8_t> profile;
  const int result = LoadJpegFromMemory(data, size, work, scratch, profile);
  if (result == kOk) {
    // A picture that loads is whole: every row can be read (ASan checks the bounds).
    unsigned sum = 0;
    for (int y = 0; y < work.Height(); ++y) sum += work.Row(y)[0] + work.Row(y)[work.Stride() - 1];
    if (work.Width() < 1 || work.Height() < 1 || sum == 0xFFFFFFFFu) std::abort();
  } else if (result != kLoadFailed && result != kOutOfMemory) {
    std::abort();  // no other result is defined for a load
  } else if (work.Width() != 1 || work.Height() != 1 || !profile.empty()) {
    std::abort();  // a failed load leaves the bitmap 1 x 1 and no profile
  }
  return 0;
}
