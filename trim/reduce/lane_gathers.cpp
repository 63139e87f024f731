// The horizontal spans of a reduction as byte gathers inside 128-bit lanes.
#include "trim/reduce/lane_gathers.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace phototrim {

namespace {

// The first and the last source byte that the taps of outputs first .. end-1 read.
void BytesOfOutputs(const ColumnTaps& columns, std::size_t first, std::size_t end, int& low, int& high) {
  low = high = -1;
  for (std::size_t j = first; j < end; ++j) {
    const int x = static_cast<int>(j / 3), c = static_cast<int>(j % 3);
    const int from = 3 * columns.start[x] + c;
    const int to = 3 * (columns.start[x] + columns.taps - 1) + c;
    low = low < 0 ? from : std::min(low, from);
    high = std::max(high, to);
  }
}

}  // namespace

bool LaneGathersFit(const ColumnTaps& columns, int W) {
  if (columns.taps > kLaneTaps || 3 * W < kLaneWindow) return false;
  const std::size_t outputs = 3 * static_cast<std::size_t>(columns.count);
  for (std::size_t first = 0; first < outputs; first += kLaneOutputs) {
    int low = 0, high = 0;
    BytesOfOutputs(columns, first, std::min(outputs, first + kLaneOutputs), low, high);
    if (high - low >= kLaneWindow) return false;
  }
  return true;
}

RowGathers BuildLaneGathers(const ColumnTaps& columns, int W, ReductionPlanes& planes) {
  const int w = columns.count;
  const std::size_t blocks = LaneGatherBlocks(w);
  const std::size_t groups = blocks * kLaneGroupsPerBlock;
  const std::size_t outputs = 3 * static_cast<std::size_t>(w);
  const int rowBytes = 3 * W;
  std::int32_t* window = planes.GatherWindows();
  std::uint8_t* tables = planes.GatherTables();
  for (std::size_t g = 0; g < groups; ++g) {
    std::uint8_t* table = tables + g * kLaneGroupBytes;
    std::uint8_t* firstHalf = table;
    std::uint8_t* secondHalf = table + 32;
    std::uint8_t* weights = table + 64;
    std::uint8_t* totals = table + 96;
    std::uint8_t* inverses = table + 128;
    std::memset(firstHalf, 0x80, 64);  // both halves: 0 unless a tap is there
    std::memset(weights, 0, 32);
    // The bytes each lane reads (none for a lane past the row), and its window start.
    int low[2] = {0, 0}, high[2] = {-1, -1}, from[2] = {0, 0};
    for (int lane = 0; lane < 2; ++lane) {
      const std::size_t first = g * kLaneGroupOutputs + static_cast<std::size_t>(lane) * kLaneOutputs;
      const std::size_t end = std::min(outputs, first + kLaneOutputs);
      if (first < end) BytesOfOutputs(columns, first, end, low[lane], high[lane]);
      // A window that would reach past the row starts earlier: its taps are still inside it.
      from[lane] = std::min(low[lane], rowBytes - kLaneWindow);
    }
    // Where it can, lane 1's window starts 16 bytes after lane 0's: each half of the pair of windows
    // is then one 32-byte load.
    const int shared = std::min({low[0], high[1] < 0 ? low[0] : low[1] - 16, rowBytes - kLaneWindow - 16});
    if (shared >= 0 && high[0] < shared + kLaneWindow && high[1] < shared + 16 + kLaneWindow) {
      from[0] = shared;
      from[1] = shared + 16;
    }
    for (int lane = 0; lane < 2; ++lane) {
      window[2 * g + static_cast<std::size_t>(lane)] = from[lane];
      for (std::size_t i = 0; i < kLaneOutputs; ++i) {
        const std::size_t j = g * kLaneGroupOutputs + static_cast<std::size_t>(lane) * kLaneOutputs + i;
        const std::size_t at = 4 * (kLaneOutputs * static_cast<std::size_t>(lane) + i);  // byte of the group
        std::int32_t total = 1;  // an output past the row: no weights, a quotient of 0 / Sy
        if (j < outputs) {
          const int x = static_cast<int>(j / 3), c = static_cast<int>(j % 3);
          const std::int32_t* list = columns.weights + static_cast<std::size_t>(x) * static_cast<std::size_t>(columns.taps);
          total = 0;
          for (int k = 0; k < columns.taps; ++k) {
            const int offset = 3 * (columns.start[x] + k) + c - from[lane];  // 0 .. kLaneWindow-1
            // Byte b of a lane's shuffle picks byte b of the lane's half: the index is within the half.
            (offset < 16 ? firstHalf : secondHalf)[at + static_cast<std::size_t>(k)] =
                static_cast<std::uint8_t>(offset % 16);
            weights[at + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(list[k]);  // at most 100
            total += list[k];
          }
        }
        // 1/Sx rounded to float; the kernel multiplies it by 1/Sy for its estimate of the quotient.
        const float inverse = 1.0f / static_cast<float>(total);
        std::memcpy(totals + at, &total, 4);
        std::memcpy(inverses + at, &inverse, 4);
      }
    }
  }
  return {w, static_cast<int>(blocks), 1, static_cast<std::size_t>(rowBytes), window, tables};
}

}  // namespace phototrim
