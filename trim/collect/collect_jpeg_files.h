// CollectJpegFiles: the depth-first list of the ".jpg" files of a folder tree, with folder counters.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace phototrim {

struct FolderCounters {
  int SubfolderCount = 0;
  int FileCount = 0;
  int JpegFileCount = 0;
};

// Appends to `list` the full path of every file of `folder` whose name ends in ".jpg" (any letter
// case) and, unless `noSubfolders` answers true when a subfolder is met, those of its subfolders,
// each subfolder's files where its entry stands (pre-order; entries sorted by name in byte order).
// Every path begins with `folder`, followed by '/' when it had none. Counts subfolders, files and
// JPEG files into `counters`; neither clears the list nor resets the counters. An unreadable folder
// adds nothing. A folder reached through a symbolic link is entered unless it is already on the
// way down (no loops).
void CollectJpegFiles(const std::string& folder, std::vector<std::string>& list, FolderCounters& counters,
                      const std::function<bool()>& noSubfolders);

// True when the name ends in a full stop and j, p, g in either letter case ("a.JPG", not "a.jpeg").
bool HasJpegExtension(const std::string& name);

}  // namespace phototrim
