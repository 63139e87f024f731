// Exif for an output: the input's capture data, filtered and rewritten by libexiv2.
#include "trim/save/carried_exif.h"

#include <exiv2/exiv2.hpp>

#include <cstring>
#include <limits>
#include <mutex>
#include <set>
#include <string>

namespace phototrim {

namespace {

// A JPEG marker holds at most 65533 bytes of data; "Exif\0\0" takes six of them.
constexpr std::size_t kMaxTiffBytes = 65533 - 6;

// The main image directory's tags that describe the capture rather than the stored picture (its
// size, layout and resolution are the input's, not the output's).
const std::set<std::string> kKeptImageTags = {
    "Exif.Image.DateTime", "Exif.Image.Make",      "Exif.Image.Model",           "Exif.Image.Software",
    "Exif.Image.Artist",   "Exif.Image.Copyright", "Exif.Image.ImageDescription",
};

bool Kept(const Exiv2::Exifdatum& datum, bool keepGps) {
  const std::string group = datum.groupName();
  if (group == "Image") return kKeptImageTags.count(datum.key()) > 0;
  if (group == "Photo") return datum.key() != "Exif.Photo.MakerNote" && datum.key() != "Exif.Photo.InteroperabilityTag";
  if (group == "GPSInfo") return keepGps;
  return false;  // the thumbnail's directory, maker notes, interoperability and anything else
}

void Quiet() {
  // libexiv2 writes its warnings about damaged input to stderr; a damaged block is simply not carried.
  static std::once_flag once;
  std::call_once(once, [] { Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute); });
}

}  // namespace

std::vector<std::uint8_t> CarriedExif(const std::vector<std::uint8_t>& tiff, int width, int height, const ExifCarry& carry) {
  std::vector<std::uint8_t> payload;
  if (tiff.size() < 8 || tiff.size() > std::numeric_limits<std::uint32_t>::max()) return payload;
  Quiet();
  try {
    Exiv2::ExifData input;
    const Exiv2::ByteOrder order = Exiv2::ExifParser::decode(input, tiff.data(), static_cast<std::uint32_t>(tiff.size()));
    Exiv2::ExifData output;
    bool hadOrientation = false, hadPixelSize = false;
    for (const Exiv2::Exifdatum& datum : input) {
      if (datum.key() == "Exif.Image.Orientation") hadOrientation = true;
      if (datum.key() == "Exif.Photo.PixelXDimension" || datum.key() == "Exif.Photo.PixelYDimension") {
        hadPixelSize = true;
        continue;
      }
      if (Kept(datum, carry.keepGps)) output.add(datum);
    }
    if (output.empty()) return payload;
    if (hadOrientation) output["Exif.Image.Orientation"] = static_cast<std::uint16_t>(1);
    if (hadPixelSize) {
      output["Exif.Photo.PixelXDimension"] = static_cast<std::uint32_t>(width);
      output["Exif.Photo.PixelYDimension"] = static_cast<std::uint32_t>(height);
    }
    if (carry.dpi > 0) {
      output["Exif.Image.XResolution"] = Exiv2::URational(carry.dpi, 1);
      output["Exif.Image.YResolution"] = Exiv2::URational(carry.dpi, 1);
      output["Exif.Image.ResolutionUnit"] = static_cast<std::uint16_t>(2);  // inches
    }
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, order == Exiv2::invalidByteOrder ? Exiv2::littleEndian : order, output);
    if (blob.empty() || blob.size() > kMaxTiffBytes) return payload;
    payload.assign({'E', 'x', 'i', 'f', 0, 0});
    payload.insert(payload.end(), blob.begin(), blob.end());
  } catch (...) {
    // libexiv2 reports damaged input by throwing: such a block is not carried.
    payload.clear();
  }
  return payload;
}

}  // namespace phototrim
