// SaveJpeg: encodes the working bitmap into one output file, creating its folder, never half-written.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "trim/bitmap.h"
#include "trim/save/file_writer.h"

namespace phototrim {

struct SaveJpegHost {
  std::function<int()> readQuality;                        // read once, just before encoding
  std::function<void(const std::string&)> showNotice;      // a modal notice with an OK button
  LeftoverSweeps* sweeps = nullptr;  // a run's record of folders searched for leftovers, if any
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

// A picture encoded ahead of its save, by the same encoder, into an anonymous file in memory: a
// worker thread encodes while the run saves earlier files in list order.
class EncodedJpeg {
 public:
  EncodedJpeg() = default;
  ~EncodedJpeg();
  EncodedJpeg(EncodedJpeg&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  EncodedJpeg& operator=(EncodedJpeg&& other) noexcept;
  EncodedJpeg(const EncodedJpeg&) = delete;
  EncodedJpeg& operator=(const EncodedJpeg&) = delete;

  // Encodes as SaveJpeg does with this quality; false (and nothing held) when it fails.
  bool Encode(const Bitmap& picture, const std::vector<std::uint8_t>& colorProfile, int quality);
  bool Holds() const { return fd_ >= 0; }
  int Fd() const { return fd_; }

 private:
  int fd_ = -1;
};

// SaveJpeg for a picture encoded ahead: the same folder steps, notices and codes, and the same
// whole-or-nothing write; an EncodedJpeg that holds nothing fails as a failed encode does (-4).
int SaveEncodedJpeg(const std::string& path, const EncodedJpeg& encoded, const SaveJpegHost& host);

}  // namespace phototrim
