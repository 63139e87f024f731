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

// What a collection tells and asks while it goes on; either may be left empty.
struct CollectWatch {
  // Asked between entries; true ends the collection at once, with what it has found so far.
  std::function<bool()> stop;
  // A folder that could not be listed, with the errno that refused it.
  std::function<void(const std::string& folder, int error)> unreadable;
};

// Appends to `list` the full path of every file of `folder` whose name ends in ".jpg" (any letter
// case) and, unless `noSubfolders` answers true when a subfolder is met, those of its subfolders,
// each subfolder's files where its entry stands (pre-order; entries sorted by name in byte order).
// Every path begins with `folder`, followed by '/' when it had none. Counts subfolders, files and
// JPEG files into `counters`; neither clears the list nor resets the counters. An unreadable folder
// adds nothing (and is told to `watch`). Each folder is entered once, by its identity: a second way
// to a folder already entered (a symbolic link, a loop) is counted as a subfolder, not entered, so
// the time taken grows with the folders that exist, whatever links join them. The folder
// `leaveOut` (an output folder inside the tree), met in any spelling or through a link, is counted
// as a subfolder and not entered; it may be empty, missing, or the top folder itself (then ignored).
// With `heif`, files whose names end in ".heic", ".heif" or ".hif" (any letter case) are collected
// and counted as JPEG files are, in the same order.
void CollectJpegFiles(const std::string& folder, std::vector<std::string>& list, FolderCounters& counters,
                      const std::function<bool()>& noSubfolders, const CollectWatch& watch = {},
                      const std::string& leaveOut = {}, bool heif = false);

// True when the name ends in a full stop and j, p, g in either letter case ("a.JPG", not "a.jpeg").
bool HasJpegExtension(const std::string& name);

}  // namespace phototrim
