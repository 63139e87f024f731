// The horizontal spans of a reduction as byte gathers inside 128-bit lanes: the tables of the
// rows-first kernel for processors whose byte shuffles do not cross the halves of a vector.
#pragma once

#include <cstddef>

#include "trim/reduce/reduction_kernels.h"
#include "trim/reduce/reduction_planes.h"

namespace phototrim {

// The channel values of a target row ("outputs", value 3x + c) go four to a lane and eight (two
// lanes) to a group, in their order; six groups make a block of 16 target columns. A lane reads a
// window of kLaneWindow bytes of the source row from its first byte on, as two 16-byte halves:
// output i of the lane gathers its taps (at most 4) as bytes 4i .. 4i+3 of the lane, each from one
// half (an index with its top bit set gives 0 from the other). The tables of one group, 32 bytes
// each: the indices into the first halves, the indices into the second halves, the tap weights (0
// past the span), Sx of the 8 outputs (32-bit), and 1/Sx rounded to float. RowGathers::window holds
// two window starts a group, one a lane; where it can, lane 1's starts 16 bytes after lane 0's, so
// that the kernel reads each half of both windows with one 32-byte load. Outputs of the last block
// past the row have weight 0 and Sx 1.
inline constexpr int kLaneOutputs = 4;
inline constexpr int kLaneGroupOutputs = 8;
inline constexpr int kLaneGroupsPerBlock = 6;
inline constexpr int kLaneWindow = 32;
inline constexpr int kLaneTaps = 4;
inline constexpr std::size_t kLaneGroupBytes = 5 * 32;

// Blocks of 16 target columns of a row w wide.
inline std::size_t LaneGatherBlocks(int w) { return (static_cast<std::size_t>(w) + 15) / 16; }

// Whether every lane finds all its taps in one window: at most kLaneTaps taps a target column,
// and a source row of at least kLaneWindow bytes (a window never reaches past the row's end).
bool LaneGathersFit(const ColumnTaps& columns, int W);

// Fills the tables for a source row W pixels wide (planes prepared with PrepareLaneGathers).
RowGathers BuildLaneGathers(const ColumnTaps& columns, int W, ReductionPlanes& planes);

}  // namespace phototrim
