// LoadJpeg: reads one JPEG file whole, decodes it into the working bitmap and stands it upright.
#include "trim/codec/jpeg_load.h"

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

#include "trim/codec/jpeg_decode.h"
#include "trim/codec/orientation.h"
#include "trim/result_codes.h"

namespace phototrim {

namespace {

// No JPEG within the pixel limit comes near a gigabyte (photos take a few bits a pixel); a bigger
// file is not read into memory at all.
constexpr std::uint64_t kMaxFileBytes = std::uint64_t{1} << 30;

// Closes the descriptor on every way out.
struct FileCloser {
  int fd;
  ~FileCloser() { ::close(fd); }
};

// Reads the whole regular file at `path` into `bytes`. kLoadFailed for a folder, a device, a pipe,
// a missing, unreadable, empty or oversized file; kOutOfMemory when the buffer cannot be had.
int ReadWholeFile(const std::string& path, std::unique_ptr<std::uint8_t[]>& bytes, std::size_t& size) {
  // O_NONBLOCK: opening a named pipe must not wait for a writer; it is refused just below.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return kLoadFailed;
  const FileCloser closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0 ||
      static_cast<std::uint64_t>(st.st_size) > kMaxFileBytes)
    return kLoadFailed;
  const auto expected = static_cast<std::size_t>(st.st_size);
  bytes.reset(new (std::nothrow) std::uint8_t[expected]);
  if (!bytes) return kOutOfMemory;
  // The file may shrink while it is read; what was there is decoded (a cut file then fails).
  size = 0;
  while (size < expected) {
    const ssize_t got = ::read(fd, bytes.get() + size, expected - size);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return kLoadFailed;
    if (got == 0) break;
    size += static_cast<std::size_t>(got);
  }
  return size > 0 ? kOk : kLoadFailed;
}

}  // namespace

int LoadJpeg(const std::string& path, Bitmap& work, Bitmap& scratch, std::vector<std::uint8_t>& colorProfile,
             const LoadLimits& limits) {
  // Whatever happens, the previous picture and its profile are gone: a failure leaves the bitmap
  // 1 x 1 and meaningless (its memory stays for the next picture).
  work.Reset(1, 1);
  colorProfile.clear();
  std::unique_ptr<std::uint8_t[]> bytes;
  std::size_t size = 0;
  const int read = ReadWholeFile(path, bytes, size);
  if (read != kOk) return read;
  return LoadJpegFromMemory(bytes.get(), size, work, scratch, colorProfile, limits);
}

int LoadJpegFromMemory(const std::uint8_t* data, std::size_t size, Bitmap& work, Bitmap& scratch,
                       std::vector<std::uint8_t>& colorProfile, const LoadLimits& limits) {
  work.Reset(1, 1);
  int orientation = 1;
  const int decoded = DecodeJpeg(data, size, limits, work, orientation, colorProfile);
  if (decoded != kOk) {
    work.Reset(1, 1);
    colorProfile.clear();
    return decoded;
  }
  if (!ApplyOrientation(work, scratch, orientation)) {
    work.Reset(1, 1);
    colorProfile.clear();
    return kOutOfMemory;
  }
  return kOk;
}

}  // namespace phototrim
