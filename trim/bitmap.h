// Bitmap: a 24-bit picture, rows of blue, green, red bytes, row 0 at the top.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace phototrim {

class Bitmap {
 public:
  Bitmap() = default;
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;
  Bitmap(Bitmap&&) noexcept = default;
  Bitmap& operator=(Bitmap&&) noexcept = default;

  int Width() const { return width_; }
  int Height() const { return height_; }
  // Bytes from the start of one row to the next: exactly 3 bytes a pixel, no padding.
  std::size_t Stride() const { return static_cast<std::size_t>(width_) * 3; }

  std::uint8_t* Row(int y) { return pixels_.get() + static_cast<std::size_t>(y) * Stride(); }
  const std::uint8_t* Row(int y) const { return pixels_.get() + static_cast<std::size_t>(y) * Stride(); }

  // Changes the size and keeps the top-left content; pixels that are new are black.
  // False (and nothing changed) when the memory cannot be had or a side is below 1.
  bool SetSize(int width, int height);

  // Takes a smaller size whose rows the caller has already laid out packed at the new width from
  // the start of the memory (a crop or a reduction done in place), so nothing is moved. False when
  // the size is not smaller or equal in bytes.
  bool AdoptPackedRows(int width, int height);

  // Changes the size without keeping any content, for a picture about to be overwritten whole.
  bool Reset(int width, int height);

  // Memory held, in bytes; kept between pictures so that a run does not allocate for every file.
  std::size_t Capacity() const { return capacity_; }

  // Gives all memory back and leaves a 1 x 1 picture.
  void Release();

  // Exchanges the whole content with another bitmap.
  void Swap(Bitmap& other) noexcept;

 private:
  bool Reserve(std::size_t bytes, bool keepContent);

  int width_ = 0;
  int height_ = 0;
  std::size_t capacity_ = 0;
  std::unique_ptr<std::uint8_t[]> pixels_;
};

}  // namespace phototrim
