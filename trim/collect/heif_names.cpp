// Output names of HEIF inputs: the extension becomes ".jpg" unless that name is taken in the folder.
#include "trim/collect/heif_names.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include "platform/path_text.h"

namespace phototrim {

namespace {

struct Entry {
  std::size_t index;
  std::size_t nameAt;  // where the file name begins in the path
};

}  // namespace

bool HasHeifExtension(const std::string& name) {
  const auto endsWith = [&name](const char* tail) {
    const std::size_t n = std::strlen(tail);
    if (name.size() <= n) return false;
    for (std::size_t i = 0; i < n; ++i)
      if ((name[name.size() - n + i] | 0x20) != tail[i]) return false;
    return true;
  };
  return endsWith(".heic") || endsWith(".heif") || endsWith(".hif");
}

std::vector<std::string> OutputNamePaths(const std::vector<std::string>& paths) {
  std::vector<std::string> result = paths;
  // The inputs of each folder: the names JPEG inputs give first, then the HEIF ones in byte order.
  std::map<std::string, std::vector<Entry>> heifByFolder;
  std::map<std::string, std::set<std::string>> taken;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const std::size_t slash = paths[i].rfind('/');
    const std::size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
    const std::string folder = paths[i].substr(0, nameAt);
    const std::string name = paths[i].substr(nameAt);
    if (HasHeifExtension(name)) heifByFolder[folder].push_back({i, nameAt});
    else taken[folder].insert(FoldLetterCase(name));
  }
  for (auto& [folder, entries] : heifByFolder) {
    std::sort(entries.begin(), entries.end(), [&paths](const Entry& a, const Entry& b) {
      return paths[a.index].compare(a.nameAt, std::string::npos, paths[b.index], b.nameAt, std::string::npos) < 0;
    });
    std::set<std::string>& names = taken[folder];
    for (const Entry& entry : entries) {
      const std::string name = paths[entry.index].substr(entry.nameAt);
      const std::string replaced = name.substr(0, name.rfind('.')) + ".jpg";
      const std::string appended = name + ".jpg";
      std::string& out = result[entry.index];
      if (names.insert(FoldLetterCase(replaced)).second) out = folder + replaced;
      else if (names.insert(FoldLetterCase(appended)).second) out = folder + appended;
      else out.clear();
    }
  }
  return result;
}

}  // namespace phototrim
