// An AV1 sequence header read as far as its frame sizes and the flags a frame header depends on.
#include "trim/codec/av1_sequence.h"

namespace phototrim {

namespace {

constexpr int kTimingTickBits = 64;    // num_units_in_display_tick, time_scale
constexpr int kDecodingTickBits = 32;  // num_units_in_decoding_tick
constexpr int kLevelWithTier = 7;      // levels above 7 carry a tier bit
constexpr int kChosenPerFrame = 2;     // SELECT_SCREEN_CONTENT_TOOLS, SELECT_INTEGER_MV
constexpr std::uint64_t kKeyFrame = 0, kSwitchFrame = 3;

}  // namespace

std::optional<Av1Sequence> ReadAv1Sequence(const std::uint8_t* payload, std::size_t size) {
  if (size == 0) return std::nullopt;
  Av1Sequence s;
  StreamBits bits(payload, size);
  bits.Skip(3);  // seq_profile
  bits.Skip(1);  // still_picture
  s.reduced = bits.Bit() != 0;
  bool decoderModel = false, equalInterval = false;
  if (s.reduced) {
    bits.Skip(5);  // seq_level_idx[0]
  } else {
    int delayBits = 0;
    if (bits.Bit() != 0) {  // timing_info_present_flag
      bits.Skip(kTimingTickBits);
      equalInterval = bits.Bit() != 0;
      if (equalInterval && bits.Golomb() < 0) return std::nullopt;  // num_ticks_per_picture_minus_1
      decoderModel = bits.Bit() != 0;
      if (decoderModel) {
        delayBits = static_cast<int>(bits.Bits(5)) + 1;  // buffer_delay_length_minus_1
        bits.Skip(kDecodingTickBits);
        bits.Skip(5);  // buffer_removal_time_length_minus_1
        s.presentationTimeBits = static_cast<int>(bits.Bits(5)) + 1;
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
  if (!decoderModel || equalInterval) s.presentationTimeBits = 0;
  const int widthBits = static_cast<int>(bits.Bits(4)) + 1;
  const int heightBits = static_cast<int>(bits.Bits(4)) + 1;
  s.widest = {std::uint64_t{1} << widthBits, std::uint64_t{1} << heightBits};
  s.largest.width = bits.Bits(widthBits) + 1;
  s.largest.height = bits.Bits(heightBits) + 1;
  s.frameIds = !s.reduced && bits.Bit() != 0;
  if (s.frameIds) {
    const int delta = static_cast<int>(bits.Bits(4)) + 2, additional = static_cast<int>(bits.Bits(3)) + 1;
    s.frameIdBits = delta + additional;
  }
  bits.Skip(3);  // use_128x128_superblock, enable_filter_intra, enable_intra_edge_filter
  s.screenContentTools = s.integerMv = kChosenPerFrame;
  if (!s.reduced) {
    bits.Skip(4);  // enable_interintra_compound, masked_compound, warped_motion, dual_filter
    if (bits.Bit() != 0) bits.Skip(2);  // enable_order_hint: jnt_comp, ref_frame_mvs
    if (bits.Bit() == 0) s.screenContentTools = static_cast<int>(bits.Bit());  // seq_choose_screen_content_tools
    if (s.screenContentTools > 0 && bits.Bit() == 0) s.integerMv = static_cast<int>(bits.Bit());  // seq_choose_integer_mv
  }
  return s;
}

bool Av1FrameOverridesSize(const std::uint8_t* payload, std::size_t size, const Av1Sequence& s) {
  if (s.reduced) return false;
  StreamBits bits(payload, size);
  if (bits.Bit() != 0) return false;  // show_existing_frame: no new frame
  const std::uint64_t type = bits.Bits(2);
  const bool show = bits.Bit() != 0;
  if (show) bits.Skip(static_cast<std::size_t>(s.presentationTimeBits));  // temporal_point_info
  if (!show) bits.Skip(1);                                                // showable_frame
  if (type == kSwitchFrame) return true;
  if (!(type == kKeyFrame && show)) bits.Skip(1);  // error_resilient_mode
  bits.Skip(1);                                    // disable_cdf_update
  const int tools = s.screenContentTools == kChosenPerFrame ? static_cast<int>(bits.Bit()) : s.screenContentTools;
  if (tools != 0 && s.integerMv == kChosenPerFrame) bits.Skip(1);  // force_integer_mv
  if (s.frameIds) bits.Skip(static_cast<std::size_t>(s.frameIdBits));  // current_frame_id
  return bits.Bit() != 0;
}

}  // namespace phototrim
