// Text bound for a terminal: names cannot move the cursor, clear the screen or split a line.
#pragma once

#include <string>
#include <string_view>

namespace phototrim::cli {

// The text with every control character (C0, DEL, and C1 as UTF-8) shown as a \xHH escape; a line
// break stays one when `keepLineBreaks` (a message of several lines). All other bytes stay as they
// are, names that are not UTF-8 included.
std::string EscapeControls(std::string_view text, bool keepLineBreaks);

}  // namespace phototrim::cli
