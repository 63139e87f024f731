// The checks on the name of a new output subfolder, in the order the subfolder command makes them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace phototrim::folders {

// Only this much of an entered name is used; the name dialog already stops at 255 characters.
inline constexpr std::size_t kNameBytesUsed = 2000;
// The longest base plus name, in bytes: 7 below the 2047-byte limit of an output path, so that the
// new folder still has room for a '/' and a short file name.
inline constexpr std::size_t kMaxBaseAndNameBytes = 2040;

enum class NameCheck { Ok, Empty, ForbiddenCharacter, TooLong };

// The first kNameBytesUsed bytes of the entered text, shortened further to the last whole UTF-8
// character so that a cut never leaves half a character in a folder name.
std::string UsedNameBytes(std::string_view entered);

// True when the name holds one of < > ' " = ? * ; : or ]. Every byte of a multi-byte UTF-8
// character is 0x80 or above, so a byte test never mistakes part of one for these.
bool HasForbiddenCharacter(std::string_view name);

// The output folder with a '/' appended unless it already ends with one.
std::string SubfolderBase(std::string_view outputFolder);

// Empty name, then forbidden characters, then the length of base and name together: the first
// check that fails decides. Nothing here touches the file system.
NameCheck CheckSubfolderName(std::string_view name, std::string_view base);

}  // namespace phototrim::folders
