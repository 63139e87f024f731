// Tests and changes on the file system through POSIX calls.
#include "platform/file_system.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/path_text.h"

namespace phototrim {

bool FileExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool FolderExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool SetCurrentFolder(const std::string& path) { return !path.empty() && ::chdir(path.c_str()) == 0; }

bool CreateFolderTree(const std::string& folder, std::vector<std::string>* made) {
  if (folder.empty() || FolderExists(folder)) return true;
  const std::string parent = ParentFolderOf(folder);
  if (parent != folder && !parent.empty() && !CreateFolderTree(parent, made)) return false;
  if (::mkdir(folder.c_str(), 0777) == 0) {
    if (made) made->push_back(folder);
    return true;
  }
  // Another process (or a worker of ours) may have made it in the meantime.
  const int error = errno;
  if (error == EEXIST && FolderExists(folder)) return true;
  errno = error;
  return false;
}

std::string CurrentFolder() {
  std::string buffer(4096, '\0');
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE || buffer.size() > (1u << 20)) return {};
    buffer.resize(buffer.size() * 2);
  }
  buffer.resize(buffer.find('\0'));
  return buffer;
}

std::string AbsolutePath(const std::string& path) {
  if (path.empty() || path.front() == '/') return path;
  std::string base = CurrentFolder();
  if (base.empty()) return path;
  if (EndsWithSeparator(base) != 1) base += '/';
  return base + path;
}

}  // namespace phototrim
