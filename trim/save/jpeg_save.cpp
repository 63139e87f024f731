// SaveJpeg: makes sure the output folder exists, then writes the picture there in one piece.
#include "trim/save/jpeg_save.h"

#include <cerrno>
#include <sys/mman.h>
#include <sys/stat.h>
#include <vector>
#include <unistd.h>

#include "platform/file_system.h"
#include "platform/path_text.h"
#include "trim/save/file_writer.h"
#include "trim/format.h"
#include "trim/codec/jpeg_encode.h"
#include "trim/messages.h"
#include "trim/result_codes.h"

namespace phototrim {

namespace {

// A default quality when a host gives none: the window's own default.
constexpr int kDefaultQuality = 90;

// A target that exists but may not be written (a read-only file) is left alone, as writing over
// it in place would be refused; renaming over it would not be, so it is asked beforehand.
bool TargetWritable(const std::string& target) {
  struct stat st {};
  if (::lstat(target.c_str(), &st) != 0) return true;  // nothing there yet
  return !S_ISREG(st.st_mode) || ::access(target.c_str(), W_OK) == 0;
}

bool WriteJpegFile(const std::string& target, const Bitmap& picture, const std::vector<std::uint8_t>& colorProfile,
                   int quality, LeftoverSweeps* sweeps) {
  if (!TargetWritable(target)) return false;
  ReplacingFile file;
  return file.Open(FolderPartOf(target), sweeps) && EncodeJpegToFd(picture, colorProfile, quality, file.Fd()) &&
         file.Commit(target);
}

// Copies the whole encoded stream into the open temporary file, every write checked.
bool CopyEncoded(int from, int to) {
  std::vector<std::uint8_t> buffer(256 * 1024);  // a few system calls for a typical photo
  if (::lseek(from, 0, SEEK_SET) != 0) return false;
  for (;;) {
    const ssize_t got = ::read(from, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    if (!WriteAll(to, buffer.data(), static_cast<std::size_t>(got))) return false;
  }
}

bool WriteEncodedFile(const std::string& target, const EncodedJpeg& encoded, LeftoverSweeps* sweeps) {
  if (!encoded.Holds() || !TargetWritable(target)) return false;
  ReplacingFile file;
  return file.Open(FolderPartOf(target), sweeps) && CopyEncoded(encoded.Fd(), file.Fd()) && file.Commit(target);
}

// The steps of a save around its write: the path test, the folder entered or created, each
// failure with its notice and code. `write` writes the file at the absolute target.
template <typename Write>
int SaveWith(const std::string& path, const SaveJpegHost& host, Write write) {
  const auto notice = [&host](const std::string& text) {
    if (host.showNotice) host.showNotice(text);
  };
  if (path.size() <= 2) {
    notice(text::kSaveNoFolder);
    return kSavePathTooShort;
  }
  // Fixed before the current folder changes, so that a relative path still means what it meant.
  const std::string target = AbsolutePath(path);
  const std::string folder = FolderPartOf(path);
  // Entering the folder is also the test that it exists.
  if (!SetCurrentFolder(folder)) {
    if (!CreateFolderTree(folder)) {
      notice(Format(text::kSaveCannotCreate, folder.c_str()));
      return kSaveCannotCreateFolder;
    }
    if (!SetCurrentFolder(folder)) {
      notice(text::kSaveFailed);
      return kSaveCannotEnterFolder;
    }
  }
  if (!write(target)) {
    notice(text::kSaveFailed);
    return kSaveWriteFailed;
  }
  return kOk;
}

}  // namespace

int SaveJpeg(const std::string& path, const Bitmap& picture, const std::vector<std::uint8_t>& colorProfile,
             const SaveJpegHost& host) {
  return SaveWith(path, host, [&](const std::string& target) {
    // Read now, not at the start of the run: the slider may have moved since the last file.
    const int quality = host.readQuality ? host.readQuality() : kDefaultQuality;
    return WriteJpegFile(target, picture, colorProfile, quality, host.sweeps);
  });
}

int SaveEncodedJpeg(const std::string& path, const EncodedJpeg& encoded, const SaveJpegHost& host) {
  return SaveWith(path, host,
                  [&](const std::string& target) { return WriteEncodedFile(target, encoded, host.sweeps); });
}

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

bool EncodedJpeg::Encode(const Bitmap& picture, const std::vector<std::uint8_t>& colorProfile, int quality) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = ::memfd_create("phototrim-encoded", MFD_CLOEXEC);
  if (fd_ < 0) return false;
  if (!EncodeJpegToFd(picture, colorProfile, quality, fd_)) {
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  return true;
}

}  // namespace phototrim
