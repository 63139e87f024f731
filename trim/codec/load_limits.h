// The limits a decoder checks from a picture's header, before any pixel memory is allocated.
#pragma once

#include <cstdint>

namespace phototrim {

// Limits that keep a hostile file from taking the machine.
struct LoadLimits {
  std::uint64_t maxPixels = std::uint64_t{1} << 28;  // 268 megapixels
  int maxScans = 500;                                // progressive scans
};

}  // namespace phototrim
