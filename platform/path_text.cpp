// Path texts: separator tests and folder parts of UTF-8 paths.
#include "platform/path_text.h"

namespace phototrim {

int EndsWithSeparator(std::string_view text) {
  if (text.size() >= kMaxPathBytes + 1) return -2;
  if (text.empty()) return -3;
  return text.back() == '/' ? 1 : 0;
}

std::string FolderPartOf(std::string_view path) {
  const auto last = path.rfind('/');
  if (last == std::string_view::npos) return {};
  // A separator at the very start is the root; one that follows another one is kept, so that a
  // doubled separator at the seam of the output path stays as it was composed.
  if (last == 0 || path[last - 1] == '/') return std::string(path.substr(0, last + 1));
  return std::string(path.substr(0, last));
}

std::string ParentFolderOf(std::string_view folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.remove_suffix(1);
  if (folder == "/" || folder.empty()) return std::string(folder);
  const auto last = folder.rfind('/');
  if (last == std::string_view::npos) return {};
  if (last == 0) return "/";
  return std::string(folder.substr(0, last));
}

std::string FoldLetterCase(std::string name) {
  for (char& c : name)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return name;
}

}  // namespace phototrim
