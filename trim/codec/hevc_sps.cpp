// An HEVC SPS read as far as its picture size.
#include "trim/codec/hevc_sps.h"

#include <vector>

namespace phototrim {

namespace {

constexpr int kNalHeaderBytes = 2;
// general_profile_space .. general_level_idc: 2 + 1 + 5 + 32 + 4 + 43 + 1 + 8 bits.
constexpr int kGeneralProfileTierLevelBits = 96;
// sub_layer_profile_space .. sub_layer_inbld_flag (88 bits) and sub_layer_level_idc (8 bits).
constexpr int kSubLayerProfileBits = 88;
constexpr int kSubLayerLevelBits = 8;
// sps_seq_parameter_set_id is below 16, chroma_format_idc at most 3 (4:4:4).
constexpr std::int64_t kMaxSpsId = 15;
constexpr std::int64_t kChroma444 = 3;

// The payload without the emulation prevention bytes (a 3 after two zero bytes).
std::vector<std::uint8_t> Unescaped(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> out;
  out.reserve(size);
  int zeros = 0;
  for (std::size_t i = 0; i < size; ++i) {
    if (zeros >= 2 && data[i] == 3) {
      zeros = 0;
      continue;
    }
    out.push_back(data[i]);
    zeros = data[i] == 0 ? zeros + 1 : 0;
  }
  return out;
}

}  // namespace

int HevcNalType(const std::uint8_t* nal, std::size_t size) { return size == 0 ? -1 : (nal[0] >> 1) & 0x3F; }

std::optional<CodedSize> HevcSpsSize(const std::uint8_t* nal, std::size_t size) {
  if (size < kNalHeaderBytes || HevcNalType(nal, size) != kHevcSpsNalType) return std::nullopt;
  const std::vector<std::uint8_t> rbsp = Unescaped(nal + kNalHeaderBytes, size - kNalHeaderBytes);
  StreamBits bits(rbsp.data(), rbsp.size());
  bits.Skip(4);  // sps_video_parameter_set_id
  const int subLayers = static_cast<int>(bits.Bits(3));  // sps_max_sub_layers_minus1
  bits.Skip(1);                                          // sps_temporal_id_nesting_flag
  bits.Skip(kGeneralProfileTierLevelBits);
  bool profilePresent[8] = {}, levelPresent[8] = {};
  for (int i = 0; i < subLayers; ++i) {
    profilePresent[i] = bits.Bit() != 0;
    levelPresent[i] = bits.Bit() != 0;
  }
  if (subLayers > 0) bits.Skip(2 * static_cast<std::size_t>(8 - subLayers));  // reserved_zero_2bits
  for (int i = 0; i < subLayers; ++i) {
    if (profilePresent[i]) bits.Skip(kSubLayerProfileBits);
    if (levelPresent[i]) bits.Skip(kSubLayerLevelBits);
  }
  const std::int64_t id = bits.Golomb();
  const std::int64_t chroma = bits.Golomb();
  if (id < 0 || id > kMaxSpsId || chroma < 0 || chroma > kChroma444) return std::nullopt;
  if (chroma == kChroma444) bits.Skip(1);  // separate_colour_plane_flag
  const std::int64_t width = bits.Golomb();
  const std::int64_t height = bits.Golomb();
  if (width < 0 || height < 0) return std::nullopt;
  return CodedSize{static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height)};
}

}  // namespace phototrim
