// Lists one folder's entries, sorted by name in byte order.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace phototrim {

struct FolderEntry {
  std::string name;       // the name's bytes as stored, valid UTF-8 or not
  bool isFolder = false;  // a folder, or a symbolic link to one
  std::uint64_t device = 0, inode = 0;  // identity of a folder, to recognise loops
};

// The entries of a folder without "." and "..", or nothing when the folder cannot be read whole,
// with errno telling why.
std::optional<std::vector<FolderEntry>> ListFolder(const std::string& folder);

// Identity (device, inode) of a folder, or nothing when it cannot be read.
std::optional<std::pair<std::uint64_t, std::uint64_t>> FolderIdentity(const std::string& folder);

}  // namespace phototrim
