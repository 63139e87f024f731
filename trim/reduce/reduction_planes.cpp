// Work memory of the high-quality reduction: grown on demand, kept between pictures.
#include "trim/reduce/reduction_planes.h"

#include <algorithm>

#include "trim/reduce/lane_gathers.h"
#include "trim/reduce/row_gathers.h"

namespace phototrim {

namespace {
// The vector kernels work on 16 positions at a time and may fill a whole last group.
constexpr std::size_t kPositionSlack = 16;
}  // namespace

bool ReductionPlanes::Prepare(int W, int w, int taps) {
  const auto positions = static_cast<std::size_t>(std::min(W * 3, kStripPositions)) + kPositionSlack;
  const auto width = static_cast<std::size_t>(w);
  return columnSums_.Reserve(positions * kBandRows) &&
         reducedRows_.Reserve(width * 3 * kReducedRingRows) && columnStart_.Reserve(width) &&
         stripFirst_.Reserve(width + 1) && stripStart_.Reserve(width) &&
         columnWeights_.Reserve(width * static_cast<std::size_t>(taps)) && columnInverse_.Reserve(width);
}

bool ReductionPlanes::PrepareRowGathers(std::size_t groups, int quads) {
  // A group's 16 sums are one cache line.
  gatherSumsRow_ = groups * 16;
  return gatherWindows_.Reserve(groups) && gatherTables_.Reserve(groups * RowGatherBytes(quads) / 64) &&
         gatherSums_.Reserve(2 * groups);
}

bool ReductionPlanes::PrepareLaneGathers(std::size_t blocks) {
  // A block's 48 sums are three cache lines.
  const std::size_t groups = blocks * kLaneGroupsPerBlock;
  gatherSumsRow_ = blocks * 48;
  return gatherWindows_.Reserve(2 * groups) && gatherTables_.Reserve(groups * kLaneGroupBytes / 64) &&
         gatherSums_.Reserve(2 * 3 * blocks);
}

std::size_t ReductionPlanes::Bytes() const {
  return columnSums_.Bytes() + reducedRows_.Bytes() + columnStart_.Bytes() + stripFirst_.Bytes() +
         stripStart_.Bytes() + columnWeights_.Bytes() +
         columnInverse_.Bytes() + sourceRows_.Bytes() + gatherWindows_.Bytes() + gatherTables_.Bytes() +
         gatherSums_.Bytes();
}

}  // namespace phototrim
