// Work memory of the high-quality reduction, kept for the host's life and grown only when needed.
#pragma once

#include <cstdint>
#include <vector>

namespace phototrim {

class ReductionPlanes {
 public:
  // Grows the buffers to hold a reduction to w x h from a source W wide; false when memory is short.
  bool Prepare(int W, int w, int h);

  std::vector<std::uint32_t> reduced;       // ReducedPlane: packed 0x00RRGGBB area averages, w x h
  std::vector<std::uint32_t> columnSums;    // one source row's weighted sums being gathered
};

}  // namespace phototrim
