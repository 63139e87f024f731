// SaveJpeg: makes sure the output folder exists, then writes the picture there in one piece.
#include "trim/save/jpeg_save.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "platform/file_system.h"
#include "platform/path_text.h"
#include "trim/codec/jpeg_encode.h"
#include "trim/format.h"
#include "trim/messages.h"
#include "trim/result_codes.h"
#include "trim/save/output_file.h"

namespace phototrim {

namespace {

// A default quality when a host gives none: the window's own default.
constexpr int kDefaultQuality = 90;
// Read from the encoded picture a few system calls' worth at a time, on the stack: a save under
// memory pressure needs no memory of its own.
constexpr std::size_t kCopyBytes = 64 * 1024;

// The output file as the encoder's sink, which gives up when the host says so.
class CancellableSink : public ByteSink {
 public:
  CancellableSink(OutputFile& file, const std::function<bool()>& cancelled) : file_(file), cancelled_(cancelled) {}
  bool Write(const std::uint8_t* data, std::size_t size) override {
    return !(cancelled_ && cancelled_()) && file_.Write(data, size);
  }

 private:
  OutputFile& file_;
  const std::function<bool()>& cancelled_;
};

// Each writer returns true when the file stands complete at the target; on failure the file's
// Error() tells which system call refused, 0 when none did (the encoder gave up on its own).
bool WriteJpegFile(OutputFile& file, const std::string& target, const Bitmap& picture,
                   const std::vector<std::uint8_t>& colorProfile, int quality, LeftoverSweeps* sweeps,
                   const std::function<bool()>& cancelled, const JpegMarkers& markers) {
  if (!file.Open(target, sweeps)) return false;
  CancellableSink sink(file, cancelled);
  if (EncodeJpeg(picture, colorProfile, quality, sink, markers)) return file.Commit();
  file.Discard();
  return false;
}

bool WriteEncodedFile(OutputFile& file, const std::string& target, const EncodedJpeg& encoded, LeftoverSweeps* sweeps) {
  if (!encoded.Holds() || !file.Open(target, sweeps)) return false;
  std::uint8_t buffer[kCopyBytes];
  for (off_t at = 0;;) {
    const ssize_t got = ::pread(encoded.Fd(), buffer, sizeof buffer, at);
    if (got < 0 && errno == EINTR) continue;
    if (got == 0) return file.Commit();
    if (got < 0) {
      file.Discard(errno);
      return false;
    }
    if (!file.Write(buffer, static_cast<std::size_t>(got))) return false;
    at += got;
  }
}

// The steps of a save around its write: the path test, the folder entered or created, each
// failure with its notice, reason and code, and the folder's new entry flushed or noted.
// `write` writes the file at the absolute target, as the writers above do.
template <typename Write>
int SaveWith(const std::string& path, const SaveJpegHost& host, Write write) {
  const FileCalls& calls = host.calls ? *host.calls : SystemFileCalls();
  const auto fail = [&host](int code, const std::string& notice, int error) {
    if (host.reason) *host.reason = error > 0 ? std::strerror(error) : "";
    if (host.showNotice) host.showNotice(notice);
    return code;
  };
  if (host.reason) host.reason->clear();
  if (path.size() <= 2) return fail(kSavePathTooShort, text::kSaveNoFolder, 0);
  // Fixed before the current folder changes, so that a relative path still means what it meant.
  const std::string target = AbsolutePath(path);
  const std::string folder = FolderPartOf(path);
  FolderFlushes ownFlushes;
  FolderFlushes& flushes = host.folderFlushes ? *host.folderFlushes : ownFlushes;
  // Entering the folder is also the test that it exists.
  if (!SetCurrentFolder(folder)) {
    std::vector<std::string> made;
    if (!CreateFolderTree(folder, &made)) {
      const int error = errno;
      return fail(kSaveCannotCreateFolder, Format(text::kSaveCannotCreate, folder.c_str()), error);
    }
    // Each folder made is a new entry of the folder above it.
    for (const std::string& madeFolder : made) flushes.Add(AbsolutePath(ParentFolderOf(madeFolder)));
    if (!SetCurrentFolder(folder)) {
      const int error = errno;
      return fail(kSaveCannotEnterFolder, text::kSaveFailed, error);
    }
  }
  OutputFile file(calls);
  if (!write(file, target)) {
    if (host.cancelled && host.cancelled()) return kStopped;  // given up, not failed
    return fail(kSaveWriteFailed, text::kSaveFailed, file.Error());
  }
  flushes.Add(FolderPartOf(target));
  if (!host.folderFlushes) ownFlushes.FlushAll(calls);
  return kOk;
}

}  // namespace

int SaveJpeg(const std::string& path, const Bitmap& picture, const std::vector<std::uint8_t>& colorProfile,
             const SaveJpegHost& host) {
  return SaveWith(path, host, [&](OutputFile& file, const std::string& target) {
    // Read now, not at the start of the run: the slider may have moved since the last file.
    const int quality = host.readQuality ? host.readQuality() : kDefaultQuality;
    return WriteJpegFile(file, target, picture, colorProfile, quality, host.sweeps, host.cancelled,
                         host.markers ? *host.markers : JpegMarkers{});
  });
}

int SaveEncodedJpeg(const std::string& path, const EncodedJpeg& encoded, const SaveJpegHost& host) {
  return SaveWith(path, host, [&](OutputFile& file, const std::string& target) {
    return WriteEncodedFile(file, target, encoded, host.sweeps);
  });
}

}  // namespace phototrim
