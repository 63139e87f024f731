// A temporary folder for one test, removed with everything in it when the test ends.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace phototrim::testing {

class TestFolder {
 public:
  TestFolder();
  ~TestFolder();
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;

  // The folder's absolute path, without a trailing separator.
  const std::string& Path() const { return path_; }
  // Path() + "/" + relative.
  std::string operator/(const std::string& relative) const {
    std::string path;  // appended piece by piece: GCC 12 warns falsely about "a" + b + c here
    path.reserve(path_.size() + 1 + relative.size());
    path.append(path_).append(1, '/').append(relative);
    return path;
  }

 private:
  std::string path_;
};

// Writes bytes to a file, creating the folders above it.
void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
void WriteText(const std::string& path, const std::string& text);
std::vector<std::uint8_t> ReadBytes(const std::string& path);
void MakeFolders(const std::string& path);
// Every file under a folder, as paths relative to it, sorted.
std::vector<std::string> ListFilesBelow(const std::string& folder);

}  // namespace phototrim::testing
