// SaveJpeg: makes sure the output folder exists, then writes the picture there in one piece.
#include "trim/save/jpeg_save.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <unistd.h>

#include "platform/file_system.h"
#include "platform/path_text.h"
#include "trim/codec/jpeg_encode.h"
#include "trim/format.h"
#include "trim/messages.h"
#include "trim/save/output_file.h"

namespace phototrim {

namespace {

// A default quality when a host gives none: the window's own default.
constexpr int kDefaultQuality = 90;
// Read from the encoded picture a few system calls' worth at a time, into a buffer off the stack:
// a worker's stack may be small (ulimit -s).
constexpr std::size_t kCopyBytes = 64 * 1024;

// The folder of a save, open for the calls made relative to it.
class OpenFolder {
 public:
  explicit OpenFolder(const std::string& folder) { Open(folder); }
  ~OpenFolder() {
    if (fd_ >= 0) ::close(fd_);
  }
  OpenFolder(const OpenFolder&) = delete;
  OpenFolder& operator=(const OpenFolder&) = delete;

  bool Open(const std::string& folder) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    // A folder we may enter but not list still takes files.
    if (fd_ < 0 && errno == EACCES) fd_ = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    return fd_ >= 0;
  }
  int Fd() const { return fd_; }

 private:
  int fd_ = -1;
};

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

// Where one file goes, and how it may take its name.
struct SaveTarget {
  int folderFd;
  const std::string& folder;  // absolute
  const std::string& name;
  CommitRules rules;
  mode_t mode;
  LeftoverSweeps* sweeps;
};

// Each writer returns Done when the file stands complete at the target; on Failed the file's
// Error() tells which system call refused, 0 when none did (the encoder gave up on its own).
CommitResult WriteJpegFile(OutputFile& file, const SaveTarget& to, const Bitmap& picture,
                           const std::vector<std::uint8_t>& colorProfile, int quality,
                           const std::function<bool()>& cancelled, const JpegMarkers& markers) {
  if (!file.Open(to.folderFd, to.folder, to.name, to.mode, to.sweeps)) return CommitResult::Failed;
  CancellableSink sink(file, cancelled);
  if (EncodeJpeg(picture, colorProfile, quality, sink, markers)) return file.Commit(to.rules);
  file.Discard();
  return CommitResult::Failed;
}

CommitResult WriteEncodedFile(OutputFile& file, const SaveTarget& to, const EncodedJpeg& encoded) {
  if (!encoded.Holds()) {
    file.Discard(encoded.Error());
    return CommitResult::Failed;
  }
  const std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[kCopyBytes]);
  if (!buffer) {
    file.Discard(ENOMEM);
    return CommitResult::Failed;
  }
  if (!file.Open(to.folderFd, to.folder, to.name, to.mode, to.sweeps)) return CommitResult::Failed;
  for (std::size_t at = 0;;) {
    const long got = encoded.ReadAt(at, buffer.get(), kCopyBytes);
    if (got == 0) return file.Commit(to.rules);
    if (got < 0) {
      file.Discard(errno);
      return CommitResult::Failed;
    }
    if (!file.Write(buffer.get(), static_cast<std::size_t>(got))) return CommitResult::Failed;
    at += static_cast<std::size_t>(got);
  }
}

// The steps of a save around its write: the path test, the folder opened or created, each
// failure with its notice, reason and result, and the folder's new entry flushed or noted.
// `write` writes the file at the target, as the writers above do.
template <typename Write>
SaveResult SaveWith(const std::string& path, const SaveJpegHost& host, Write write) {
  const FileCalls& calls = host.calls ? *host.calls : SystemFileCalls();
  const auto failWith = [&host](SaveResult failure, const std::string& notice, const std::string& reason) {
    if (host.reason) *host.reason = reason;
    if (host.showNotice) host.showNotice(notice);
    return failure;
  };
  const auto fail = [&failWith](SaveResult failure, const std::string& notice, int error) {
    return failWith(failure, notice, error > 0 ? std::strerror(error) : "");
  };
  // The folder is there: the notice says what went wrong instead (the encoder alone gives no reason).
  const auto failWriting = [&failWith](const std::string& reason) {
    return failWith(SaveResult::WriteFailed,
                    reason.empty() ? text::kSaveFailed : Format(text::kSaveWriteFailedBecause, reason.c_str()), reason);
  };
  const auto errorText = [](int error) { return std::string(error > 0 ? std::strerror(error) : ""); };
  if (host.reason) host.reason->clear();
  if (path.size() <= 2) return fail(SaveResult::PathTooShort, text::kSaveNoFolder, 0);
  const std::string folder = FolderPartOf(path);  // as the notice names it
  const std::string target = AbsolutePath(path);
  const std::string absoluteFolder = FolderPartOf(target);
  const std::string name = target.substr(target.rfind('/') + 1);
  FolderFlushes ownFlushes;
  FolderFlushes& flushes = host.folderFlushes ? *host.folderFlushes : ownFlushes;
  OpenFolder opened(absoluteFolder);
  if (opened.Fd() < 0) {
    std::vector<std::string> made;
    if (!CreateFolderTree(absoluteFolder, &made)) {
      const int error = errno;
      return fail(SaveResult::CannotCreateFolder, Format(text::kSaveCannotCreate, folder.c_str()), error);
    }
    // Each folder made is a new entry of the folder above it.
    for (const std::string& madeFolder : made) flushes.Add(ParentFolderOf(madeFolder));
    if (!opened.Open(absoluteFolder)) {
      const int error = errno;
      return fail(SaveResult::CannotEnterFolder, text::kSaveFailed, error);
    }
  }
  OutputFile file(calls);
  const SaveTarget to{opened.Fd(), absoluteFolder, name, {host.mayReplace, host.written}, host.newFileMode,
                      host.sweeps};
  switch (write(file, to)) {
    case CommitResult::Done:
      break;
    case CommitResult::TargetExists:
      return SaveResult::TargetExists;
    case CommitResult::WouldReplaceOwn:
      return failWriting(text::kReasonWouldReplaceOwnOutput);
    case CommitResult::Failed:
      if (host.cancelled && host.cancelled()) return SaveResult::Stopped;  // given up, not failed
      return failWriting(errorText(file.Error()));
  }
  flushes.Add(absoluteFolder);
  if (!host.folderFlushes) {
    const std::vector<FolderFlushFailure> failures = ownFlushes.FlushAll(calls);
    if (!failures.empty()) return failWriting(errorText(failures.front().error));
  }
  return SaveResult::Ok;
}

}  // namespace

SaveResult SaveJpeg(const std::string& path, const Bitmap& picture, const std::vector<std::uint8_t>& colorProfile,
                    const SaveJpegHost& host) {
  return SaveWith(path, host, [&](OutputFile& file, const SaveTarget& to) {
    // Read now, not at the start of the run: the slider may have moved since the last file.
    const int quality = host.readQuality ? host.readQuality() : kDefaultQuality;
    return WriteJpegFile(file, to, picture, colorProfile, quality, host.cancelled,
                         host.markers ? *host.markers : JpegMarkers{});
  });
}

SaveResult SaveEncodedJpeg(const std::string& path, const EncodedJpeg& encoded, const SaveJpegHost& host) {
  return SaveWith(path, host, [&](OutputFile& file, const SaveTarget& to) {
    return WriteEncodedFile(file, to, encoded);
  });
}

}  // namespace phototrim
