// Pictures made by the tests: patterns in a Bitmap, and JPEG files of every variant encoded with libjpeg.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "trim/bitmap.h"

namespace phototrim::testing {

// A picture whose pixels vary smoothly with a seed-dependent pattern (so JPEG keeps it recognisable).
void FillPattern(Bitmap& bitmap, int width, int height, std::uint32_t seed = 1);
// A picture of random bytes (for exactness tests of the reductions).
void FillRandom(Bitmap& bitmap, int width, int height, std::uint32_t seed);

struct JpegOptions {
  int quality = 90;
  bool progressive = false;
  bool grayscale = false;
  bool adobeCmyk = false;                // four inverted components with an Adobe marker
  int orientation = 0;                   // EXIF orientation tag value, 0 for no EXIF
  std::vector<std::uint8_t> iccProfile;  // written with jpeg_write_icc_profile when not empty
  int restartInterval = 0;               // in MCU rows
  bool withComment = false;              // a COM marker
  bool ycck = false;                     // with adobeCmyk: stored as YCCK (Adobe transform 2)
  int sampleH = 0, sampleV = 0;          // first component's sampling factors; 0 keeps libjpeg's
  bool arithmetic = false;               // arithmetic instead of Huffman coding
  bool manyScans = false;                // progressive, one scan per coefficient and bit: 704 a component
  bool exifLittleEndian = false;         // the orientation block in Intel byte order
  std::vector<std::uint8_t> exif;        // an APP1 payload written as it is, instead of the orientation block
  bool componentByComponent = false;     // progressive, one component after the other: its DC, then its AC
  bool dcNeverRefined = false;           // progressive, the DC's last bit never sent (libjpeg smooths it)
};

// The APP1 payload of a minimal EXIF block holding only the orientation tag.
std::vector<std::uint8_t> ExifWithOrientation(int orientation, bool littleEndian = false);

// Encodes the picture as a JPEG file in memory.
std::vector<std::uint8_t> EncodeJpeg(const Bitmap& picture, const JpegOptions& options = {});

// Writes a pattern picture of the given size as a JPEG file, creating its folders.
void WriteJpeg(const std::string& path, int width, int height, const JpegOptions& options = {},
               std::uint32_t seed = 1);

// Width and height of the JPEG file at `path` from its header; {0, 0} when it is not one.
std::pair<int, int> JpegSize(const std::string& path);

// The picture as viewers show a stored picture with EXIF orientation 1 to 8 (anything else: as stored).
void UprightCopy(const Bitmap& stored, int orientation, Bitmap& upright);

// One marker segment of a JPEG stream: the marker byte (0xD8 for SOI ...), where its 0xFF stands,
// and its payload (after the two length bytes; empty for SOI, EOI and RSTn).
struct JpegSegment {
  std::uint8_t marker = 0;
  std::size_t offset = 0, payloadOffset = 0, payloadSize = 0;
};
// The segments of a JPEG stream in order, entropy-coded data skipped; stops at EOI or where the
// stream cannot be followed.
std::vector<JpegSegment> JpegSegments(const std::vector<std::uint8_t>& bytes);

// ---- Damage done to good files, for the hostile-input tests and the fuzzing seeds ----

// Offsets of the start-of-scan markers (one for a baseline file, one per scan for a progressive one).
std::vector<std::size_t> ScanOffsets(const std::vector<std::uint8_t>& jpeg);
// The file with its frame header (any SOFn) claiming another size; the data stays as it was.
std::vector<std::uint8_t> WithClaimedSize(std::vector<std::uint8_t> jpeg, unsigned width, unsigned height);
// The file with its frame header claiming another sample precision (12 for a 12-bit file).
std::vector<std::uint8_t> WithPrecision(std::vector<std::uint8_t> jpeg, int precision);
// The first `size` bytes of the file.
std::vector<std::uint8_t> CutAt(const std::vector<std::uint8_t>& bytes, std::size_t size);

// EXIF payloads that a careless reader would follow: IFD0 holds no orientation and links back to
// itself; IFD0 claims 65535 entries; IFD0 lies past the block's end. Each in either byte order.
enum class BadExif { IfdLoop, HugeCount, OffsetPastEnd };
std::vector<std::uint8_t> DamagedExif(BadExif kind, bool littleEndian);

// Writes the picture as a binary PPM (RGB), as cjpeg reads it.
void WritePpm(const std::string& path, const Bitmap& picture);
// Reads a binary PPM or PGM, as djpeg writes them, into BGR rows (gray as three equal channels).
// False when the file is neither.
bool ReadPnm(const std::string& path, Bitmap& picture);

}  // namespace phototrim::testing
