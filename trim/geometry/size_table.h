// The target sizes the user chooses from, and the target size pair of a run.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace phototrim {

enum class SizeKind { Print, Pixel };

// One size the user can choose: its names, its kind and its pair. (How the window shows it is the
// window's matter.)
struct TSizeChoice {
  const char* name;        // the short name users type: "L", "はがき", "QXGA" …
  const char* alias;       // an ASCII alias for the command line, or ""
  SizeKind kind;
  int LongSide;            // pixels; at 400 dpi for print sizes
  int ShortSide;
};

// In the order the size buttons stand in the window, top to bottom; a run knows its size by its row.
extern const std::array<TSizeChoice, 18> kSizeTable;

// The resolutions a print size can be scaled to.
inline constexpr std::array<int, 5> kDpiChoices = {150, 200, 300, 320, 400};

// What a run reads once at its start to fix its target size.
struct SizeSettings {
  int row = 0;               // index into kSizeTable of the chosen button (0: L)
  int dpi = 400;             // the chosen resolution, applied to print sizes only
  std::string fixedFirst;    // Edit3: first value of the fixed pixel size
  std::string fixedSecond;   // Edit4: second value
};

struct TargetSize {
  int LongSide = 0;
  int ShortSide = 0;
};

// The pair of a run: the chosen row (print sizes scaled by dpi / 400 with truncation), replaced by
// the fixed pixel size when both of its texts are non-empty (320 and 240 for a text that is not an
// integer).
TargetSize ComputeTargetSize(const SizeSettings& settings);

// The usual signed 32-bit conversion of a typed number: leading spaces, an optional sign, decimal
// digits, or hexadecimal after "$" or "0x". False for anything else, trailing spaces included, and
// for values outside the 32-bit range.
bool ParseInteger(std::string_view text, int& value);

// The row whose name or alias matches, letter case ignored for ASCII; -1 when none does.
int FindSizeRow(std::string_view name);

}  // namespace phototrim
