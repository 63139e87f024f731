// The start checks of a run on the fixed size and the output folder.
#include "trim/run/start_checks.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <vector>

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
  const auto in = FolderIdentity(input);
  // The nearest part of the path that exists, and the names below it that the save is to make.
  // Without its trailing separators, a file named as a folder ("out/") is found as the file it is.
  std::string existing = output;
  while (existing.size() > 1 && existing.back() == '/') existing.pop_back();
  std::vector<std::string> toMake;
  struct stat st {};
  while (::stat(existing.c_str(), &st) != 0) {
    // Any other refusal (a folder that may not be searched) is left to the save to report.
    if (errno != ENOENT && errno != ENOTDIR) return OutputFolderFault::None;
    const std::string parent = ParentOf(existing);
    if (parent == existing) return OutputFolderFault::None;
    toMake.push_back(existing.substr(existing.rfind('/') + 1));
    existing = parent;
  }
  if (!S_ISDIR(st.st_mode)) return OutputFolderFault::NotAFolder;
  // Folders still to be made are new folders, so ".." below them climbs back by name alone:
  // "in/new/.." is "in" once "new" is made.
  std::string reached = existing;
  int depth = 0;
  for (auto name = toMake.rbegin(); name != toMake.rend(); ++name) {
    if (*name == "." || name->empty()) continue;
    if (*name != "..") ++depth;
    else if (depth > 0) --depth;
    else reached += "/..";
  }
  if (depth == 0 && in && FolderIdentity(reached) == in) return OutputFolderFault::SameAsInput;
  struct statvfs fs {};
  if (::statvfs(existing.c_str(), &fs) == 0 && (fs.f_flag & ST_RDONLY)) return OutputFolderFault::ReadOnly;
  return OutputFolderFault::None;
}

}  // namespace phototrim
