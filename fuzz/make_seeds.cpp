// Writes the fuzzing seed corpora: small JPEG files of every variant the tool meets, and EXIF blocks.
// Usage: phototrim_fuzz_seeds FOLDER  (makes FOLDER/load and FOLDER/exif)
#include <cstdio>
#include <string>
#include <vector>

#include "support/picture_files.h"
#include "support/test_folder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace phototrim;
using namespace phototrim::testing;

// Small pictures keep every seed under a few kilobytes, so that libFuzzer's length limit (the
// largest seed) stays small and each execution fast.
Bytes Picture(int width, int height, const JpegOptions& options, std::uint32_t seed = 3) {
  Bitmap picture;
  FillPattern(picture, width, height, seed);
  return EncodeJpeg(picture, options);
}

// A minimal ICC header: the size, then the data colour space at bytes 16 to 19.
Bytes IccProfile(const char* colourSpace) {
  Bytes profile(132, 0);
  profile[3] = 132;
  for (int i = 0; i < 4; ++i) profile[16 + i] = static_cast<std::uint8_t>(colourSpace[i]);
  return profile;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 64;
  }
  const std::string load = std::string(argv[1]) + "/load/", exif = std::string(argv[1]) + "/exif/";
  MakeFolders(load);
  MakeFolders(exif);
  const auto seed = [](const std::string& path, const Bytes& bytes) { WriteBytes(path, bytes); };

  JpegOptions o;
  seed(load + "baseline.jpg", Picture(24, 16, o));
  o.progressive = true;
  const Bytes progressive = Picture(24, 16, o);
  seed(load + "progressive.jpg", progressive);
  o = {};
  o.grayscale = true;
  seed(load + "gray.jpg", Picture(16, 8, o));
  o.progressive = true;
  seed(load + "gray-progressive.jpg", Picture(16, 8, o));
  o = {};
  o.adobeCmyk = true;
  seed(load + "cmyk.jpg", Picture(16, 16, o));
  o.ycck = true;
  seed(load + "ycck.jpg", Picture(16, 16, o));
  o.progressive = true;
  seed(load + "ycck-progressive.jpg", Picture(16, 16, o));
  const int samplings[][2] = {{1, 1}, {1, 2}, {2, 1}, {4, 1}, {3, 2}, {1, 4}};
  for (const auto& s : samplings) {
    o = {};
    o.sampleH = s[0], o.sampleV = s[1];
    seed(load + "sampling-" + std::to_string(s[0]) + "x" + std::to_string(s[1]) + ".jpg", Picture(21, 13, o));
  }
  o = {};
  o.arithmetic = true;
  seed(load + "arithmetic.jpg", Picture(24, 16, o));
  o.progressive = true;
  seed(load + "arithmetic-progressive.jpg", Picture(24, 16, o));
  o = {};
  o.restartInterval = 1;
  seed(load + "restarts.jpg", Picture(16, 48, o));
  o = {};
  o.manyScans = true;
  o.grayscale = true;
  seed(load + "many-scans.jpg", Picture(8, 8, o));
  for (int orientation = 2; orientation <= 8; orientation += 3) {
    for (bool little : {false, true}) {
      o = {};
      o.orientation = orientation;
      o.exifLittleEndian = little;
      seed(load + "exif-" + std::to_string(orientation) + (little ? "-ii" : "-mm") + ".jpg", Picture(16, 8, o));
    }
  }
  o = {};
  o.grayscale = true;
  o.orientation = 6;
  seed(load + "gray-exif-6.jpg", Picture(8, 16, o));
  o = {};
  o.iccProfile = IccProfile("RGB ");
  o.withComment = true;
  seed(load + "icc-rgb-comment.jpg", Picture(8, 8, o));
  o = {};
  o.exif = DamagedExif(BadExif::IfdLoop, true);
  seed(load + "exif-loop.jpg", Picture(8, 8, o));
  o = {};
  seed(load + "one-pixel.jpg", Picture(1, 1, o));
  // Damaged ones: a 12-bit frame, a header claiming 30000 x 30000, cuts in the header and the scans.
  seed(load + "precision-12.jpg", WithPrecision(Picture(16, 16, {}), 12));
  seed(load + "claims-30000.jpg", WithClaimedSize(progressive, 30000, 30000));
  const auto scans = ScanOffsets(progressive);
  seed(load + "cut-header.jpg", CutAt(progressive, 100));
  seed(load + "cut-first-scan.jpg", CutAt(progressive, (scans[0] + scans[1]) / 2));
  seed(load + "cut-later-scan.jpg", CutAt(progressive, (scans[4] + scans[5]) / 2));

  for (bool little : {false, true}) {
    const std::string order = little ? "-ii" : "-mm";
    for (int orientation = 1; orientation <= 8; ++orientation)
      seed(exif + "orientation-" + std::to_string(orientation) + order, ExifWithOrientation(orientation, little));
    seed(exif + "loop" + order, DamagedExif(BadExif::IfdLoop, little));
    seed(exif + "huge-count" + order, DamagedExif(BadExif::HugeCount, little));
    seed(exif + "past-end" + order, DamagedExif(BadExif::OffsetPastEnd, little));
  }
  return 0;
}
