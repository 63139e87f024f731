// The picture size an HEVC sequence parameter set claims: what libde265 allocates a picture by.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "trim/codec/stream_bits.h"

namespace phototrim {

inline constexpr int kHevcSpsNalType = 33;

// The NAL unit type of a NAL unit (its first byte), or -1 for an empty one.
int HevcNalType(const std::uint8_t* nal, std::size_t size);

// pic_width/height_in_luma_samples of the SPS NAL unit `nal` (with its two-byte header and its
// emulation prevention bytes, possibly cut after its first bytes), or nothing when it cannot be read.
std::optional<CodedSize> HevcSpsSize(const std::uint8_t* nal, std::size_t size);

}  // namespace phototrim
