// A picture encoded ahead of its save, into an anonymous file in memory.
#pragma once

#include <cstdint>
#include <vector>

#include "trim/bitmap.h"
#include "trim/codec/jpeg_encode.h"

namespace phototrim {

// A worker thread encodes while the run saves earlier files in list order (SaveEncodedJpeg).
class EncodedJpeg {
 public:
  EncodedJpeg() = default;
  ~EncodedJpeg();
  EncodedJpeg(EncodedJpeg&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  EncodedJpeg& operator=(EncodedJpeg&& other) noexcept;
  EncodedJpeg(const EncodedJpeg&) = delete;
  EncodedJpeg& operator=(const EncodedJpeg&) = delete;

  // Encodes as SaveJpeg does with this quality; false (and nothing held) when it fails.
  bool Encode(const Bitmap& picture, const std::vector<std::uint8_t>& colorProfile, int quality,
              const JpegMarkers& markers = {});
  bool Holds() const { return fd_ >= 0; }
  int Fd() const { return fd_; }

 private:
  int fd_ = -1;
};

}  // namespace phototrim
