// The largest frame an AV1 stream allows: what an AV1 decoder may allocate a frame by.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "trim/codec/stream_bits.h"

namespace phototrim {

inline constexpr int kAv1SequenceHeaderObu = 1;
inline constexpr int kAv1FrameHeaderObu = 3;
inline constexpr int kAv1FrameObu = 6;
inline constexpr int kAv1RedundantFrameHeaderObu = 7;

// What a sequence header says of frame sizes, and what reading a frame header up to its
// frame_size_override_flag takes from it.
struct Av1Sequence {
  CodedSize largest;              // max_frame_width/height
  CodedSize widest;               // what frame_width/height_minus_1 can say: 2^bits
  bool reduced = false;           // reduced_still_picture_header: no frame may override the size
  bool frameIds = false;          // frame_id_numbers_present_flag
  int frameIdBits = 0;
  int screenContentTools = 0;     // seq_force_screen_content_tools (2: chosen per frame)
  int integerMv = 0;              // seq_force_integer_mv (2: chosen per frame)
  int presentationTimeBits = 0;   // frame_presentation_time_length, when frames carry one
};

// The sequence header OBU payload `payload` (possibly cut after its first bytes), or nothing when it
// cannot be read.
std::optional<Av1Sequence> ReadAv1Sequence(const std::uint8_t* payload, std::size_t size);

// Whether the frame header at the start of `payload` (a frame header or frame OBU's) may set its own
// frame size (frame_size_override_flag), up to `sequence.widest`.
bool Av1FrameOverridesSize(const std::uint8_t* payload, std::size_t size, const Av1Sequence& sequence);

}  // namespace phototrim
