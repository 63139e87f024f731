// The outputs a run has written, so that no later file of the same run replaces one of them.
#pragma once

#include <map>
#include <set>
#include <string>
#include <sys/types.h>
#include <utility>

namespace phototrim {

// Two inputs can lead to one output file: on a memory card or USB stick (FAT32, exFAT) and other
// folders that ignore letter case, Trip/IMG_0001.jpg and trip/IMG_0001.jpg, or DSC.JPG and dsc.jpg,
// are one file. With overwriting allowed, the second would silently replace the first picture.
// Files are known by device and inode, and by name within their folder for file systems whose
// inode numbers are not stable (FUSE drivers of FAT give each spelling its own). Used from one
// thread at a time.
class WrittenOutputs {
 public:
  // Whether replacing `name` in the folder open at `folderFd` would replace a file noted here.
  bool Holds(int folderFd, const std::string& name) const;
  // Notes the file now at `name` in the folder open at `folderFd`.
  void Note(int folderFd, const std::string& name);

 private:
  using FileId = std::pair<dev_t, ino_t>;
  std::set<FileId> files_;
  // For each folder, the names written there, by their letter-case folded form.
  std::map<FileId, std::multimap<std::string, std::string>> namesByFolder_;
};

}  // namespace phototrim
