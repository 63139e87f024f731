// Reads the Exif thumbnail with libexiv2; its errors become an empty answer, never an exception.
#include "trim/thumbs/exif_thumbnail.h"

#include <mutex>

#include <exiv2/exiv2.hpp>

namespace phototrim {

namespace {

// libexiv2's XMP parser must be set up once before threads use it, and its log would print to stderr.
void SetUpOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    Exiv2::XmpParser::initialize();
  });
}

}  // namespace

std::vector<std::uint8_t> ExifThumbnailBytes(const std::string& path) {
  SetUpOnce();
  try {
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path);
    if (image.get() == nullptr) return {};
    image->readMetadata();
    const Exiv2::ExifThumbC thumbnail(image->exifData());
    const Exiv2::DataBuf bytes = thumbnail.copy();
    if (bytes.pData_ == nullptr || bytes.size_ <= 0) return {};
    return std::vector<std::uint8_t>(bytes.pData_, bytes.pData_ + bytes.size_);
  } catch (...) {
    // A damaged or unusual metadata block only means no thumbnail: the picture is decoded instead.
    return {};
  }
}

}  // namespace phototrim
