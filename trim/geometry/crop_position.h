// Where a crop sits in the room its picture leaves along the free axis, in hundredths of a percent.
#pragma once

#include <string>
#include <string_view>

#include "trim/bitmap.h"

namespace phototrim {

// 0 puts the crop at the left or top edge, 5000 in the middle, 10000 at the right or bottom edge.
// Hundredths keep the offsets exact integers: a position has at most two decimals of a percent.
struct CropPosition {
  int x = 5000;
  int y = 5000;
  friend bool operator==(const CropPosition&, const CropPosition&) = default;
};

inline constexpr int kPositionScale = 10000;  // hundredths of a percent in the whole room
inline constexpr CropPosition kCentred{};

// floor(room × hundredths / 10000) in 64 bits. For the centre this is room / 2 truncated, the
// offset of the centred crop, so a run without positions keeps its bytes.
int OffsetInRoom(int room, int hundredths);

// The cw x ch rectangle of a W x H upright picture, placed at `place` in the room left on each axis.
// A crop larger than the picture gets the centred offsets (negative), which the crop check refuses.
PixelRect PlacedRect(int W, int H, int cw, int ch, CropPosition place);

// "0" to "100" with at most two decimals ("12.5", "33.33", "100.00"); no sign, no spaces.
bool ParsePercent(std::string_view text, int& hundredths);

// The shortest form that ParsePercent reads back: "50", "12.5", "33.33".
std::string FormatPercent(int hundredths);

}  // namespace phototrim
