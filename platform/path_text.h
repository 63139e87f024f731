// Path texts: UTF-8 byte strings with '/' as the separator, measured in bytes.
#pragma once

#include <string>
#include <string_view>

namespace phototrim {

// Longest path text, in bytes, that a folder or output path may hold (a 2048-byte buffer with its NUL).
inline constexpr std::size_t kMaxPathBytes = 2047;

// Longest output path, in bytes, that the run composes: what the system takes (PATH_MAX with its
// NUL). Beyond it a path would have to be cut, and name another file.
inline constexpr std::size_t kMaxOutputPathBytes = 4095;

// 1 when the text ends with a separator, 0 when it does not, -2 when it is 2048 bytes or longer,
// -3 when it is empty. In UTF-8 no byte of a multi-byte character can be '/', so a byte test is
// already a character test. Callers test only for 1.
int EndsWithSeparator(std::string_view text);

// The folder part of a file path: everything before the last '/'. The separator itself is dropped,
// except when it follows another '/' or stands first, so "out//a.jpg" gives "out/" and "/a.jpg" gives "/".
// A path without any separator gives the empty text.
std::string FolderPartOf(std::string_view path);

// The parent of a folder text for the level-by-level folder creation: the folder part of the text
// with any trailing separators removed first. "/" and "" have no parent and give themselves.
std::string ParentFolderOf(std::string_view folder);

// The name as a file system that ignores letter case (FAT, exFAT) compares it: the letters A-Z made
// a-z, every other byte as it is.
std::string FoldLetterCase(std::string name);

}  // namespace phototrim
