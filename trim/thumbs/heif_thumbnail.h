// Thumbnails of HEIF pictures for the crop check: the file's own where it is faithful, else the
// whole picture decoded and shrunk.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "trim/thumbs/thumbnail_decode.h"

namespace phototrim {

// The thumbnail of the HEIF picture at `path`, upright as a run sees it, at least `longSide` long
// (or the whole picture when it is smaller), with the size a run crops (libheif's upright size).
// The file's embedded thumbnail when it is faithful to that upright picture and large enough;
// else the primary image decoded whole and averaged down. Ok, or Failed / OutOfMemory with
// `reason`.
LoadResult DecodeHeifThumbnail(const std::string& path, int longSide, Thumbnail& out, std::string& reason);

// A W x H picture, its rows (blue, green, red) read top down through `row` once each, shrunk by
// the whole factor that keeps its longer side at least `longSide`: each pixel the rounded mean of
// its block (blocks at the right and bottom edges may be narrower). False when out of memory.
bool ShrinkByBlocks(int W, int H, const std::function<const std::uint8_t*(int y)>& row, int longSide, Bitmap& out);

}  // namespace phototrim
