// The start checks of a run on the fixed size and the output folder.
#include "trim/run/start_checks.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include "platform/folder_listing.h"

namespace phototrim {

namespace {

bool WholeNumber(const std::string& text) {
  // At most 9 digits keeps it in int range; leading zeros are allowed ("0800").
  const auto first = text.find_first_not_of('0');
  if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return false;
  return first != std::string::npos && text.size() - first <= 9;
}

// The path without its last part ("/a/b/" gives "/a"); "/" stays "/", a bare name gives ".".
std::string ParentOf(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

bool FixedSizeUnusable(const SizeSettings& size) {
  if (size.fixedFirst.empty() || size.fixedSecond.empty()) return false;  // not in force
  return !WholeNumber(size.fixedFirst) || !WholeNumber(size.fixedSecond);
}

OutputFolderFault CheckOutputFolder(const std::string& input, const std::string& output) {
  const auto in = FolderIdentity(input), out = FolderIdentity(output);
  if (in && out && *in == *out) return OutputFolderFault::SameAsInput;
  // The nearest part of the path that exists decides: the folders below it are made by the save.
  // Without its trailing separators, a file named as a folder ("out/") is found as the file it is.
  std::string existing = output;
  while (existing.size() > 1 && existing.back() == '/') existing.pop_back();
  struct stat st {};
  for (int depth = 0; ::stat(existing.c_str(), &st) != 0; ++depth) {
    // Any other refusal (a folder that may not be searched) is left to the save to report.
    if ((errno != ENOENT && errno != ENOTDIR) || depth > 4096) return OutputFolderFault::None;
    const std::string parent = ParentOf(existing);
    if (parent == existing) return OutputFolderFault::None;
    existing = parent;
  }
  if (!S_ISDIR(st.st_mode)) return OutputFolderFault::NotAFolder;
  struct statvfs fs {};
  if (::statvfs(existing.c_str(), &fs) == 0 && (fs.f_flag & ST_RDONLY)) return OutputFolderFault::ReadOnly;
  return OutputFolderFault::None;
}

}  // namespace phototrim
