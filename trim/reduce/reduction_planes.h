// Work memory of the high-quality reduction, kept for the host's life and grown only when needed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace phototrim {

// Rows of the target computed together: the column sums of one band are laid out with the band's
// rows side by side, so the horizontal pass applies one weight to all of them at once. 8 sums of
// 32 bits fill one AVX2 vector.
inline constexpr int kBandRows = 8;
// A band is summed and reduced a strip of columns at a time: the sums of at most this many
// positions (bytes of a source row, 3 a pixel) are 48 KB, so they stay in the processor's cache
// between the two passes instead of going out and back.
inline constexpr int kStripPositions = 1536;
// Reduced rows kept for the sharpening: one band plus the two rows above it.
inline constexpr int kReducedRingRows = kBandRows + 2;

// A block of memory that only grows; its contents are not kept when it does. Allocation failure is
// a value (false), never an exception.
template <typename T>
class GrowingBuffer {
 public:
  bool Reserve(std::size_t count) {
    if (count <= capacity_) return true;
    data_.reset();
    capacity_ = 0;
    data_.reset(new (std::nothrow) T[count]);
    if (!data_) return false;
    capacity_ = count;
    return true;
  }
  T* Data() { return data_.get(); }
  std::size_t Bytes() const { return capacity_ * sizeof(T); }

 private:
  std::unique_ptr<T[]> data_;
  std::size_t capacity_ = 0;
};

// Nothing is allocated until the first reduction, and then only what a source W wide and a target
// w wide need (about 1.3 MB for 6200-pixel pictures, and a band's source rows when they come from
// a decoder): no copy of the source and no w x h plane.
class ReductionPlanes {
 public:
  // Makes room for a reduction of a source W wide to a target w wide with `taps` source columns
  // per target column; false when the memory cannot be had.
  bool Prepare(int W, int w, int taps);

  // Vertical sums of one strip of a band: position p (byte p of a source row, 3 per pixel, counted
  // from the strip's first) and band row r at [p * kBandRows + r]. Room for kStripPositions
  // positions plus one vector's worth of slack.
  std::int32_t* ColumnSums() { return columnSums_.Data(); }
  // ReducedPlane, as a ring of kReducedRingRows rows: row y, channel c (0 blue, 1 green, 2 red)
  // starts at ((y % kReducedRingRows) * 3 + c) * w. Values 0..255, kept in 16 bits for the
  // sharpening's vector code.
  std::uint16_t* ReducedRows() { return reducedRows_.Data(); }
  // Horizontal spans as fixed-length tap lists: target column x reads source columns
  // ColumnStart()[x] .. + taps-1 with weights ColumnWeights()[x*taps ...] (0 outside its span).
  int* ColumnStart() { return columnStart_.Data(); }
  // The strips: strip s holds target columns StripFirst()[s] .. StripFirst()[s+1]-1 (w+1 entries
  // at most), and StripStart()[x] is ColumnStart()[x] counted from its strip's first source column.
  int* StripFirst() { return stripFirst_.Data(); }
  int* StripStart() { return stripStart_.Data(); }
  std::int32_t* ColumnWeights() { return columnWeights_.Data(); }
  double* ColumnInverse() { return columnInverse_.Data(); }

  // The tables of the rows-first kernels (see row_gathers.h) for `groups` groups of `quads` quads,
  // and two rows of horizontal sums: the one a target row kept and the one it keeps.
  bool PrepareRowGathers(std::size_t groups, int quads);
  // The same for the tables of lane_gathers.h, `blocks` blocks of 16 target columns.
  bool PrepareLaneGathers(std::size_t blocks);
  std::int32_t* GatherWindows() { return gatherWindows_.Data(); }
  std::uint8_t* GatherTables() { return reinterpret_cast<std::uint8_t*>(gatherTables_.Data()); }
  std::int32_t* GatherSums(int which) {
    return reinterpret_cast<std::int32_t*>(gatherSums_.Data()) + static_cast<std::size_t>(which) * gatherSumsRow_;
  }

  // Source rows held while they come from a decoder (the rows of one band and a few more). The
  // block starts on a cache line, so rows of a whole number of lines each start on one too.
  bool PrepareSourceRows(std::size_t bytes) { return sourceRows_.Reserve((bytes + 63) / 64); }
  std::uint8_t* SourceRows() { return reinterpret_cast<std::uint8_t*>(sourceRows_.Data()); }

  // Memory held, in bytes.
  std::size_t Bytes() const;

 private:
  GrowingBuffer<std::int32_t> columnSums_;
  GrowingBuffer<std::uint16_t> reducedRows_;
  GrowingBuffer<int> columnStart_;
  GrowingBuffer<int> stripFirst_;
  GrowingBuffer<int> stripStart_;
  GrowingBuffer<std::int32_t> columnWeights_;
  GrowingBuffer<double> columnInverse_;
  // Kept in whole cache lines, so that the kernels' 64-byte loads of them never straddle two.
  struct alignas(64) CacheLine {
    std::uint8_t bytes[64];
  };
  GrowingBuffer<CacheLine> sourceRows_;
  GrowingBuffer<std::int32_t> gatherWindows_;
  GrowingBuffer<CacheLine> gatherTables_;
  GrowingBuffer<CacheLine> gatherSums_;
  std::size_t gatherSumsRow_ = 0;  // int32 values a row of horizontal sums
};

}  // namespace phototrim
