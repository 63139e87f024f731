// The checks on the name of a new output subfolder.
#include "folders/subfolder_name.h"

#include "platform/path_text.h"

namespace phototrim::folders {

std::string UsedNameBytes(std::string_view entered) {
  if (entered.size() <= kNameBytesUsed) return std::string(entered);
  std::size_t end = kNameBytesUsed;
  // A byte 10xxxxxx continues the character before it: cut before the character it belongs to.
  while (end > 0 && (static_cast<unsigned char>(entered[end]) & 0xC0) == 0x80) --end;
  return std::string(entered.substr(0, end));
}

bool HasForbiddenCharacter(std::string_view name) {
  // Nine characters that have no place in a folder name, and the closing square bracket as well.
  return name.find_first_of("<>'\"=?*;:]") != std::string_view::npos;
}

std::string SubfolderBase(std::string_view outputFolder) {
  std::string base(outputFolder);
  if (EndsWithSeparator(base) != 1) base += '/';
  return base;
}

NameCheck CheckSubfolderName(std::string_view name, std::string_view base) {
  if (name.empty()) return NameCheck::Empty;
  if (HasForbiddenCharacter(name)) return NameCheck::ForbiddenCharacter;
  if (base.size() + name.size() > kMaxBaseAndNameBytes) return NameCheck::TooLong;
  return NameCheck::Ok;
}

}  // namespace phototrim::folders
