// The size table and ComputeTargetSize. Print sizes are constants at 400 dpi, not computed from mm.
#include "trim/geometry/size_table.h"

#include <cctype>
#include <cstdint>

namespace phototrim {

const std::array<TSizeChoice, 18> kSizeTable = {{
    {"L", "", SizeKind::Print, 2000, 1401},
    {"はがき", "postcard", SizeKind::Print, 2394, 1606},
    {"2L", "", SizeKind::Print, 2803, 2000},
    {"八切", "hachigiri", SizeKind::Print, 3402, 2598},
    {"六切", "mutsugiri", SizeKind::Print, 4000, 3196},
    {"W六切", "w-mutsugiri", SizeKind::Print, 4803, 3196},
    {"A4", "", SizeKind::Print, 4677, 3307},
    {"四切", "yotsugiri", SizeKind::Print, 4803, 4000},
    {"W四切", "w-yotsugiri", SizeKind::Print, 5795, 4000},
    {"4Base", "", SizeKind::Pixel, 1536, 1024},
    {"16Base", "", SizeKind::Pixel, 3072, 2048},
    {"QVGA", "", SizeKind::Pixel, 320, 240},
    {"VGA", "", SizeKind::Pixel, 640, 480},
    {"SVGA", "", SizeKind::Pixel, 800, 600},
    {"XGA", "", SizeKind::Pixel, 1024, 768},
    {"SXGA", "", SizeKind::Pixel, 1280, 1024},
    {"UXGA", "", SizeKind::Pixel, 1600, 1200},
    {"QXGA", "", SizeKind::Pixel, 2048, 1536},
}};

namespace {
// Second ASCII aliases that users are as likely to type as the first, each with the name of its row.
constexpr std::array<std::pair<const char*, const char*>, 2> kExtraAliases = {{{"hagaki", "はがき"}, {"yatsugiri", "八切"}}};

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
  for (const auto& [alias, rowName] : kExtraAliases)
    if (SameIgnoringAsciiCase(name, alias)) return FindSizeRow(rowName);
  return -1;
}

}  // namespace phototrim
