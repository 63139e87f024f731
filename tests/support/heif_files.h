// HEIF test files: the tests' own pictures encoded with heif-enc, and boxes edited into them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "trim/bitmap.h"

namespace phototrim::testing {

struct HeifOptions {
  bool alpha = false;   // alpha from left (0) to right (255), a step at every eighth of the width
  int bitDepth = 8;     // 10: from a 16-bit PNG
  std::vector<std::uint8_t> iccProfile{};  // carried from the JPEG heif-enc reads
  std::vector<std::uint8_t> exif{};        // an APP1 payload heif-enc copies
  int thumbnail = 0;    // the longer side of the thumbnail heif-enc embeds (-t); 0: none
};

// `picture` (rows of blue, green, red) as a HEIC file, made with heif-enc at quality 90: a grid of one
// tile, as heif-enc writes every picture.
std::vector<std::uint8_t> MakeHeif(const Bitmap& picture, const HeifOptions& options = {});

// The file with an 'irot' property of `quarterTurns` anticlockwise on its primary image, and with
// `thumbnailToo` on its thumbnail as well (as a camera turns both).
std::vector<std::uint8_t> WithRotation(std::vector<std::uint8_t> heif, int quarterTurns, bool thumbnailToo = false);

// The file with an nclx colour description ('colr') of these primaries and transfer characteristics.
std::vector<std::uint8_t> WithNclx(std::vector<std::uint8_t> heif, int primaries, int transfer);

// The file with its images' 'ispe' claiming `width` x `height`.
std::vector<std::uint8_t> WithClaimedHeifSize(std::vector<std::uint8_t> heif, std::uint32_t width, std::uint32_t height);

}  // namespace phototrim::testing
