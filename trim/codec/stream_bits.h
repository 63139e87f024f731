// Bits of a coded stream's header, most significant first, as the video decoders read them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace phototrim {

// Past the end it reads zeros, as libde265 and dav1d do: a header cut short parses the same here as
// there, so a size read here is the size the decoder would take.
class StreamBits {
 public:
  StreamBits(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::uint32_t Bit() {
    const std::size_t byte = position_ / 8;
    const std::uint32_t bit = byte < size_ ? (data_[byte] >> (7 - position_ % 8)) & 1u : 0u;
    ++position_;
    return bit;
  }
  std::uint64_t Bits(int count) {
    std::uint64_t value = 0;
    for (int i = 0; i < count; ++i) value = value << 1 | Bit();
    return value;
  }
  void Skip(std::size_t count) { position_ += count; }
  // An unsigned exp-Golomb value, or -1 for more than 20 leading zeros (libde265's limit, and more
  // than any size needs).
  std::int64_t Golomb() {
    int zeros = 0;
    while (Bit() == 0)
      if (++zeros > 20) return -1;
    return static_cast<std::int64_t>((std::uint64_t{1} << zeros) - 1 + Bits(zeros));
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

// A picture size a stream header claims.
struct CodedSize {
  std::uint64_t width = 0;
  std::uint64_t height = 0;
};

}  // namespace phototrim
