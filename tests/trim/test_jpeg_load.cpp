// Tests of LoadJpeg: pixels equal to djpeg's float decode, colour spaces, orientation, ICC profiles,
// and hostile files that must fail quickly without crashing.
#include "support/jpeg_load.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <unistd.h>

#include "support/picture_files.h"
#include "support/test_folder.h"
#include "trim/load_result.h"

namespace phototrim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::EncodeJpeg;
using testing::FillPattern;
using testing::JpegOptions;
using testing::MakeFolders;
using testing::TestFolder;
using testing::WriteBytes;
using testing::WriteText;

constexpr char kDjpeg[] = "/usr/bin/djpeg";

struct Loaded {
  LoadResult result = LoadResult::Ok;
  Bitmap picture, scratch;
  Bytes profile;
};

Loaded LoadBytes(const Bytes& bytes, const LoadLimits& limits = {}) {
  Loaded out;
  out.profile = {1, 2, 3};  // stale content from an earlier picture must not survive
  out.result = LoadJpegFromMemory(bytes.data(), bytes.size(), out.picture, out.scratch, out.profile, limits);
  return out;
}

Loaded LoadFile(const std::string& path) {
  Loaded out;
  out.result = LoadJpeg(path, out.picture, out.scratch, out.profile);
  return out;
}

Bytes Encoded(int width, int height, const JpegOptions& options = {}, std::uint32_t seed = 1) {
  Bitmap picture;
  FillPattern(picture, width, height, seed);
  return EncodeJpeg(picture, options);
}

// The largest difference of any channel of any pixel; 256 when the sizes differ.
int MaxDifference(const Bitmap& a, const Bitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return 256;
  int worst = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (std::size_t i = 0; i < a.Stride(); ++i) worst = std::max(worst, std::abs(a.Row(y)[i] - b.Row(y)[i]));
  return worst;
}

// ---- Exactness: the codec floor is djpeg's float decode, bit for bit. ----

TEST(JpegLoad, PixelsEqualDjpegWithTheFloatIdct) {
  if (::access(kDjpeg, X_OK) != 0) GTEST_SKIP() << kDjpeg << " is missing (Debian package libjpeg-turbo-progs)";
  struct Case {
    const char* name;
    int width, height;
    JpegOptions options;
  };
  JpegOptions progressive, gray, grayProgressive, s444, s422, s440, s31, restarts, arithmetic;
  progressive.progressive = true;
  gray.grayscale = true;
  grayProgressive.grayscale = grayProgressive.progressive = true;
  s444.sampleH = s444.sampleV = 1;
  s422.sampleV = 1;
  s440.sampleH = 1;
  s31.sampleH = 3, s31.sampleV = 1;  // an odd factor: libjpeg's plain integer upsampling
  restarts.restartInterval = 1;
  arithmetic.arithmetic = arithmetic.progressive = true;
  const Case cases[] = {
      {"baseline 4:2:0", 101, 77, {}}, {"baseline 1x1", 1, 1, {}},       {"baseline 17x9", 17, 9, {}},
      {"progressive", 123, 95, progressive}, {"grayscale", 99, 61, gray}, {"grayscale progressive", 64, 33, grayProgressive},
      {"4:4:4", 45, 38, s444},            {"4:2:2", 45, 38, s422},       {"4:4:0", 45, 38, s440},
      {"3x1 sampling", 50, 21, s31},      {"restart markers", 70, 70, restarts}, {"arithmetic progressive", 70, 50, arithmetic},
  };
  TestFolder folder;
  for (const Case& c : cases) {
    const std::string jpeg = folder / "in.jpg", pnm = folder / "out.pnm";
    WriteBytes(jpeg, Encoded(c.width, c.height, c.options, 7));
    const std::string command = std::string(kDjpeg) + " -dct float -outfile '" + pnm + "' '" + jpeg + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    Bitmap reference;
    ASSERT_TRUE(testing::ReadPnm(pnm, reference)) << c.name;
    const Loaded loaded = LoadFile(jpeg);
    ASSERT_EQ(loaded.result, LoadResult::Ok) << c.name;
    EXPECT_EQ(MaxDifference(loaded.picture, reference), 0) << c.name;
  }
}

