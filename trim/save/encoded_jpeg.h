// A picture encoded ahead of its save: in an anonymous file in memory, or else in a plain buffer.
#pragma once

#include <cstddef>
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
  EncodedJpeg(EncodedJpeg&& other) noexcept;
  EncodedJpeg& operator=(EncodedJpeg&& other) noexcept;
  EncodedJpeg(const EncodedJpeg&) = delete;
  EncodedJpeg& operator=(const EncodedJpeg&) = delete;

  // Encodes as SaveJpeg does with this quality; false (and nothing held) when it fails.
  bool Encode(const Bitmap& picture, const std::vector<std::uint8_t>& colorProfile, int quality,
              const JpegMarkers& markers = {});
  bool Holds() const { return fd_ >= 0 || held_; }
  // Copies up to `size` bytes from `offset` into `into`: how many, 0 at the end, -1 with errno set.
  long ReadAt(std::size_t offset, std::uint8_t* into, std::size_t size) const;
  // Why the last Encode() held nothing, as an errno (0 when the encoder gave up on its own).
  int Error() const { return error_; }

 private:
  void Release();

  // A memory file keeps the picture out of the heap, where a few hundred pictures waiting for a
  // slow disk would scatter it. Sandboxes and old kernels have none (ENOSYS, EPERM), and a process
  // can be out of descriptors (EMFILE): the buffer stands in then.
  int fd_ = -1;
  std::vector<std::uint8_t> bytes_;
  bool held_ = false;  // the picture is in bytes_
  int error_ = 0;
};

}  // namespace phototrim
