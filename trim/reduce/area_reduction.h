// The area average and the sharpening of the high-quality reduction, fed source rows as they come.
#pragma once

#include <cstdint>
#include <functional>

#include "trim/reduce/reduction_kernels.h"
#include "trim/reduce/reduction_planes.h"

namespace phototrim {

// The two axes of one reduction. Source rows come in order (from a decoder, or from a picture);
// spans are counted along each axis from the side the upright picture starts at, which may be the
// other end: the sums are exact integers, so the order in which rows and columns are added does
// not change a single result.
struct ReductionAxes {
  int sourceRows = 0;            // rows, in the order they come
  int sourceColumns = 0;         // pixels a row
  int targetRows = 0;            // reduced rows (the spans of the row axis)
  int targetColumns = 0;         // reduced pixels a row
  bool rowsReversed = false;     // source row k lies at sourceRows-1-k of the row axis
  bool columnsMirrored = false;  // pixel p of a row lies at sourceColumns-1-p of the column axis
};

// How a reduction, or one step of it, ended.
enum class ReduceResult {
  Ok,
  OutOfMemory,  // the planes could not grow
  Aborted,      // the stop test answered true; the target rows are meaningless
};

// Reduces band by band: as soon as every source row that a band of target rows reads has come,
// the band is averaged (a vertical pass over its rows, then a horizontal one over the sums; or,
// with kernels that have it, each target row from its rows summed along their width first), and
// every reduced row whose two neighbours are known is sharpened and written out. Bands follow the
// order the rows come in, top down or bottom up.
class AreaReduction {
 public:
  // Source row k (pixel 0 of it), valid until FirstRowNeeded() has passed it.
  using SourceRow = std::function<const std::uint8_t*(int k)>;
  // Where reduced row i goes: targetColumns pixels of blue, green, red. It may be the memory of a
  // source row that no band still to come reads: row i lies above (or, bottom up, below) them all.
  using TargetRow = std::function<std::uint8_t*(int i)>;

  // Ok, or OutOfMemory when the planes cannot grow. The sizes are a reduction the admission
  // checks accept (smaller on both axes, at most 1/100).
  ReduceResult Start(const ReductionAxes& axes, ReductionPlanes& planes, KernelSet kernelSet,
                     SourceRow sourceRow, TargetRow targetRow, std::function<bool()> shouldStop);

  // The most source rows one band reads: what a feeder keeps at least.
  int RowsPerBandRead() const { return rowsPerBandRead_; }
  // The first source row still to be read by a band (all rows come before it may go).
  int FirstRowNeeded() const;

  // Source rows 0 .. arrived-1 have come: every band they complete is reduced. Ok, or
  // Aborted as soon as `shouldStop` answers true (it is asked before every band, between
  // strips of a band once a tenth of a millisecond of work has passed, and before every row is
  // sharpened).
  ReduceResult Arrived(int arrived);
  // Whether every target row is written.
  bool Done() const { return written_ == axes_.targetRows; }

 private:
  struct Band {
    int first = 0, rows = 0;  // target rows first .. first+rows-1
  };
  Band BandAt(int index) const;
  // The first source column the taps of target columns first .. end-1 read.
  int StripLow(int first, int end) const;
  // The source rows (in the order they come) that a band reads: [from, to].
  void SourceRowsOf(const Band& band, int& from, int& to) const;
  ReduceResult ReduceBand(const Band& band);
  ReduceResult ReduceBandByRows(const Band& band);
  // The source rows of target row y of weight above 0, in the order they come, and their weights.
  int RowsOfTarget(int y, int* rows, int* weights) const;
  std::uint16_t* ReducedRow(int y, int c) const;
  ReduceResult WriteReadyRows(const Band& band);

  ReductionAxes axes_;
  ReductionPlanes* planes_ = nullptr;
  ReductionKernels kernels_{};
  void (*horizontal_)(const std::int32_t*, const ColumnTaps&, const double*, int, std::uint16_t* const*) = nullptr;
  ColumnTaps columns_;
  bool byRows_ = false;       // the target rows are made by kernels_.byRows
  RowGathers gathers_;
  int storedRow_ = -1;        // the source row whose horizontal sums the last target row kept
  int storedSums_ = 0;        // which of the planes' two rows of sums holds them
  SourceRow sourceRow_;
  TargetRow targetRow_;
  std::function<bool()> shouldStop_;
  int stripCount_ = 0;        // strips of target columns (see kStripPositions)
  int bandRows_ = 0;          // target rows a band (kBandRows, fewer for strong reductions)
  int bandCount_ = 0;
  int nextBand_ = 0;
  int rowsPerBandRead_ = 0;
  int written_ = 0;           // target rows written out
  int nextToWrite_ = 0;       // the next one, in the order of the bands
};

}  // namespace phototrim
