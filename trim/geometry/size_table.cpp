// The size table and ComputeTargetSize. Print sizes are constants at 400 dpi, not computed from mm.
#include "trim/geometry/size_table.h"

#include <cctype>
#include <cstdint>

namespace phototrim {

const std::array<TSizeChoice, 18> kSizeTable = {{
    {"RadioButton1", "L　     89mm×127mm", "L", "", SizeKind::Print, 2000, 1401, "StaticText1", "1.42"},
    {"RadioButton2", "はがき 102mm×152mm", "はがき", "postcard", SizeKind::Print, 2394, 1606, "StaticText2", "1.49"},
    {"RadioButton3", "2L　   127mm×178mm", "2L", "", SizeKind::Print, 2803, 2000, "StaticText3", "1.39"},
    {"RadioButton5", "八切　 165mm×216mm", "八切", "hachigiri", SizeKind::Print, 3402, 2598, "StaticText5", "1.309"},
    {"RadioButton6", "六切　 203mm×254mm", "六切", "mutsugiri", SizeKind::Print, 4000, 3196, "StaticText6", "1.25"},
    {"RadioButton7", "W六切　203mm×305mm", "W六切", "w-mutsugiri", SizeKind::Print, 4803, 3196, "StaticText7", "1.50"},
    {"RadioButton8", "A4　   210mm×297mm", "A4", "", SizeKind::Print, 4677, 3307, "StaticText8", "1.414"},
    {"RadioButton9", "四切　 254mm×305mm", "四切", "yotsugiri", SizeKind::Print, 4803, 4000, "StaticText9", "1.20"},
    {"RadioButton10", "W四切　254mm×368mm", "W四切", "w-yotsugiri", SizeKind::Print, 5795, 4000, "StaticText10", "1.448"},
    {"RadioButton4", "4Base　1536px×1024px", "4Base", "", SizeKind::Pixel, 1536, 1024, "StaticText4", "1.50"},
    {"RadioButton15", "16Base 3072px×2048px", "16Base", "", SizeKind::Pixel, 3072, 2048, "StaticText11", "1.50"},
    {"RadioButton20", "QVGA    320px× 240px", "QVGA", "", SizeKind::Pixel, 320, 240, "StaticText15", "1.33"},
    {"RadioButton23", "VGA     640px× 480px", "VGA", "", SizeKind::Pixel, 640, 480, "StaticText18", "1.33"},
    {"RadioButton17", "SVGA    800px× 600px", "SVGA", "", SizeKind::Pixel, 800, 600, "StaticText12", "1.33"},
    {"RadioButton18", "XGA    1024px× 768px", "XGA", "", SizeKind::Pixel, 1024, 768, "StaticText13", "1.33"},
    {"RadioButton19", "SXGA   1280px×1024px", "SXGA", "", SizeKind::Pixel, 1280, 1024, "StaticText14", "1.33"},
    {"RadioButton21", "UXGA   1600px×1200px", "UXGA", "", SizeKind::Pixel, 1600, 1200, "StaticText16", "1.33"},
    {"RadioButton22", "QXGA   2048px×1536px", "QXGA", "", SizeKind::Pixel, 2048, 1536, "StaticText17", "1.33"},
}};

namespace {
// Second ASCII aliases that users are as likely to type as the first.
constexpr std::array<std::pair<const char*, int>, 2> kExtraAliases = {{{"hagaki", 1}, {"yatsugiri", 3}}};

bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}
}  // namespace

TargetSize ComputeTargetSize(const SizeSettings& settings) {
  TargetSize pair{kSizeTable[0].LongSide, kSizeTable[0].ShortSide};
  const bool validRow = settings.row >= 0 && settings.row < static_cast<int>(kSizeTable.size());
  if (validRow && kSizeTable[settings.row].kind == SizeKind::Print)
    pair = {kSizeTable[settings.row].LongSide, kSizeTable[settings.row].ShortSide};
  // Print sizes are always scaled by the chosen resolution, even when the reduction is off.
  pair.LongSide = pair.LongSide * settings.dpi / 400;
  pair.ShortSide = pair.ShortSide * settings.dpi / 400;
  if (validRow && kSizeTable[settings.row].kind == SizeKind::Pixel)
    pair = {kSizeTable[settings.row].LongSide, kSizeTable[settings.row].ShortSide};
  if (!settings.fixedFirst.empty() && !settings.fixedSecond.empty()) {
    int first = 0, second = 0;
    pair.LongSide = ParseInteger(settings.fixedFirst, first) ? first : 320;
    pair.ShortSide = ParseInteger(settings.fixedSecond, second) ? second : 240;
  }
  return pair;
}

bool ParseInteger(std::string_view text, int& value) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i == text.size()) return false;
  std::int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return false;
    magnitude = magnitude * base + digit;
    if (magnitude > std::int64_t{1} << 32) return false;
  }
  const std::int64_t signedValue = negative ? -magnitude : magnitude;
  if (signedValue < INT32_MIN || signedValue > INT32_MAX) return false;
  value = static_cast<int>(signedValue);
  return true;
}

int FindSizeRow(std::string_view name) {
  for (std::size_t row = 0; row < kSizeTable.size(); ++row) {
    const TSizeChoice& choice = kSizeTable[row];
    if (SameIgnoringAsciiCase(name, choice.name) || (*choice.alias && SameIgnoringAsciiCase(name, choice.alias)))
      return static_cast<int>(row);
  }
  for (const auto& [alias, row] : kExtraAliases)
    if (SameIgnoringAsciiCase(name, alias)) return row;
  return -1;
}

}  // namespace phototrim
