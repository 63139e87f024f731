// Escapes the control characters of a text for a terminal.
#include "cli/terminal_text.h"

#include "trim/format.h"

namespace phototrim::cli {

std::string EscapeControls(std::string_view text, bool keepLineBreaks) {
  std::string shown;
  shown.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned byte = static_cast<unsigned char>(text[i]);
    const unsigned next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    // U+0080..U+009F, encoded C2 80..C2 9F: some terminals obey them as controls (CSI among them).
    if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {
      shown += Format("\\x%02X\\x%02X", byte, next);
      ++i;
    } else if ((byte < 0x20 && !(keepLineBreaks && byte == '\n')) || byte == 0x7F) {
      shown += Format("\\x%02X", byte);
    } else {
      shown += text[i];
    }
  }
  return shown;
}

}  // namespace phototrim::cli
