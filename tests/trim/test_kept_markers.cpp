// A file padded with APP1 and APP2 segments: the decode keeps what it uses and stores nothing more.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "support/child_process.h"
#include "support/picture_files.h"
#include "support/test_folder.h"
#include "trim/bitmap.h"
#include "trim/codec/jpeg_load.h"
#include "trim/result_codes.h"

namespace phototrim {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The file with `count` segments of each of the given kinds put after its own APPn segments, each
// segment `head` followed by filler up to the largest length a segment can have.
Bytes Padded(Bytes file, int count, const std::vector<std::pair<std::uint8_t, std::string>>& kinds) {
  std::size_t at = 2;
  while (file[at] == 0xFF && file[at + 1] >= 0xE0 && file[at + 1] <= 0xEF) at += 2 + (file[at + 2] << 8 | file[at + 3]);
  Bytes padding;
  for (int i = 0; i < count; ++i)
    for (const auto& [code, head] : kinds) {
      padding.insert(padding.end(), {0xFF, code, 0xFF, 0xFF});
      padding.insert(padding.end(), head.begin(), head.end());
      padding.resize(padding.size() + 0xFFFD - head.size(), static_cast<std::uint8_t>(i));
    }
  file.insert(file.begin() + static_cast<std::ptrdiff_t>(at), padding.begin(), padding.end());
  return file;
}

struct Decoded {
  int result = -1;
  int width = 0, height = 0;
  Bytes profile;
  long peakRssKiB = 0;
};

// Decodes in a child, for its peak memory; what it decoded comes back through a file.
Decoded DecodeInChild(const Bytes& file, const testing::TestFolder& folder) {
  Decoded decoded;
  const testing::ChildResult child = testing::RunInChild([&] {
    Bitmap work, scratch;
    std::vector<std::uint8_t> profile;
    const int result = LoadJpegFromMemory(file.data(), file.size(), work, scratch, profile);
    Bytes report = {static_cast<std::uint8_t>(-result), static_cast<std::uint8_t>(work.Width()),
                    static_cast<std::uint8_t>(work.Height())};
    report.insert(report.end(), profile.begin(), profile.end());
    testing::WriteBytes(folder / "report", report);
  });
  EXPECT_TRUE(child.Passed()) << child.Describe();
  const Bytes report = testing::ReadBytes(folder / "report");
  decoded.result = -report.at(0);
  decoded.width = report.at(1), decoded.height = report.at(2);
  decoded.profile.assign(report.begin() + 3, report.end());
  decoded.peakRssKiB = child.peakRssKiB;
  return decoded;
}

TEST(KeptMarkers, OnlyTheFirstExifAndTheProfileAreKeptOfAFileFullOfSegments) {
  testing::TestFolder folder;
  Bytes profile(150000);  // three chunks; an RGB profile by its header
  for (std::size_t i = 0; i < profile.size(); ++i) profile[i] = static_cast<std::uint8_t>(i * 7);
  std::copy_n("RGB ", 4, profile.begin() + 16);
  testing::JpegOptions options;
  options.orientation = 6;  // turned: 40 x 24 comes out 24 x 40
  options.iccProfile = profile;
  Bitmap picture;
  testing::FillPattern(picture, 40, 24);
  const Bytes plain = testing::EncodeJpeg(picture, options);
  // 64 MB of segments: Exif blocks after the file's own (their orientation 1 is not the first),
  // XMP, and APP2 segments that are not profile chunks.
  const Bytes padded = Padded(plain, 256,
                              {{0xE1, std::string("Exif\0\0MM\0\x2a\0\0\0\x08", 14)},
                               {0xE1, std::string("http://ns.adobe.com/xap/1.0/\0", 29)},
                               {0xE2, std::string("FPXR\0", 5)},
                               {0xE2, std::string("MPF\0", 4)}});
  const Decoded before = DecodeInChild(plain, folder), after = DecodeInChild(padded, folder);
  for (const Decoded* decoded : {&before, &after}) {
    EXPECT_EQ(decoded->result, kOk);
    EXPECT_EQ(std::make_pair(decoded->width, decoded->height), std::make_pair(24, 40));
    EXPECT_TRUE(decoded->profile == profile);
  }
  if (!testing::kUnderSanitizer) EXPECT_LT(after.peakRssKiB - before.peakRssKiB, 8 * 1024);
}

}  // namespace
}  // namespace phototrim
