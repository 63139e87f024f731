// The crop positions of a set of pictures, and their match with the pictures a run collected.
#include "trim/geometry/crop_positions.h"

#include <unordered_set>

namespace phototrim {

void CropPositions::Set(const std::string& relativePath, CropPosition place, int line) {
  if (place == kCentred && line == 0) {
    byPath_.erase(relativePath);
    return;
  }
  byPath_[relativePath] = {place, line};
}

CropPosition CropPositions::Of(const std::string& relativePath) const {
  const auto found = byPath_.find(relativePath);
  return found == byPath_.end() ? kCentred : found->second.place;
}

std::string RelativeToFolder(const std::string& path, const std::string& root) {
  std::size_t start = std::min(root.size(), path.size());
  while (start < path.size() && path[start] == '/') ++start;
  return path.substr(start);
}

std::vector<CropPosition> PlaceEach(const CropPositions& positions, const std::vector<std::string>& paths,
                                    const std::string& root, std::vector<std::string>* unmatched) {
  std::vector<CropPosition> places;
  if (positions.empty()) return places;
  std::unordered_set<std::string> used;
  places.reserve(paths.size());
  for (const std::string& path : paths) {
    const std::string relative = RelativeToFolder(path, root);
    const auto found = positions.Entries().find(relative);
    places.push_back(found == positions.Entries().end() ? kCentred : found->second.place);
    if (found != positions.Entries().end()) used.insert(relative);
  }
  if (unmatched)
    for (const auto& [relative, entry] : positions.Entries())
      if (!used.count(relative)) unmatched->push_back(relative);
  return places;
}

}  // namespace phototrim
