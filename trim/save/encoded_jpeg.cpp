// A picture encoded into a memory file, to be copied into its output file later.
#include "trim/save/encoded_jpeg.h"

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

}  // namespace

EncodedJpeg::~EncodedJpeg() {
  if (fd_ >= 0) ::close(fd_);
}

EncodedJpeg& EncodedJpeg::operator=(EncodedJpeg&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

bool EncodedJpeg::Encode(const Bitmap& picture, const std::vector<std::uint8_t>& colorProfile, int quality,
                         const JpegMarkers& markers) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = ::memfd_create("phototrim-encoded", MFD_CLOEXEC);
  if (fd_ < 0) return false;
  MemoryFileSink sink(fd_);
  if (!EncodeJpeg(picture, colorProfile, quality, sink, markers)) {
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  return true;
}

}  // namespace phototrim