// ---- Colour spaces ----

TEST(JpegLoad, GrayscaleBecomesThreeEqualChannels) {
  JpegOptions gray;
  gray.grayscale = true;
  const Loaded loaded = LoadBytes(Encoded(40, 30, gray));
  ASSERT_EQ(loaded.result, LoadResult::Ok);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      const std::uint8_t* p = loaded.picture.Row(y) + 3 * x;
      ASSERT_TRUE(p[0] == p[1] && p[1] == p[2]) << x << "," << y;
    }
}

TEST(JpegLoad, AdobeCmykAndYcckComeOutAsThePattern) {
  // Seed 0: smooth blue and green ramps and a red checker of 16-pixel cells, its only sharp edges.
  Bitmap pattern;
  FillPattern(pattern, 64, 48, 0);
  JpegOptions cmyk, ycck;
  cmyk.adobeCmyk = ycck.adobeCmyk = true;
  cmyk.quality = ycck.quality = 100;
  ycck.ycck = true;
  // The factory's CMYK rounds to within 1 of the inverse, and quality 100 adds a step or two.
  const Loaded fromCmyk = LoadBytes(EncodeJpeg(pattern, cmyk));
  ASSERT_EQ(fromCmyk.result, LoadResult::Ok);
  EXPECT_LE(MaxDifference(fromCmyk.picture, pattern), 3);
  // YCCK halves the chroma resolution, which smears the checker edges; inside the cells (2 pixels
  // away from an edge) it is as close as plain CMYK.
  const Loaded fromYcck = LoadBytes(EncodeJpeg(pattern, ycck));
  ASSERT_EQ(fromYcck.result, LoadResult::Ok);
  int worst = 0;
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x)
      if (x % 16 >= 2 && x % 16 < 14 && y % 16 >= 2 && y % 16 < 14)
        for (int c = 0; c < 3; ++c)
          worst = std::max(worst, std::abs(fromYcck.picture.Row(y)[3 * x + c] - pattern.Row(y)[3 * x + c]));
  EXPECT_LE(worst, 4);
}

// ---- Orientation ----

TEST(JpegLoad, ExifOrientationStandsThePictureUpright) {
  // 24 x 16 is asymmetric both ways, so every wrong turn or mirror shows.
  const Loaded plain = LoadBytes(Encoded(24, 16));
  ASSERT_EQ(plain.result, LoadResult::Ok);
  for (bool little : {false, true}) {
    for (int orientation = 1; orientation <= 8; ++orientation) {
      JpegOptions options;
      options.orientation = orientation;
      options.exifLittleEndian = little;
      const Loaded turned = LoadBytes(Encoded(24, 16, options));
      ASSERT_EQ(turned.result, LoadResult::Ok);
      Bitmap expected;
      testing::UprightCopy(plain.picture, orientation, expected);
      EXPECT_EQ(MaxDifference(turned.picture, expected), 0) << "orientation " << orientation << (little ? " II" : " MM");
    }
  }
}

