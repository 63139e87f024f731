// Where an encoder puts the bytes of a file: an output file being written, or memory.
#pragma once

#include <cstddef>
#include <cstdint>

namespace phototrim {

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Takes all `size` bytes; false when they could not all be taken, which ends the encoding.
  virtual bool Write(const std::uint8_t* data, std::size_t size) = 0;
};

}  // namespace phototrim
