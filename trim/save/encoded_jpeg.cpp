// A picture encoded into a memory file, or a buffer where there is none, to be copied into its output file later.
#include "trim/save/encoded_jpeg.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <sys/mman.h>
#include <unistd.h>

#include "trim/codec/jpeg_encode.h"
#include "trim/save/file_calls.h"

namespace phototrim {

namespace {

class MemoryFileSink : public ByteSink {
 public:
  explicit MemoryFileSink(int fd) : fd_(fd) {}
  bool Write(const std::uint8_t* data, std::size_t size) override {
    return WriteAll(SystemFileCalls(), fd_, data, size);
  }

 private:
  int fd_;
};

class BufferSink : public ByteSink {
 public:
  explicit BufferSink(std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
  bool Write(const std::uint8_t* data, std::size_t size) override {
    try {
      bytes_.insert(bytes_.end(), data, data + size);
      return true;
    } catch (const std::bad_alloc&) {
      errno = ENOMEM;
      return false;
    }
  }

 private:
  std::vector<std::uint8_t>& bytes_;
};

}  // namespace

EncodedJpeg::~EncodedJpeg() { Release(); }

EncodedJpeg::EncodedJpeg(EncodedJpeg&& other) noexcept
    : fd_(other.fd_), bytes_(std::move(other.bytes_)), held_(other.held_), error_(other.error_) {
  other.fd_ = -1;
  other.held_ = false;
}

EncodedJpeg& EncodedJpeg::operator=(EncodedJpeg&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = other.fd_;
    bytes_ = std::move(other.bytes_);
    held_ = other.held_;
    error_ = other.error_;
    other.fd_ = -1;
    other.held_ = false;
  }
  return *this;
}

void EncodedJpeg::Release() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  std::vector<std::uint8_t>().swap(bytes_);
  held_ = false;
}

bool EncodedJpeg::Encode(const Bitmap& picture, const std::vector<std::uint8_t>& colorProfile, int quality,
                         const JpegMarkers& markers) {
  Release();
  error_ = 0;
  fd_ = ::memfd_create("phototrim-encoded", MFD_CLOEXEC);
  if (fd_ >= 0) {
    MemoryFileSink sink(fd_);
    errno = 0;
    if (EncodeJpeg(picture, colorProfile, quality, sink, markers)) return true;
    error_ = errno;
    Release();
    return false;
  }
  BufferSink sink(bytes_);
  errno = 0;
  held_ = EncodeJpeg(picture, colorProfile, quality, sink, markers);
  if (!held_) {
    error_ = errno;
    Release();
  }
  return held_;
}

long EncodedJpeg::ReadAt(std::size_t offset, std::uint8_t* into, std::size_t size) const {
  if (fd_ >= 0) {
    for (;;) {
      const ssize_t got = ::pread(fd_, into, size, static_cast<off_t>(offset));
      if (got >= 0 || errno != EINTR) return got;
    }
  }
  if (!held_ || offset >= bytes_.size()) return 0;
  const std::size_t count = std::min(size, bytes_.size() - offset);
  std::memcpy(into, bytes_.data() + offset, count);
  return static_cast<long>(count);
}

}  // namespace phototrim
