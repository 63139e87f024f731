// The crop positions of a set of pictures, by path relative to the input folder ("/" between names).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "trim/geometry/crop_position.h"

namespace phototrim {

class CropPositions {
 public:
  struct Entry {
    CropPosition place;
    int line = 0;  // the line of the file it was read from, 0 when it was set otherwise
  };

  // A centred position set by hand is the same as none: it is not held, so that only moved crops
  // are saved. One read from a file is held, so that a line naming no picture can be reported.
  void Set(const std::string& relativePath, CropPosition place, int line = 0);
  CropPosition Of(const std::string& relativePath) const;
  bool empty() const { return byPath_.empty(); }
  std::size_t size() const { return byPath_.size(); }
  const std::map<std::string, Entry>& Entries() const { return byPath_; }
  void Clear() { byPath_.clear(); }

 private:
  std::map<std::string, Entry> byPath_;  // sorted by bytes, so a saved file is the same every time
};

// `path` relative to the folder `root` it was collected from, without a leading "/".
std::string RelativeToFolder(const std::string& path, const std::string& root);

// For each path (collected under `root`), its position; `unmatched` gets the entries that name no
// path of the list. Empty when there are no positions: every picture at the centre.
std::vector<CropPosition> PlaceEach(const CropPositions& positions, const std::vector<std::string>& paths,
                                    const std::string& root, std::vector<std::string>* unmatched);

}  // namespace phototrim
