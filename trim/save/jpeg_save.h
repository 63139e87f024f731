// SaveJpeg: encodes the working bitmap into one output file, creating its folder, never half-written.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "trim/bitmap.h"
#include "trim/codec/jpeg_encode.h"
#include "trim/save/encoded_jpeg.h"
#include "trim/save/file_calls.h"
#include "trim/save/folder_flushes.h"
#include "trim/save/leftover_sweep.h"

namespace phototrim {

struct SaveJpegHost {
  std::function<int()> readQuality;                        // read once, just before encoding
  std::function<void(const std::string&)> showNotice;      // a modal notice with an OK button
  LeftoverSweeps* sweeps = nullptr;  // a run's record of folders swept for leftovers, if any
  // A run's record of folders to flush at its end; without one, the save flushes its folder itself.
  FolderFlushes* folderFlushes = nullptr;
  const FileCalls* calls = nullptr;  // the system's own calls when null
  // Receives the system's words for a failure ("Read-only file system"); empty when no system call
  // failed (a path too short, an encoder that gave up).
  std::string* reason = nullptr;
  const JpegMarkers* markers = nullptr;  // Exif and print resolution asked for, if any
  // Asked between pieces of the file as it is encoded; true gives the save up: nothing is written,
  // no notice is shown, and the result is kStopped.
  std::function<bool()> cancelled;
};

// Writes `picture` as a baseline JFIF file (density unit 0 at 1 x 1, 2x2/1x1/1x1 sampling, the float
// FDCT, standard Huffman tables, the host's quality with baseline forced) to `path`, with the ICC
// profile when `colorProfile` is not empty and no other marker. The folder part of the path is
// entered (it becomes the current folder) or created with all missing levels. The file is written
// to a temporary file in that folder, flushed to disk and renamed over the target only when
// complete; on failure the temporary file is removed and an existing target is untouched. Each
// failure shows its notice and returns its code: kSavePathTooShort, kSaveCannotCreateFolder,
// kSaveCannotEnterFolder, kSaveWriteFailed.
int SaveJpeg(const std::string& path, const Bitmap& picture, const std::vector<std::uint8_t>& colorProfile,
             const SaveJpegHost& host);

// SaveJpeg for a picture encoded ahead: the same folder steps, notices and codes, and the same
// whole-or-nothing write; an EncodedJpeg that holds nothing fails as a failed encode does (-4).
int SaveEncodedJpeg(const std::string& path, const EncodedJpeg& encoded, const SaveJpegHost& host);

}  // namespace phototrim
