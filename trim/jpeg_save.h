// SaveJpeg: encodes the working bitmap into one output file, creating its folder, never half-written.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "trim/bitmap.h"

namespace phototrim {

struct SaveJpegHost {
  std::function<int()> readQuality;                        // read once, just before encoding
  std::function<void(const std::string&)> showNotice;      // a modal notice with an OK button
};

// Writes `picture` as a baseline JFIF file (density unit 0 at 1 x 1, 2x2/1x1/1x1 sampling, the float
// FDCT, standard Huffman tables, the host's quality with baseline forced) to `path`, with the ICC
// profile when `colorProfile` is not empty and no other marker. The folder part of the path is
// entered (it becomes the current folder) or created with all missing levels. The file is written
// to a temporary file in that folder and renamed over the target only when complete; on failure
// the temporary file is removed and an existing target is untouched. Each failure shows its notice
// and returns its code: kSavePathTooShort, kSaveCannotCreateFolder, kSaveCannotEnterFolder,
// kSaveWriteFailed.
int SaveJpeg(const std::string& path, const Bitmap& picture, const std::vector<std::uint8_t>& colorProfile,
             const SaveJpegHost& host);

}  // namespace phototrim
