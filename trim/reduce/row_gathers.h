// The horizontal spans of a reduction as byte gathers: the tables of the kernels that sum each
// source row along its width on its own, before the rows are summed.
#pragma once

#include <cstddef>

#include "trim/reduce/reduction_kernels.h"
#include "trim/reduce/reduction_planes.h"

namespace phototrim {

// The channel values of a target row ("outputs", value 3x + c) go in groups of 16: a group reads a
// window of 64 * quads bytes of the source row from its first byte on, and output i of the group
// gathers taps 4q .. 4q+3 of its span from that window as bytes 4i .. 4i+3 of quad q. The tables of one group,
// each 64 bytes: the window offsets of every quad, then the tap weights of every quad (0 past
// the span), then Sx of the 16 outputs (32-bit), then 1/Sx rounded to float. Three groups make a
// block of 16 target columns; the groups of a last block past the row have weight 0 and Sx 1.
inline constexpr int kGroupOutputs = 16;
inline constexpr std::size_t RowGatherBytes(int quads) { return static_cast<std::size_t>(2 * quads + 2) * 64; }
inline constexpr int kMaxQuads = 2;

// Groups of a target row w wide.
inline std::size_t RowGatherGroups(int w) { return 3 * ((static_cast<std::size_t>(w) + 15) / 16); }

// The quads every group needs to find all its taps in one window (at most 4 taps a quad, 64
// bytes a quad), or 0 when that is more than kMaxQuads: the reduction then goes band by band.
int RowGatherQuads(const ColumnTaps& columns);

// Fills the tables for a source row W pixels wide (planes prepared with PrepareRowGathers).
RowGathers BuildRowGathers(const ColumnTaps& columns, int W, int quads, ReductionPlanes& planes);

}  // namespace phototrim
