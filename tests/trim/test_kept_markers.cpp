// A file padded with APP1 and APP2 segments: the decode keeps what it uses and stores nothing more.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "support/child_process.h"
#include "support/picture_files.h"
#include "trim/bitmap.h"
#include "support/jpeg_load.h"
#include "trim/load_result.h"

namespace phototrim {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(KeptMarkers, OnlyTheFirstExifAndTheProfileAreKeptOfAFileFullOfSegments) {
  Bytes profile(150000);  // three chunks; an RGB profile by its header
  for (std::size_t i = 0; i < profile.size(); ++i) profile[i] = static_cast<std::uint8_t>(i * 7);
  std::copy_n("RGB ", 4, profile.begin() + 16);
  testing::JpegOptions options;
  options.orientation = 6;  // turned: 40 x 24 comes out 24 x 40
  options.iccProfile = profile;
  Bitmap picture;
  testing::FillPattern(picture, 40, 24);
  const Bytes plain = testing::EncodeJpeg(picture, options);
  // 64 MB of the largest segments after the file's own: later Exif blocks (orientation 1), XMP, and
  // APP2 segments that are no profile chunks.
  Bytes padded = plain;
  std::size_t at = 2;
  while (padded[at + 1] >= 0xE0 && padded[at + 1] <= 0xEF) at += 2 + (padded[at + 2] << 8 | padded[at + 3]);
  Bytes padding;
  for (int i = 0; i < 256; ++i)
    for (const auto& [code, head] : {std::pair<std::uint8_t, std::string>{0xE1, std::string("Exif\0\0MM\0\x2a\0\0\0\x08", 14)},
                                     {0xE1, "http://ns.adobe.com/xap/1.0/"}, {0xE2, "FPXR"}, {0xE2, "MPF"}}) {
      padding.insert(padding.end(), {0xFF, code, 0xFF, 0xFF});
      padding.insert(padding.end(), head.begin(), head.end());
      padding.resize(padding.size() + 0xFFFD - head.size(), static_cast<std::uint8_t>(i));
    }
  padded.insert(padded.begin() + static_cast<std::ptrdiff_t>(at), padding.begin(), padding.end());

  long peakKiB[2] = {0, 0};
  for (int i = 0; i < 2; ++i) {
    const Bytes& file = i == 0 ? plain : padded;
    const testing::ChildResult child = testing::RunInChild([&] {
      Bitmap work, scratch;
      std::vector<std::uint8_t> kept;
      EXPECT_EQ(LoadJpegFromMemory(file.data(), file.size(), work, scratch, kept), LoadResult::Ok);
      EXPECT_EQ(std::make_pair(work.Width(), work.Height()), std::make_pair(24, 40));
      EXPECT_TRUE(kept == profile);
    });
    EXPECT_TRUE(child.Passed()) << child.Describe();
    peakKiB[i] = child.peakRssKiB;
  }
  if (!testing::kUnderSanitizer) {
    EXPECT_LT(peakKiB[1] - peakKiB[0], 8 * 1024);
  }
}

}  // namespace
}  // namespace phototrim
