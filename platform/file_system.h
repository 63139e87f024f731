// Tests and changes on the file system, by path bytes as they are (no text conversion).
#pragma once

#include <string>
#include <vector>

namespace phototrim {

// True when a file (anything but a folder) exists at the path.
bool FileExists(const std::string& path);

// True when the path names a folder, directly or through symbolic links.
bool FolderExists(const std::string& path);

// Makes the folder the process's current folder; this doubles as the test that a folder can be
// entered. False when it cannot.
bool SetCurrentFolder(const std::string& path);

// Creates a folder and every missing folder above it, parent before child, one level at a time.
// The climb stops at a folder that already exists or at the root. False when a creation fails, with
// errno telling why. The folders made are appended to `made`, when given, parent first.
bool CreateFolderTree(const std::string& folder, std::vector<std::string>* made = nullptr);

// The process's current folder, empty when it cannot be read.
std::string CurrentFolder();

// The path made absolute against the current folder; an absolute path is returned as it is.
std::string AbsolutePath(const std::string& path);

}  // namespace phototrim
