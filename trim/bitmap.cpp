// Bitmap: size changes that keep the top-left content, in place whenever the memory allows it.
#include "trim/bitmap.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace phototrim {

namespace {
// More than 2^31 bytes of pixels is refused: no picture the tool accepts comes near it.
constexpr std::size_t kMaxBytes = std::size_t{1} << 31;

bool BytesFor(int width, int height, std::size_t& bytes) {
  if (width < 1 || height < 1) return false;
  const auto total = static_cast<unsigned long long>(width) * static_cast<unsigned long long>(height) * 3ULL;
  if (total > kMaxBytes) return false;
  bytes = static_cast<std::size_t>(total);
  return true;
}
}  // namespace

bool Bitmap::Reserve(std::size_t bytes, bool keepContent) {
  if (bytes <= capacity_) return true;
  std::unique_ptr<std::uint8_t[]> grown(new (std::nothrow) std::uint8_t[bytes]);
  if (!grown) return false;
  if (keepContent && pixels_) {
    Pack();
    std::memcpy(grown.get(), pixels_.get(), Stride() * static_cast<std::size_t>(height_));
  }
  pixels_ = std::move(grown);
  capacity_ = bytes;
  return true;
}

bool Bitmap::Reset(int width, int height) {
  std::size_t bytes = 0;
  if (!BytesFor(width, height, bytes)) return false;
  if (bytes > capacity_) {
    // Drop the old pixels first so that the old and the new picture are never held together.
    pixels_.reset();
    capacity_ = 0;
    width_ = height_ = 0;
    offset_ = stride_ = 0;
    if (!Reserve(bytes, false)) return false;
  }
  width_ = width;
  height_ = height;
  offset_ = 0;
  stride_ = static_cast<std::size_t>(width) * 3;
  return true;
}

void Bitmap::Pack() {
  if (Packed()) return;
  const std::size_t rowBytes = static_cast<std::size_t>(width_) * 3;
  // Each row moves to an earlier place (the offset is not negative and the pitch not smaller than
  // a packed row), so going from the top never overwrites a row that has not moved yet.
  for (int y = 0; y < height_; ++y)
    std::memmove(pixels_.get() + static_cast<std::size_t>(y) * rowBytes, Row(y), rowBytes);
  offset_ = 0;
  stride_ = rowBytes;
}

bool Bitmap::CutOut(int x, int y, int w, int h) {
  if (x < 0 || y < 0 || w < 1 || h < 1 || w > width_ - x || h > height_ - y) return false;
  offset_ += static_cast<std::size_t>(y) * stride_ + static_cast<std::size_t>(x) * 3;
  width_ = w;
  height_ = h;
  return true;
}

bool Bitmap::SetSize(int width, int height) {
  std::size_t bytes = 0;
  if (!BytesFor(width, height, bytes)) return false;
  if (!Packed() && width <= width_ && height <= height_) {
    // A cut-out rectangle shrinking further (a reduction done in place): move only what is kept,
    // each row to an earlier place, from the top.
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    for (int y = 0; y < height; ++y)
      std::memmove(pixels_.get() + static_cast<std::size_t>(y) * rowBytes, Row(y), rowBytes);
    width_ = width;
    height_ = height;
    offset_ = 0;
    stride_ = rowBytes;
    return true;
  }
  if (!Reserve(bytes, true)) return false;
  Pack();
  const std::size_t oldStride = Stride();
  const std::size_t newStride = static_cast<std::size_t>(width) * 3;
  const int keptRows = std::min(height, height_);
  const std::size_t keptBytes = std::min(oldStride, newStride);
  std::uint8_t* base = pixels_.get();
  if (newStride < oldStride) {
    // Rows move towards the start: go from the top so that no row is overwritten before it moved.
    for (int y = 1; y < keptRows; ++y)
      std::memmove(base + y * newStride, base + y * oldStride, keptBytes);
  } else if (newStride > oldStride) {
    // Rows move towards the end: go from the bottom, and blacken the new columns.
    for (int y = keptRows - 1; y >= 0; --y) {
      std::memmove(base + y * newStride, base + y * oldStride, keptBytes);
      std::memset(base + y * newStride + keptBytes, 0, newStride - keptBytes);
    }
  }
  if (height > keptRows)
    std::memset(base + keptRows * newStride, 0, (height - keptRows) * newStride);
  width_ = width;
  height_ = height;
  stride_ = newStride;
  return true;
}

void Bitmap::Release() {
  pixels_.reset();
  capacity_ = 0;
  width_ = height_ = 0;
  offset_ = stride_ = 0;
  Reset(1, 1);
}

void Bitmap::Swap(Bitmap& other) noexcept {
  std::swap(width_, other.width_);
  std::swap(height_, other.height_);
  std::swap(capacity_, other.capacity_);
  std::swap(offset_, other.offset_);
  std::swap(stride_, other.stride_);
  std::swap(pixels_, other.pixels_);
}

}  // namespace phototrim
