// An AV1 sequence header read as far as its largest frame size.
#include "trim/codec/av1_sequence.h"

namespace phototrim {

namespace {

constexpr int kTimingTickBits = 64;   // num_units_in_display_tick, time_scale
constexpr int kDecodingTickBits = 32; // num_units_in_decoding_tick
constexpr int kLevelWithTier = 7;     // levels above 7 carry a tier bit

}  // namespace

std::optional<CodedSize> Av1SequenceSize(const std::uint8_t* payload, std::size_t size) {
  if (size == 0) return std::nullopt;
  StreamBits bits(payload, size);
  bits.Skip(3);  // seq_profile
  bits.Skip(1);  // still_picture
  const bool reduced = bits.Bit() != 0;
  if (reduced) {
    bits.Skip(5);  // seq_level_idx[0]
  } else {
    bool decoderModel = false;
    int delayBits = 0;
    if (bits.Bit() != 0) {  // timing_info_present_flag
      bits.Skip(kTimingTickBits);
      if (bits.Bit() != 0 && bits.Golomb() < 0) return std::nullopt;  // equal_picture_interval, ticks
      decoderModel = bits.Bit() != 0;
      if (decoderModel) {
        delayBits = static_cast<int>(bits.Bits(5)) + 1;  // buffer_delay_length_minus_1
        bits.Skip(kDecodingTickBits);
        bits.Skip(5 + 5);  // buffer_removal_time_length_minus_1, frame_presentation_time_length_minus_1
      }
    }
    const bool displayDelay = bits.Bit() != 0;
    const int points = static_cast<int>(bits.Bits(5)) + 1;
    for (int i = 0; i < points; ++i) {
      bits.Skip(12);  // operating_point_idc
      if (bits.Bits(5) > kLevelWithTier) bits.Skip(1);
      if (decoderModel && bits.Bit() != 0) bits.Skip(2 * static_cast<std::size_t>(delayBits) + 1);
      if (displayDelay && bits.Bit() != 0) bits.Skip(4);
    }
  }
  const int widthBits = static_cast<int>(bits.Bits(4)) + 1;
  const int heightBits = static_cast<int>(bits.Bits(4)) + 1;
  const std::uint64_t width = bits.Bits(widthBits) + 1;
  const std::uint64_t height = bits.Bits(heightBits) + 1;
  return CodedSize{width, height};
}

}  // namespace phototrim
