// Crop positions: the offset they give in the room along an axis, and their text form.
#include "trim/geometry/crop_position.h"

#include <cstdint>

namespace phototrim {

int OffsetInRoom(int room, int hundredths) {
  // Both are non-negative for a crop that fits, so the truncating division is the floor.
  return static_cast<int>(static_cast<std::int64_t>(room) * hundredths / kPositionScale);
}

PixelRect PlacedRect(int W, int H, int cw, int ch, CropPosition place) {
  const int roomX = W - cw, roomY = H - ch;
  const int x = roomX < 0 ? roomX / 2 : OffsetInRoom(roomX, place.x);
  const int y = roomY < 0 ? roomY / 2 : OffsetInRoom(roomY, place.y);
  return {x, y, cw, ch};
}

bool ParsePercent(std::string_view text, int& hundredths) {
  int whole = 0, digits = 0;
  std::size_t i = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
    if (digits == 3) return false;
    whole = whole * 10 + (text[i] - '0');
  }
  if (digits == 0) return false;
  int fraction = 0;
  if (i < text.size()) {
    if (text[i] != '.') return false;
    const std::string_view decimals = text.substr(i + 1);
    if (decimals.empty() || decimals.size() > 2) return false;
    for (const char c : decimals) {
      if (c < '0' || c > '9') return false;
      fraction = fraction * 10 + (c - '0');
    }
    if (decimals.size() == 1) fraction *= 10;
  }
  const int value = whole * 100 + fraction;
  if (value > kPositionScale) return false;
  hundredths = value;
  return true;
}

std::string FormatPercent(int hundredths) {
  std::string text = std::to_string(hundredths / 100);
  const int fraction = hundredths % 100;
  if (fraction == 0) return text;
  text += '.';
  text += static_cast<char>('0' + fraction / 10);
  if (fraction % 10 != 0) text += static_cast<char>('0' + fraction % 10);
  return text;
}

}  // namespace phototrim
