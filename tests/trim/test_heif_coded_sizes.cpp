// HEIF files whose coded streams claim more than their boxes: refused before libheif decodes them.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstring>
#include <functional>
#include <optional>
#include <string>

#include "support/heif_files.h"
#include "support/picture_files.h"
#include "trim/codec/heif_decoder.h"
#include "trim/codec/hevc_sps.h"
#include "trim/load_result.h"

namespace phototrim {
namespace {

using namespace testing;
using Bytes = std::vector<std::uint8_t>;

Bitmap Pattern(int w, int h) {
  Bitmap b;
  FillPattern(b, w, h);
  return b;
}

// The first box of `type` made one nobody reads.
Bytes WithoutFirst(Bytes b, const char* type) {
  std::memcpy(&b[std::string(b.begin(), b.end()).find(type)], "free", 4);
  return b;
}

TEST(HeifCodedSizes, ForgedStreamsAreRefusedBeforeTheirDecodeAndRealFilesDecode) {
  const Bytes heic = MakeHeif(Pattern(64, 48));
  const Bytes avif = MakeHeif(Pattern(64, 48), {.avif = true});
  struct Case {
    const char* name;
    std::function<Bytes()> make;
    int width, height;  // 0: a load failure before the decode
  };
  const Case cases[] = {
      {"heic", [&] { return heic; }, 64, 48},
      {"large", [] { return MakeHeif(Pattern(1000, 667)); }, 1000, 667},
      {"odd", [] { return MakeHeif(Pattern(333, 251)); }, 333, 251},
      {"alpha", [] { return MakeHeif(Pattern(64, 48), {.alpha = true}); }, 64, 48},
      {"avif", [&] { return avif; }, 64, 48},
      {"odd avif", [] { return MakeHeif(Pattern(333, 251), {.avif = true}); }, 333, 251},
      // libheif refuses the colour description but hands it out all the same (a leak once).
      {"unknown matrix", [&] { return WithNclx(heic, 1, 13, 99); }, 64, 48},
      // The tile is 64 x 64: its SPS rewritten with that size is the same file in other bytes.
      {"same SPS rewritten", [&] { return WithHevcSize(heic, 64, 64, false); }, 64, 48},
      // 26801 x 58672 took libde265 4.6 GB; one block beyond the padding is refused alike.
      {"SPS bomb in hvcC", [&] { return WithHevcSize(heic, 26801, 58672, false); }, 0, 0},
      {"SPS bomb in band", [&] { return WithHevcSize(heic, 26801, 58672, true); }, 0, 0},
      {"SPS a block wider", [&] { return WithHevcSize(heic, 128, 64, false); }, 0, 0},
      {"sequence header bomb", [&] { return WithAv1Size(avif, 30000, 30000); }, 0, 0},
      {"canvas bomb", [&] { return WithGridSize(heic, 30000, 30000); }, 0, 0},
      {"no ispe", [&] { return WithClaimedHeifSize(heic, 0, 0); }, 0, 0},
      {"tile without ispe", [&] { return WithoutFirst(heic, "ispe"); }, 0, 0},
      {"item beyond the file", [&] { return WithItemLength(heic, heic.size()); }, 0, 0},
      {"avif item beyond the file", [&] { return WithItemLength(avif, avif.size()); }, 0, 0},
      {"truncated", [&] { return CutAt(heic, heic.size() - 40); }, 0, 0},
      {"truncated boxes", [&] { return CutAt(heic, 300); }, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes file = c.make();
    HeifDecoder decoder;
    LoadResult result = decoder.OpenMemory(file.data(), file.size(), LoadLimits{});
    if (c.width == 0) {
      EXPECT_EQ(result, LoadResult::Failed);
      EXPECT_FALSE(decoder.Reason().empty());
      continue;
    }
    ASSERT_EQ(result, LoadResult::Ok) << decoder.Reason();
    ASSERT_EQ(decoder.Decode(), LoadResult::Ok) << decoder.Reason();
    EXPECT_EQ(decoder.Width(), c.width);
    EXPECT_EQ(decoder.Height(), c.height);
  }
  // Any of the forged files, decoded, would have taken gigabytes for a moment.
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  EXPECT_LT(usage.ru_maxrss, 400 * 1024) << "kilobytes at the peak";
}

// An SPS NAL unit with every sub-layer's profile and level present or not, escaped as in a stream.
Bytes Sps(int subLayers, bool profiles, int chroma, std::uint32_t width, std::uint32_t height) {
  std::vector<bool> bits;
  const auto put = [&](std::uint64_t value, int count) {
    for (int i = count - 1; i >= 0; --i) bits.push_back(i < 64 && (value >> i & 1) != 0);
  };
  const auto golomb = [&](std::uint64_t value) {
    int length = 0;
    while ((value + 1) >> (length + 1) != 0) ++length;
    put(0, length);
    put(value + 1, length + 1);
  };
  put(0, 4), put(static_cast<std::uint64_t>(subLayers), 3), put(1, 1), put(0, 96);  // zeros: escapes needed
  for (int i = 0; i < subLayers; ++i) put(profiles, 1), put(1, 1);
  if (subLayers > 0) put(0, 2 * (8 - subLayers));
  for (int i = 0; i < subLayers; ++i) put(0, profiles ? 88 + 8 : 8);
  golomb(0), golomb(static_cast<std::uint64_t>(chroma));
  if (chroma == 3) put(0, 1);
  golomb(width), golomb(height), put(1, 1);
  while (bits.size() % 8 != 0) bits.push_back(false);
  Bytes nal = {0x42, 0x01};
  int zeros = 0;
  for (std::size_t i = 0; i < bits.size(); i += 8) {
    std::uint8_t byte = 0;
    for (std::size_t k = 0; k < 8; ++k) byte = static_cast<std::uint8_t>(byte << 1 | bits[i + k]);
    if (zeros >= 2 && byte <= 3) nal.push_back(3), zeros = 0;
    nal.push_back(byte);
    zeros = byte == 0 ? zeros + 1 : 0;
  }
  return nal;
}

TEST(HeifCodedSizes, SpsSizesAreReadPastEverySubLayer) {
  struct Case {
    int subLayers;
    bool profiles;
    int chroma;
    std::uint32_t width, height;
  };
  const Case cases[] = {{0, false, 1, 64, 64}, {2, true, 3, 1000, 667}, {6, true, 1, 26801, 58672}, {3, false, 0, 1, 2}};
  for (const Case& c : cases) {
    const Bytes nal = Sps(c.subLayers, c.profiles, c.chroma, c.width, c.height);
    const std::optional<CodedSize> size = HevcSpsSize(nal.data(), nal.size());
    ASSERT_TRUE(size) << c.subLayers;
    EXPECT_EQ(size->width, c.width) << c.subLayers;
    EXPECT_EQ(size->height, c.height) << c.subLayers;
  }
  // Cut after its first bytes, an SPS reads on as zeros, as libde265 reads it: no size, not a wrong one.
  const Bytes cut = CutAt(Sps(0, false, 1, 64, 64), 16);
  EXPECT_FALSE(HevcSpsSize(cut.data(), cut.size()));
}

}  // namespace
}  // namespace phototrim
