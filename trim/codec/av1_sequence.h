// The largest frame an AV1 sequence header allows: what an AV1 decoder may allocate a frame by.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "trim/codec/stream_bits.h"

namespace phototrim {

inline constexpr int kAv1SequenceHeaderObu = 1;

// max_frame_width/height of the sequence header OBU payload `payload` (possibly cut after its first
// bytes), or nothing when it cannot be read.
std::optional<CodedSize> Av1SequenceSize(const std::uint8_t* payload, std::size_t size);

}  // namespace phototrim