TEST(JpegLoad, DamagedOrForeignApp1BlocksAreIgnored) {
  const Loaded plain = LoadBytes(Encoded(24, 16));
  const char xmp[] = "http://ns.adobe.com/xap/1.0/\0<x:xmpmeta/>";
  const Bytes blocks[] = {
      {'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0xFF, 0xFF, 0xFF, 0xF0},          // IFD0 far past the end
      {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 0xFF, 0xFF, 0x12, 0x01},  // 65535 entries, half of one
      {'E', 'x', 'i', 'f', 0},                                                        // cut in its header
      Bytes(xmp, xmp + sizeof xmp),
  };
  for (const Bytes& block : blocks) {
    JpegOptions options;
    options.exif = block;
    const Loaded loaded = LoadBytes(Encoded(24, 16, options));
    ASSERT_EQ(loaded.result, LoadResult::Ok);
    EXPECT_EQ(MaxDifference(loaded.picture, plain.picture), 0);
  }
}

// ---- ICC profiles ----

// A stand-in profile: the length and data colour space fields of an ICC header, filler after.
Bytes FakeProfile(const char colourSpace[4], std::size_t size) {
  Bytes profile(size);
  for (std::size_t i = 0; i < size; ++i) profile[i] = static_cast<std::uint8_t>(i * 7 + 3);
  profile[0] = static_cast<std::uint8_t>(size >> 24), profile[1] = static_cast<std::uint8_t>(size >> 16);
  profile[2] = static_cast<std::uint8_t>(size >> 8), profile[3] = static_cast<std::uint8_t>(size);
  std::memcpy(profile.data() + 16, colourSpace, 4);
  return profile;
}

TEST(JpegLoad, KeepsTheIccProfileOnlyWhenItIsRgb) {
  // 150000 bytes need three APP2 chunks, which must come back joined in order.
  const Bytes rgb = FakeProfile("RGB ", 150000);
  JpegOptions withRgb, withGray, withCmyk, without;
  withRgb.iccProfile = rgb;
  withGray.iccProfile = FakeProfile("GRAY", 400);
  withCmyk.iccProfile = FakeProfile("CMYK", 400);
  EXPECT_EQ(LoadBytes(Encoded(16, 16, withRgb)).profile, rgb);
  EXPECT_TRUE(LoadBytes(Encoded(16, 16, withGray)).profile.empty());
  EXPECT_TRUE(LoadBytes(Encoded(16, 16, withCmyk)).profile.empty());
  EXPECT_TRUE(LoadBytes(Encoded(16, 16, without)).profile.empty());
  // A failed load does not leave an earlier profile behind either.
  EXPECT_TRUE(LoadBytes(Bytes{0xFF, 0xD8, 0xFF}).profile.empty());
}

// ---- Files that are not JPEGs, or not whole ones ----

TEST(JpegLoad, RefusesWhatIsNotAJpegFile) {
  TestFolder folder;
  MakeFolders(folder / "folder.jpg");
  WriteBytes(folder / "empty.jpg", {});
  WriteBytes(folder / "png.jpg", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'});
  Bytes random(5000);
  std::mt19937 generator(11);
  for (auto& byte : random) byte = static_cast<std::uint8_t>(generator());
  WriteBytes(folder / "random.jpg", random);
  random[0] = 0xFF, random[1] = 0xD8;  // a JPEG signature and garbage after it
  WriteBytes(folder / "signature.jpg", random);
  WriteText(folder / "text.jpg", "not a picture");
  ASSERT_EQ(::mkfifo((folder / "pipe.jpg").c_str(), 0600), 0);  // must not wait for a writer
  for (const char* name : {"missing.jpg", "folder.jpg", "empty.jpg", "png.jpg", "random.jpg", "signature.jpg",
                           "text.jpg", "pipe.jpg"}) {
    const Loaded loaded = LoadFile(folder / name);
    EXPECT_EQ(loaded.result, LoadResult::Failed) << name;
    EXPECT_EQ(loaded.picture.Width() * loaded.picture.Height(), 1) << name;
  }
}

TEST(JpegLoad, ReadsNamesThatAreNotUtf8) {
  TestFolder folder;
  const std::string path = folder / "\x95\x5C\x8E\xA6.jpg";  // Shift-JIS bytes from an old archive
  WriteBytes(path, Encoded(20, 10));
  const Loaded loaded = LoadFile(path);
  EXPECT_EQ(loaded.result, LoadResult::Ok);
  EXPECT_EQ(loaded.picture.Width(), 20);
}

// Offsets of the start-of-scan markers.
std::vector<std::size_t> ScanOffsets(const Bytes& jpeg) {
  std::vector<std::size_t> offsets;
  for (const auto& segment : testing::JpegSegments(jpeg))
    if (segment.marker == 0xDA) offsets.push_back(segment.offset);
  return offsets;
}

TEST(JpegLoad, RefusesTruncatedFilesWhereverTheyAreCut) {
  const Bytes baseline = Encoded(200, 150);
  const std::vector<std::size_t> baselineScan = ScanOffsets(baseline);
  ASSERT_EQ(baselineScan.size(), 1u);
  JpegOptions progressiveOptions;
  progressiveOptions.progressive = true;
  const Bytes progressive = Encoded(200, 150, progressiveOptions);
  const std::vector<std::size_t> scans = ScanOffsets(progressive);
  ASSERT_GE(scans.size(), 6u);
  struct Cut {
    const Bytes* bytes;
    std::size_t size;
    bool insideScanData;  // then an end marker put back does not make the file whole either
  };
  const Cut cuts[] = {
      {&baseline, 2, false},                                         // SOI only
      {&baseline, 100, false},                                       // inside the tables
      {&baseline, baselineScan[0] + 6, false},                       // inside the scan header
      {&baseline, (baselineScan[0] + baseline.size()) / 2, true},    // halfway through the picture
      {&baseline, baseline.size() - 2, false},                       // everything but the end marker
      {&progressive, (scans[0] + scans[1]) / 2, true},               // inside the first scan
      {&progressive, (scans[4] + scans[5]) / 2, true},               // inside a later scan
      {&progressive, scans.back(), false},                           // before the last scan
  };
  for (const Cut& c : cuts) {
    Bytes cut(c.bytes->begin(), c.bytes->begin() + static_cast<std::ptrdiff_t>(c.size));
    const char* name = c.bytes == &baseline ? "baseline" : "progressive";
    EXPECT_EQ(LoadBytes(cut).result, LoadResult::Failed) << name << " cut at " << c.size;
    if (!c.insideScanData) continue;
    cut.insert(cut.end(), {0xFF, 0xD9});
    EXPECT_EQ(LoadBytes(cut).result, LoadResult::Failed) << name << " cut at " << c.size << ", end marker put back";
  }
  EXPECT_EQ(LoadBytes(baseline).result, LoadResult::Ok);
  EXPECT_EQ(LoadBytes(progressive).result, LoadResult::Ok);
}

// The file with its frame header (SOF0 or SOF2) claiming another size.
Bytes WithClaimedSize(Bytes jpeg, unsigned width, unsigned height) {
  for (const auto& segment : testing::JpegSegments(jpeg)) {
    if (segment.marker != 0xC0 && segment.marker != 0xC2) continue;
    // Payload: precision, height (2 bytes), width (2 bytes), components...
    jpeg[segment.payloadOffset + 1] = static_cast<std::uint8_t>(height >> 8);
    jpeg[segment.payloadOffset + 2] = static_cast<std::uint8_t>(height);
    jpeg[segment.payloadOffset + 3] = static_cast<std::uint8_t>(width >> 8);
    jpeg[segment.payloadOffset + 4] = static_cast<std::uint8_t>(width);
  }
  return jpeg;
}

TEST(JpegLoad, RefusesGiantHeadersBeforeAllocatingPixels) {
  JpegOptions progressive;
  progressive.progressive = true;
  // Small files whose headers claim 3.6 and 0.9 gigapixels: refused from the header alone (a
  // decode would take gigabytes and half a minute).
  EXPECT_EQ(LoadBytes(WithClaimedSize(Encoded(64, 64), 60000, 60000)).result, LoadResult::Failed);
  EXPECT_EQ(LoadBytes(WithClaimedSize(Encoded(64, 64, progressive), 30000, 30000)).result, LoadResult::Failed);
  // Within the limit, but with the data of a far smaller picture: fails where the data runs out,
  // instead of decoding 16 megapixels of padding.
  EXPECT_EQ(LoadBytes(WithClaimedSize(Encoded(64, 64), 4000, 4000)).result, LoadResult::Failed);
  EXPECT_EQ(LoadBytes(WithClaimedSize(Encoded(64, 64, progressive), 4000, 4000)).result, LoadResult::Failed);
  // The limit is the caller's: just above it fails, at it the picture loads.
  EXPECT_EQ(LoadBytes(Encoded(41, 25), LoadLimits{1024, 500}).result, LoadResult::Failed);
  EXPECT_EQ(LoadBytes(Encoded(32, 32), LoadLimits{1024, 500}).result, LoadResult::Ok);
  // Past the limit nothing stops the header, but the bitmap cannot hold 10.8 GB: out of memory.
  EXPECT_EQ(LoadBytes(WithClaimedSize(Encoded(64, 64), 60000, 60000), LoadLimits{std::uint64_t{1} << 40, 500}).result,
            LoadResult::OutOfMemory);
}

TEST(JpegLoad, RefusesProgressiveFilesWithTooManyScans) {
  JpegOptions manyScans;
  manyScans.manyScans = true;
  manyScans.grayscale = true;
  const Bytes jpeg = Encoded(16, 16, manyScans);
  ASSERT_EQ(ScanOffsets(jpeg).size(), 704u);  // a valid script: libjpeg encodes it as it is
  EXPECT_EQ(LoadBytes(jpeg).result, LoadResult::Failed);
  EXPECT_EQ(LoadBytes(jpeg, LoadLimits{std::uint64_t{1} << 28, 704}).result, LoadResult::Ok);
  // The count is checked on ordinary progressive files too (libjpeg's simple script has 10 scans).
  JpegOptions progressive;
  progressive.progressive = true;
  EXPECT_EQ(LoadBytes(Encoded(32, 32, progressive), LoadLimits{std::uint64_t{1} << 28, 9}).result, LoadResult::Failed);
  EXPECT_EQ(LoadBytes(Encoded(32, 32, progressive), LoadLimits{std::uint64_t{1} << 28, 10}).result, LoadResult::Ok);
}

// `count` empty APP15 segments after SOI, each behind a junk byte: libjpeg skips each junk byte
// with one warning ("extraneous bytes before marker"), and the pixels stay as they were.
Bytes WithJunkSegments(const Bytes& jpeg, int count) {
  Bytes out(jpeg.begin(), jpeg.begin() + 2);
  for (int i = 0; i < count; ++i) out.insert(out.end(), {0x55, 0xFF, 0xEF, 0x00, 0x02});
  out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
  return out;
}

TEST(JpegLoad, ToleratesAFewWarningsButNotHundreds) {
  const Bytes jpeg = Encoded(40, 30);
  const Loaded clean = LoadBytes(jpeg);
  const Loaded warned = LoadBytes(WithJunkSegments(jpeg, 100));
  ASSERT_EQ(warned.result, LoadResult::Ok);
  EXPECT_EQ(MaxDifference(warned.picture, clean.picture), 0);
  EXPECT_EQ(LoadBytes(WithJunkSegments(jpeg, 101)).result, LoadResult::Failed);
}

TEST(JpegLoad, SurvivesCorruptedData) {
  // Bytes flipped at random after the headers: each file either loads or fails, never crashes
  // (run under the sanitizers this also catches reads out of bounds).
  JpegOptions progressive;
  progressive.progressive = true;
  for (const Bytes& good : {Encoded(96, 64), Encoded(96, 64, progressive)}) {
    const std::size_t dataStart = ScanOffsets(good).front();
    std::mt19937 generator(2024);
    for (int round = 0; round < 150; ++round) {
      Bytes bad = good;
      for (int flips = 0; flips < 1 + round % 8; ++flips)
        bad[dataStart + generator() % (bad.size() - dataStart)] = static_cast<std::uint8_t>(generator());
      const LoadResult result = LoadBytes(bad).result;
      EXPECT_TRUE(result == LoadResult::Ok || result == LoadResult::Failed) << round;
    }
  }
}

}  // namespace
}  // namespace phototrim
