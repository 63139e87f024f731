// HEIF files whose coded streams claim more than their boxes: refused before libheif decodes them.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstring>
#include <functional>
#include <string>

#include "support/heif_files.h"
#include "support/picture_files.h"
#include "trim/codec/heif_decoder.h"
#include "trim/result_codes.h"

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
    int result = decoder.OpenMemory(file.data(), file.size(), LoadLimits{});
    if (c.width == 0) {
      EXPECT_EQ(result, kLoadFailed);
      EXPECT_FALSE(decoder.Reason().empty());
      continue;
    }
    ASSERT_EQ(result, kOk) << decoder.Reason();
    ASSERT_EQ(decoder.Decode(), kOk) << decoder.Reason();
    EXPECT_EQ(decoder.Width(), c.width);
    EXPECT_EQ(decoder.Height(), c.height);
  }
  // Any of the forged files, decoded, would have taken gigabytes for a moment.
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  EXPECT_LT(usage.ru_maxrss, 400 * 1024) << "kilobytes at the peak";
}

}  // namespace
}  // namespace phototrim
