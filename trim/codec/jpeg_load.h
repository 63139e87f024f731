// LoadJpeg: decodes one JPEG file into the working bitmap, upright, at full size, 24 bits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "trim/bitmap.h"

namespace phototrim {

// Limits that keep a hostile file from taking the machine: checked from the header, before any
// pixel memory is allocated.
struct LoadLimits {
  std::uint64_t maxPixels = std::uint64_t{1} << 28;  // 268 megapixels
  int maxScans = 500;                                // progressive scans
};

// Decodes the file at `path` (bytes as they are) into `work`, with the float IDCT, block smoothing
// and fancy upsampling on (libjpeg's defaults), grayscale widened to three equal channels and
// Adobe CMYK/YCCK turned into RGB. The EXIF orientation is applied as the rows come, using a few
// rows of `scratch` for quarter turns.
// `colorProfile` receives the input's ICC profile when its data colour space is RGB, else is
// cleared. Returns kOk, kLoadFailed for any fault of the file (including a premature end), or
// kOutOfMemory.
int LoadJpeg(const std::string& path, Bitmap& work, Bitmap& scratch, std::vector<std::uint8_t>& colorProfile,
             const LoadLimits& limits = {});

// The same from bytes in memory (the fuzzing entry point; LoadJpeg reads the file and calls it).
int LoadJpegFromMemory(const std::uint8_t* data, std::size_t size, Bitmap& work, Bitmap& scratch,
                       std::vector<std::uint8_t>& colorProfile, const LoadLimits& limits = {});

}  // namespace phototrim
