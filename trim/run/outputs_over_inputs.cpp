// Finds the files of a run's list that are also outputs of the run, by folder identity and name.
#include "trim/run/outputs_over_inputs.h"

#include <cstdint>
#include <map>
#include <optional>
#include <tuple>
#include <unordered_map>

#include "platform/folder_listing.h"
#include "trim/run/batch_run.h"

namespace phototrim {

namespace {

using FileKey = std::tuple<std::uint64_t, std::uint64_t, std::string>;

// Folder identities, asked of the system once per folder text.
class KeyOf {
 public:
  std::optional<FileKey> operator()(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return std::nullopt;
    const std::string folder = path.substr(0, slash + 1);
    auto found = folders_.find(folder);
    if (found == folders_.end()) found = folders_.emplace(folder, FolderIdentity(folder)).first;
    if (!found->second) return std::nullopt;
    return FileKey{found->second->first, found->second->second, path.substr(slash + 1)};
  }

 private:
  std::unordered_map<std::string, std::optional<std::pair<std::uint64_t, std::uint64_t>>> folders_;
};

}  // namespace

std::vector<int> OutputsOverInputs(const std::vector<std::string>& files, const std::string& in,
                                   const std::string& out, const std::vector<std::string>& namedAs) {
  KeyOf keyOf;
  std::map<FileKey, int> listed;
  for (std::size_t i = 0; i < files.size(); ++i)
    if (const auto key = keyOf(files[i])) listed.emplace(*key, static_cast<int>(i));
  std::vector<int> overwrites(files.size(), -1);
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string& named = namedAs.empty() ? files[i] : namedAs[i];
    if (named.size() < in.size()) continue;
    const auto key = keyOf(ComposeOutputPath(named, in, out));
    if (!key) continue;
    const auto found = listed.find(*key);
    if (found != listed.end()) overwrites[i] = found->second;
  }
  return overwrites;
}

}  // namespace phototrim
