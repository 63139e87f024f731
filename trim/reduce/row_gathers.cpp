// The horizontal spans of a reduction as byte gathers for the rows-first kernels.
#include "trim/reduce/row_gathers.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace phototrim {

namespace {

// The lowest and highest first source column among the outputs of group g (which has one).
void StartsOfGroup(const ColumnTaps& columns, std::size_t g, int& low, int& high) {
  const std::size_t first = g * kGroupOutputs;
  const std::size_t end = std::min(first + kGroupOutputs, 3 * static_cast<std::size_t>(columns.count));
  low = high = columns.start[first / 3];
  for (std::size_t j = first; j < end; ++j) {
    low = std::min(low, columns.start[j / 3]);
    high = std::max(high, columns.start[j / 3]);
  }
}

}  // namespace

int RowGatherQuads(const ColumnTaps& columns) {
  if (columns.taps > 4 * kMaxQuads) return 0;
  int quads = (columns.taps + 3) / 4;
  const std::size_t groups = (3 * static_cast<std::size_t>(columns.count) + kGroupOutputs - 1) / kGroupOutputs;
  for (std::size_t g = 0; g < groups; ++g) {
    int low = 0, high = 0;
    StartsOfGroup(columns, g, low, high);
    // Bytes 3*low .. 3*(high + taps - 1) + 2 of the row.
    const int bytes = 3 * (high - low + columns.taps);
    quads = std::max(quads, (bytes + 63) / 64);
  }
  return quads <= kMaxQuads ? quads : 0;
}

RowGathers BuildRowGathers(const ColumnTaps& columns, int W, int quads, ReductionPlanes& planes) {
  const int w = columns.count;
  const std::size_t groups = RowGatherGroups(w);
  const std::size_t outputs = 3 * static_cast<std::size_t>(w);
  std::int32_t* window = planes.GatherWindows();
  std::uint8_t* tables = planes.GatherTables();
  for (std::size_t g = 0; g < groups; ++g) {
    std::uint8_t* table = tables + g * RowGatherBytes(quads);
    std::memset(table, 0, RowGatherBytes(quads));
    std::uint8_t* offsets = table;
    std::uint8_t* weights = table + 64 * static_cast<std::size_t>(quads);
    std::uint8_t* totals = table + 128 * static_cast<std::size_t>(quads);
    std::uint8_t* inverses = totals + 64;
    int low = 0, high = 0;
    if (g * kGroupOutputs < outputs) StartsOfGroup(columns, g, low, high);
    window[g] = 3 * low;
    for (std::size_t i = 0; i < kGroupOutputs; ++i) {
      const std::size_t j = g * kGroupOutputs + i;
      std::int32_t total = 1;  // an output past the row: no weights, a quotient 0 / Sy
      if (j < outputs) {
        const int x = static_cast<int>(j / 3), c = static_cast<int>(j % 3);
        const std::int32_t* list = columns.weights + static_cast<std::size_t>(x) * static_cast<std::size_t>(columns.taps);
        total = 0;
        for (int k = 0; k < columns.taps; ++k) {
          const std::size_t byte = static_cast<std::size_t>(k / 4) * 64 + 4 * i + static_cast<std::size_t>(k % 4);
          offsets[byte] = static_cast<std::uint8_t>(3 * (columns.start[x] + k) + c - 3 * low);
          weights[byte] = static_cast<std::uint8_t>(list[k]);  // at most 100: a signed byte
          total += list[k];
        }
      }
      // 1/Sx rounded to float; the kernel multiplies it by 1/Sy for its estimate of the quotient.
      const float inverse = 1.0f / static_cast<float>(total);
      std::memcpy(totals + 4 * i, &total, 4);
      std::memcpy(inverses + 4 * i, &inverse, 4);
    }
  }
  return {w, static_cast<int>(groups / 3), quads, 3 * static_cast<std::size_t>(W), window, tables};
}

}  // namespace phototrim
