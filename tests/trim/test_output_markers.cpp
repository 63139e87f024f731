// --keep-exif, --keep-gps and --dpi-tag through whole runs: what the outputs state, and no pixel changed.
#include <gtest/gtest.h>

#include <exiv2/exiv2.hpp>

#include "support/picture_files.h"
#include "support/scripted_host.h"
#include "support/test_folder.h"
#include "support/jpeg_load.h"
#include "trim/run/batch_run.h"

namespace phototrim {
namespace {

using namespace testing;
using Bytes = std::vector<std::uint8_t>;

// A camera's Exif block: capture data, a position, an orientation of a quarter turn, the stored
// size, a thumbnail's directory and a maker note.
Bytes CameraExif() {
  Exiv2::ExifData exif;
  exif["Exif.Image.Make"] = "Canon";
  exif["Exif.Image.Model"] = "EOS R6";
  exif["Exif.Image.Orientation"] = std::uint16_t{6};
  exif["Exif.Image.ImageWidth"] = std::uint32_t{64};
  exif["Exif.Photo.DateTimeOriginal"] = "2024:05:01 10:00:00";
  exif["Exif.Photo.ExposureTime"] = Exiv2::URational(1, 250);
  exif["Exif.Photo.LensModel"] = "RF24-105mm";
  exif["Exif.Photo.PixelXDimension"] = std::uint32_t{64};
  exif["Exif.Photo.PixelYDimension"] = std::uint32_t{48};
  exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
  exif["Exif.GPSInfo.GPSLatitude"] = Exiv2::URational(35, 1);
  exif["Exif.Thumbnail.ImageWidth"] = std::uint32_t{8};
  Exiv2::Blob blob;
  Exiv2::ExifParser::encode(blob, Exiv2::bigEndian, exif);
  Bytes payload = {'E', 'x', 'i', 'f', 0, 0};
  payload.insert(payload.end(), blob.begin(), blob.end());
  return payload;
}

struct Output {
  Bitmap pixels;
  Bytes bytes;
  Exiv2::ExifData exif;
};

// On workers the picture is encoded ahead of its save, with the same markers.
Output RunWith(const std::function<void(ScriptedHost&)>& set, WorkThreads threads = WorkThreads::OwnForOneJob) {
  TestFolder folder;
  JpegOptions options;
  options.exif = CameraExif();
  WriteJpeg(folder / "in/a.jpg", 64, 48, options);
  Workspace workspace;
  ScriptedHost host;
  host.input = folder / "in";
  host.output = folder / "out";
  host.skipSmall = false;
  set(host);
  RunBatch(workspace, host, 1, threads);
  Output out;
  out.bytes = ReadBytes(folder / "out/a.jpg");
  Bitmap scratch;
  std::vector<std::uint8_t> profile;
  EXPECT_EQ(LoadJpeg(folder / "out/a.jpg", out.pixels, scratch, profile), LoadResult::Ok);
  for (const JpegSegment& s : JpegSegments(out.bytes))
    if (s.marker == 0xE1 && s.payloadSize > 6)
      Exiv2::ExifParser::decode(out.exif, out.bytes.data() + s.payloadOffset + 6, static_cast<std::uint32_t>(s.payloadSize - 6));
  return out;
}

bool SamePixels(const Bitmap& a, const Bitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int y = 0; y < a.Height(); ++y)
    if (std::memcmp(a.Row(y), b.Row(y), static_cast<std::size_t>(a.Width()) * 3) != 0) return false;
  return true;
}

bool Has(const Exiv2::ExifData& exif, const char* key) { return exif.findKey(Exiv2::ExifKey(key)) != exif.end(); }

TEST(OutputMarkers, StateWhatIsAskedAndChangeNoPixel) {
  const Output plain = RunWith([](ScriptedHost&) {});
  EXPECT_TRUE(plain.exif.empty());
  EXPECT_EQ(plain.bytes[13], 0);  // JFIF density unit 0 at 1 x 1, as always

  // L at 300 dpi: a print size states its dpi; QVGA, a pixel size, states nothing.
  const Output print = RunWith([](ScriptedHost& h) { h.dpiTag = true, h.size.dpi = 300; });
  EXPECT_TRUE(SamePixels(print.pixels, plain.pixels));
  EXPECT_EQ(Bytes(print.bytes.begin() + 13, print.bytes.begin() + 18), (Bytes{1, 1, 44, 1, 44}));
  EXPECT_TRUE(print.exif.empty());
  const Output pixelSize = RunWith([](ScriptedHost& h) { h.dpiTag = true, h.size.row = 11; });
  const Output pixelPlain = RunWith([](ScriptedHost& h) { h.size.row = 11; });
  EXPECT_EQ(pixelSize.bytes, pixelPlain.bytes);

  for (const bool gps : {false, true}) {
    SCOPED_TRACE(gps ? "--keep-gps" : "no GPS");
    Output kept = RunWith([gps](ScriptedHost& h) { h.keepExif = true, h.keepGps = gps; },
                          gps ? WorkThreads::Workers : WorkThreads::OwnForOneJob);
    EXPECT_TRUE(SamePixels(kept.pixels, plain.pixels));
    for (const char* key : {"Exif.Image.Make", "Exif.Image.Model", "Exif.Photo.DateTimeOriginal",
                            "Exif.Photo.ExposureTime", "Exif.Photo.LensModel"})
      EXPECT_TRUE(Has(kept.exif, key)) << key;
    EXPECT_EQ(Has(kept.exif, "Exif.GPSInfo.GPSLatitude"), gps);
    EXPECT_FALSE(Has(kept.exif, "Exif.Thumbnail.ImageWidth"));
    EXPECT_FALSE(Has(kept.exif, "Exif.Image.ImageWidth"));
    // The picture was turned upright: it stands so, at its new size.
    EXPECT_EQ(kept.exif["Exif.Image.Orientation"].toLong(), 1);
    EXPECT_EQ(kept.exif["Exif.Photo.PixelXDimension"].toLong(), kept.pixels.Width());
    EXPECT_EQ(kept.exif["Exif.Photo.PixelYDimension"].toLong(), kept.pixels.Height());
    EXPECT_LT(kept.pixels.Width(), kept.pixels.Height());
  }
}

}  // namespace
}  // namespace phototrim
