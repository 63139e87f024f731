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
  bool avif = false;                       // AV1 instead of HEVC
};

// `picture` (rows of blue, green, red) as a HEIC file, made with heif-enc at quality 90: a grid of one
// tile, as heif-enc writes every picture.
std::vector<std::uint8_t> MakeHeif(const Bitmap& picture, const HeifOptions& options = {});

// The file with an 'irot' property of `quarterTurns` anticlockwise on its primary image, and with
// `thumbnailToo` on its thumbnail as well (as a camera turns both).
std::vector<std::uint8_t> WithRotation(std::vector<std::uint8_t> heif, int quarterTurns, bool thumbnailToo = false);

// The file with an nclx colour description ('colr') of these primaries, transfer characteristics and
// matrix coefficients.
std::vector<std::uint8_t> WithNclx(std::vector<std::uint8_t> heif, int primaries, int transfer, int matrix = 6);

// The file with its images' 'ispe' claiming `width` x `height`.
std::vector<std::uint8_t> WithClaimedHeifSize(std::vector<std::uint8_t> heif, std::uint32_t width, std::uint32_t height);

// The file with the picture size in the HEVC SPS of its first 'hvcC' rewritten to `width` x `height`:
// in that hvcC, or (`inBand`) in a copy put before the first NAL unit of the first HEVC item's data.
std::vector<std::uint8_t> WithHevcSize(std::vector<std::uint8_t> heif, std::uint32_t width, std::uint32_t height, bool inBand);

// An AVIF file (one item) with the largest frame size of its sequence header rewritten.
std::vector<std::uint8_t> WithAv1Size(std::vector<std::uint8_t> avif, std::uint32_t width, std::uint32_t height);

// The file with the first extent of its first HEVC or AV1 item claiming `length` bytes.
std::vector<std::uint8_t> WithItemLength(std::vector<std::uint8_t> heif, std::uint64_t length);

// The file with its grid's canvas (16-bit sizes in 'idat') claiming `width` x `height`.
std::vector<std::uint8_t> WithGridSize(std::vector<std::uint8_t> heif, std::uint16_t width, std::uint16_t height);

}  // namespace phototrim::testing
