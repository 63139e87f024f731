// Pictures made by the tests: patterns in a Bitmap, and JPEG files of every variant encoded with libjpeg.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "trim/bitmap.h"

namespace phototrim::testing {

// A picture whose pixels vary smoothly with a seed-dependent pattern (so JPEG keeps it recognisable).
void FillPattern(Bitmap& bitmap, int width, int height, std::uint32_t seed = 1);
// A picture of random bytes (for exactness tests of the reductions).
void FillRandom(Bitmap& bitmap, int width, int height, std::uint32_t seed);

struct JpegOptions {
  int quality = 90;
  bool progressive = false;
  bool grayscale = false;
  bool adobeCmyk = false;                // four inverted components with an Adobe marker
  int orientation = 0;                   // EXIF orientation tag value, 0 for no EXIF
  std::vector<std::uint8_t> iccProfile;  // written with jpeg_write_icc_profile when not empty
  int restartInterval = 0;               // in MCU rows
  bool withComment = false;              // a COM marker
};

// Encodes the picture as a JPEG file in memory.
std::vector<std::uint8_t> EncodeJpeg(const Bitmap& picture, const JpegOptions& options = {});

// Writes a pattern picture of the given size as a JPEG file, creating its folders.
void WriteJpeg(const std::string& path, int width, int height, const JpegOptions& options = {},
               std::uint32_t seed = 1);

// Width and height of the JPEG file at `path` from its header; {0, 0} when it is not one.
std::pair<int, int> JpegSize(const std::string& path);

}  // namespace phototrim::testing
