// Reads the orientation tag from the EXIF block of a JPEG file, trusting nothing in it.
#include "trim/codec/exif_orientation.h"

#include <cstring>

namespace phototrim {

namespace {

constexpr std::size_t kExifHeaderBytes = 6;  // "Exif\0\0"
constexpr std::size_t kTiffHeaderBytes = 8;  // byte order, 42, offset of IFD0
constexpr std::size_t kEntryBytes = 12;      // tag, type, count, value or offset
constexpr unsigned kOrientationTag = 0x0112;
constexpr unsigned kTypeShort = 3;

// Reads little- or big-endian numbers within one block; every caller checks bounds first.
struct TiffReader {
  const std::uint8_t* base;
  bool littleEndian;

  unsigned U16(std::size_t at) const {
    return littleEndian ? base[at] | (base[at + 1] << 8) : (base[at] << 8) | base[at + 1];
  }
  std::uint32_t U32(std::size_t at) const {
    const std::uint32_t a = U16(at), b = U16(at + 2);
    return littleEndian ? a | (b << 16) : (a << 16) | b;
  }
};

}  // namespace

int ExifOrientation(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr || size < kExifHeaderBytes + kTiffHeaderBytes) return 1;
  if (std::memcmp(data, "Exif\0\0", kExifHeaderBytes) != 0) return 1;
  // Offsets in the TIFF structure count from its header, not from the APP1 payload.
  const std::uint8_t* tiff = data + kExifHeaderBytes;
  const std::size_t tiffSize = size - kExifHeaderBytes;
  TiffReader read{tiff, false};
  if (tiff[0] == 'I' && tiff[1] == 'I') {
    read.littleEndian = true;
  } else if (!(tiff[0] == 'M' && tiff[1] == 'M')) {
    return 1;
  }
  if (read.U16(2) != 42) return 1;

  // Only IFD0 is read: the tag lives there, and never following an IFD link makes loops harmless.
  const std::uint32_t ifd = read.U32(4);
  if (ifd < kTiffHeaderBytes || ifd > tiffSize - 2) return 1;
  const std::size_t entries = read.U16(ifd);
  // An entry count that claims more than the block holds is cut to the entries that are there.
  const std::size_t room = (tiffSize - ifd - 2) / kEntryBytes;
  const std::size_t count = entries < room ? entries : room;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t entry = ifd + 2 + i * kEntryBytes;
    if (read.U16(entry) != kOrientationTag) continue;
    // One SHORT, held in the first two bytes of the value field in the file's byte order.
    if (read.U16(entry + 2) != kTypeShort || read.U32(entry + 4) != 1) return 1;
    const unsigned value = read.U16(entry + 8);
    return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
  }
  return 1;
}

}  // namespace phototrim
