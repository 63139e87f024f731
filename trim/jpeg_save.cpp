// SaveJpeg: makes sure the output folder exists, then writes the picture there in one piece.
#include "trim/jpeg_save.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_system.h"
#include "platform/path_text.h"
#include "trim/file_writer.h"
#include "trim/format.h"
#include "trim/jpeg_encode.h"
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
                   int quality) {
  if (!TargetWritable(target)) return false;
  ReplacingFile file;
  return file.Open(FolderPartOf(target)) && EncodeJpegToFd(picture, colorProfile, quality, file.Fd()) &&
         file.Commit(target);
}

}  // namespace

int SaveJpeg(const std::string& path, const Bitmap& picture, const std::vector<std::uint8_t>& colorProfile,
             const SaveJpegHost& host) {
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
  // Read now, not at the start of the run: the slider may have moved since the last file.
  const int quality = host.readQuality ? host.readQuality() : kDefaultQuality;
  if (!WriteJpegFile(target, picture, colorProfile, quality)) {
    notice(text::kSaveFailed);
    return kSaveWriteFailed;
  }
  return kOk;
}

}  // namespace phototrim
