// Bitmap: a 24-bit picture, rows of blue, green, red bytes, row 0 at the top.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace phototrim {

// A rectangle of pixels: its top-left corner and its size.
struct PixelRect {
  int x = 0, y = 0, width = 0, height = 0;
};

class Bitmap {
 public:
  Bitmap() = default;
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;
  Bitmap(Bitmap&&) noexcept = default;
  Bitmap& operator=(Bitmap&&) noexcept = default;

  int Width() const { return width_; }
  int Height() const { return height_; }
  // Bytes from the start of one row to the next: 3 bytes a pixel, and more only while the picture
  // is a rectangle cut out of a larger one (CutOut); every other change packs the rows again.
  std::size_t Stride() const { return stride_; }
  bool Packed() const { return offset_ == 0 && stride_ == static_cast<std::size_t>(width_) * 3; }

  std::uint8_t* Row(int y) { return pixels_.get() + offset_ + static_cast<std::size_t>(y) * stride_; }
  const std::uint8_t* Row(int y) const { return pixels_.get() + offset_ + static_cast<std::size_t>(y) * stride_; }

  // Narrows the picture to the w x h rectangle at (x, y) without moving a pixel: the rows keep
  // their old pitch until the next change of size. False, nothing changed, when it does not fit.
  bool CutOut(int x, int y, int w, int h);

  // Changes the size and keeps the top-left content; pixels that are new are black.
  // False (and nothing changed) when the memory cannot be had or a side is below 1.
  bool SetSize(int width, int height);

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
  // Moves the rows of a cut-out rectangle to the start of the memory, at 3 bytes a pixel.
  void Pack();

  int width_ = 0;
  int height_ = 0;
  std::size_t offset_ = 0;  // from the start of the memory to pixel (0, 0)
  std::size_t stride_ = 0;
  std::size_t capacity_ = 0;
  std::unique_ptr<std::uint8_t[]> pixels_;
};

}  // namespace phototrim
