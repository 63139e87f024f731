// LoadJpeg: decodes one JPEG file whole into a bitmap, upright, at full size, 24 bits, for the tests,
// benchmarks and fuzzing (the run decodes only the window it keeps, through JpegDecoder).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "trim/bitmap.h"
#include "trim/codec/load_limits.h"
#include "trim/load_result.h"

namespace phototrim {

// Decodes the file at `path` (bytes as they are) into `work`, with the float IDCT, block smoothing
// and fancy upsampling on (libjpeg's defaults), grayscale widened to three equal channels and
// Adobe CMYK/YCCK turned into RGB. The EXIF orientation is applied as the rows come, using a few
// rows of `scratch` for quarter turns.
// `colorProfile` receives the input's ICC profile when its data colour space is RGB, else is
// cleared. Returns Ok, Failed for any fault of the file (including a premature end), or
// OutOfMemory.
LoadResult LoadJpeg(const std::string& path, Bitmap& work, Bitmap& scratch, std::vector<std::uint8_t>& colorProfile,
                    const LoadLimits& limits = {});

// The same from bytes in memory (the fuzzing entry point).
LoadResult LoadJpegFromMemory(const std::uint8_t* data, std::size_t size, Bitmap& work, Bitmap& scratch,
                              std::vector<std::uint8_t>& colorProfile, const LoadLimits& limits = {});

}  // namespace phototrim
