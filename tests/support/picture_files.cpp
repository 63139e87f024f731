// Test pictures: patterns and JPEG files of the variants the tool meets, encoded with libjpeg.
#include "support/picture_files.h"

#include <algorithm>
#include <cctype>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <jpeglib.h>
#include <random>
#include <stdexcept>

#include "support/test_folder.h"

namespace phototrim::testing {

void FillPattern(Bitmap& bitmap, int width, int height, std::uint32_t seed) {
  bitmap.Reset(width, height);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = bitmap.Row(y);
    for (int x = 0; x < width; ++x) {
      row[3 * x + 0] = static_cast<std::uint8_t>((x * 255 / std::max(1, width - 1) + seed * 37) & 0xFF);
      row[3 * x + 1] = static_cast<std::uint8_t>((y * 255 / std::max(1, height - 1) + seed * 91) & 0xFF);
      row[3 * x + 2] = static_cast<std::uint8_t>(((x / 16 + y / 16) % 2) * 160 + seed % 64);
    }
  }
}

void FillRandom(Bitmap& bitmap, int width, int height, std::uint32_t seed) {
  bitmap.Reset(width, height);
  std::mt19937 random(seed);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = bitmap.Row(y);
    for (std::size_t i = 0; i < bitmap.Stride(); ++i) row[i] = static_cast<std::uint8_t>(random() & 0xFF);
  }
}

namespace {

// The encoder is given only valid pictures: an error there is a fault of the test itself.
[[noreturn]] void AbortOnError(j_common_ptr cinfo) {
  char message[JMSG_LENGTH_MAX];
  (*cinfo->err->format_message)(cinfo, message);
  std::fprintf(stderr, "test picture encoder: %s\n", message);
  std::abort();
}

struct JumpingErrors {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

[[noreturn]] void JumpOnError(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<JumpingErrors*>(cinfo->err)->jump, 1);
}

// Reads the header only; the frame holds nothing with a destructor, for the longjmp.
bool ReadHeaderSize(FILE* file, int& width, int& height) {
  jpeg_decompress_struct cinfo{};
  JumpingErrors errors{};
  cinfo.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = JumpOnError;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, file);
  jpeg_read_header(&cinfo, TRUE);
  width = static_cast<int>(cinfo.image_width);
  height = static_cast<int>(cinfo.image_height);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

// A progressive script that sends every coefficient of every component bit by bit: for each
// component its DC in 11 scans (point transform 10 down to 0, the most libjpeg allows for 8-bit
// data), then each of the 63 AC coefficients the same way: 704 scans a component.
std::vector<jpeg_scan_info> ScanPerCoefficientAndBit(int components) {
  constexpr int kTopBit = 10;
  std::vector<jpeg_scan_info> scans;
  const auto add = [&scans](int component, int ss, int se, int ah, int al) {
    jpeg_scan_info scan{};
    scan.comps_in_scan = 1;
    scan.component_index[0] = component;
    scan.Ss = ss, scan.Se = se, scan.Ah = ah, scan.Al = al;
    scans.push_back(scan);
  };
  for (int c = 0; c < components; ++c) {
    for (int k = 0; k < 64; ++k) {
      add(c, k, k, 0, kTopBit);
      for (int bit = kTopBit; bit > 0; --bit) add(c, k, k, bit, bit - 1);
    }
  }
  return scans;
}

// A progressive script with no interleaved scan: each component's DC, then its AC, in turn.
std::vector<jpeg_scan_info> ScansComponentByComponent(int components) {
  std::vector<jpeg_scan_info> scans;
  for (int c = 0; c < components; ++c) {
    for (const auto& [ss, se] : {std::pair{0, 0}, std::pair{1, 63}}) {
      jpeg_scan_info scan{};
      scan.comps_in_scan = 1;
      scan.component_index[0] = c;
      scan.Ss = ss, scan.Se = se;
      scans.push_back(scan);
    }
  }
  return scans;
}

// Progressive: the DC of all components without its last bit, which no later scan sends, then
// each component's AC in one scan. libjpeg's block smoothing works on such files.
std::vector<jpeg_scan_info> ScansWithoutDcRefinement(int components) {
  std::vector<jpeg_scan_info> scans(1);
  scans[0].comps_in_scan = components;
  for (int c = 0; c < components; ++c) scans[0].component_index[c] = c;
  scans[0].Al = 1;
  for (int c = 0; c < components; ++c) {
    jpeg_scan_info scan{};
    scan.comps_in_scan = 1;
    scan.component_index[0] = c;
    scan.Ss = 1, scan.Se = 63;
    scans.push_back(scan);
  }
  return scans;
}

}  // namespace

std::vector<std::uint8_t> ExifWithOrientation(int orientation, bool littleEndian) {
  const auto value = static_cast<std::uint8_t>(orientation);
  if (littleEndian)
    return {'E', 'x', 'i', 'f', 0, 0,             // EXIF header
            'I', 'I', 42, 0, 8, 0, 0, 0,          // TIFF header, IFD0 at offset 8
            1, 0,                                  // one entry
            0x12, 0x01, 3, 0, 1, 0, 0, 0,          // Orientation, SHORT, count 1
            value, 0, 0, 0,
            0, 0, 0, 0};                           // no next IFD
  return {'E', 'x', 'i', 'f', 0, 0,                 // EXIF header
          'M', 'M', 0, 42, 0, 0, 0, 8,              // TIFF header, IFD0 at offset 8
          0, 1,                                      // one entry
          0x01, 0x12, 0, 3, 0, 0, 0, 1,              // Orientation, SHORT, count 1
          0, value, 0, 0,
          0, 0, 0, 0};                               // no next IFD
}

std::vector<std::uint8_t> EncodeJpeg(const Bitmap& picture, const JpegOptions& options) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);
  jerr.error_exit = AbortOnError;
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(picture.Width());
  cinfo.image_height = static_cast<JDIMENSION>(picture.Height());
  const int components = options.grayscale ? 1 : options.adobeCmyk ? 4 : 3;
  cinfo.input_components = components;
  cinfo.in_color_space = options.grayscale ? JCS_GRAYSCALE : options.adobeCmyk ? JCS_CMYK : JCS_EXT_BGR;
  jpeg_set_defaults(&cinfo);
  if (options.adobeCmyk) jpeg_set_colorspace(&cinfo, options.ycck ? JCS_YCCK : JCS_CMYK);
  jpeg_set_quality(&cinfo, options.quality, TRUE);
  if (options.sampleH > 0) cinfo.comp_info[0].h_samp_factor = options.sampleH;
  if (options.sampleV > 0) cinfo.comp_info[0].v_samp_factor = options.sampleV;
  if (options.progressive) jpeg_simple_progression(&cinfo);
  const auto scans = options.manyScans              ? ScanPerCoefficientAndBit(components)
                     : options.componentByComponent ? ScansComponentByComponent(components)
                     : options.dcNeverRefined       ? ScansWithoutDcRefinement(components)
                                                    : std::vector<jpeg_scan_info>{};
  if (!scans.empty()) {  // libjpeg keeps the pointer until the end of the compression
    cinfo.scan_info = scans.data();
    cinfo.num_scans = static_cast<int>(scans.size());
  }
  cinfo.arith_code = options.arithmetic ? TRUE : FALSE;
  cinfo.restart_in_rows = options.restartInterval;
  jpeg_start_compress(&cinfo, TRUE);
  if (!options.exif.empty()) {
    jpeg_write_marker(&cinfo, JPEG_APP0 + 1, options.exif.data(), static_cast<unsigned>(options.exif.size()));
  } else if (options.orientation != 0) {
    const auto exif = ExifWithOrientation(options.orientation, options.exifLittleEndian);
    jpeg_write_marker(&cinfo, JPEG_APP0 + 1, exif.data(), static_cast<unsigned>(exif.size()));
  }
  if (!options.iccProfile.empty())
    jpeg_write_icc_profile(&cinfo, options.iccProfile.data(), static_cast<unsigned>(options.iccProfile.size()));
  if (options.withComment) {
    const char comment[] = "made by a test";
    jpeg_write_marker(&cinfo, JPEG_COM, reinterpret_cast<const JOCTET*>(comment), sizeof comment - 1);
  }
  std::vector<std::uint8_t> row(static_cast<std::size_t>(picture.Width()) * static_cast<std::size_t>(components));
  while (cinfo.next_scanline < cinfo.image_height) {
    const std::uint8_t* source = picture.Row(static_cast<int>(cinfo.next_scanline));
    JSAMPROW rows[1];
    if (components == 3) {
      rows[0] = const_cast<JSAMPROW>(source);
    } else {
      for (int x = 0; x < picture.Width(); ++x) {
        const std::uint8_t b = source[3 * x], g = source[3 * x + 1], r = source[3 * x + 2];
        if (components == 1) {
          row[x] = g;
        } else {
          // Adobe CMYK is stored inverted (255 means no ink), and R = C*K/255 on the stored values.
          // So the stored K is the brightest channel and each stored C, M, Y is the channel
          // relative to it, rounded; black (K = 0 stored) leaves C, M, Y free.
          const unsigned top = std::max({r, g, b});
          const auto relative = [top](unsigned v) {
            return static_cast<std::uint8_t>(top == 0 ? 255 : (v * 255 + top / 2) / top);
          };
          row[4 * x + 0] = relative(r);
          row[4 * x + 1] = relative(g);
          row[4 * x + 2] = relative(b);
          row[4 * x + 3] = static_cast<std::uint8_t>(top);
        }
      }
      rows[0] = row.data();
    }
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::vector<std::uint8_t> bytes(buffer, buffer + size);
  std::free(buffer);
  return bytes;
}

void WriteJpeg(const std::string& path, int width, int height, const JpegOptions& options, std::uint32_t seed) {
  Bitmap picture;
  FillPattern(picture, width, height, seed);
  WriteBytes(path, EncodeJpeg(picture, options));
}

// Pixel by pixel from the definition of each value: where the stored first row and column end up.
void UprightCopy(const Bitmap& stored, int orientation, Bitmap& out) {
  const int w = stored.Width(), h = stored.Height();
  const bool turns = orientation >= 5 && orientation <= 8;
  out.Reset(turns ? h : w, turns ? w : h);
  for (int y = 0; y < out.Height(); ++y) {
    for (int x = 0; x < out.Width(); ++x) {
      int sx = x, sy = y;
      switch (orientation) {
        case 2: sx = w - 1 - x; break;
        case 3: sx = w - 1 - x, sy = h - 1 - y; break;
        case 4: sy = h - 1 - y; break;
        case 5: sx = y, sy = x; break;                  // first row on the left, first column at the top
        case 6: sx = y, sy = h - 1 - x; break;          // first row on the right, first column at the top
        case 7: sx = w - 1 - y, sy = h - 1 - x; break;  // first row on the right, first column at the bottom
        case 8: sx = w - 1 - y, sy = x; break;          // first row on the left, first column at the bottom
        default: break;
      }
      std::memcpy(out.Row(y) + 3 * x, stored.Row(sy) + 3 * sx, 3);
    }
  }
}

std::vector<JpegSegment> JpegSegments(const std::vector<std::uint8_t>& bytes) {
  std::vector<JpegSegment> segments;
  std::size_t at = 0;
  while (at + 1 < bytes.size() && bytes[at] == 0xFF) {
    while (at + 1 < bytes.size() && bytes[at + 1] == 0xFF) ++at;  // fill bytes
    if (at + 1 >= bytes.size()) break;
    JpegSegment segment;
    segment.marker = bytes[at + 1];
    segment.offset = at;
    at += 2;
    const bool standalone = segment.marker == 0xD8 || segment.marker == 0xD9 || (segment.marker >= 0xD0 && segment.marker <= 0xD7);
    if (!standalone) {
      if (at + 2 > bytes.size()) break;
      const std::size_t length = (bytes[at] << 8) | bytes[at + 1];
      if (length < 2 || at + length > bytes.size()) break;
      segment.payloadOffset = at + 2;
      segment.payloadSize = length - 2;
      at += length;
    }
    segments.push_back(segment);
    if (segment.marker == 0xD9) break;
    if (segment.marker == 0xDA || (segment.marker >= 0xD0 && segment.marker <= 0xD7)) {
      // Entropy-coded data runs to the next 0xFF that is neither a stuffed 0xFF00 nor a restart.
      while (at + 1 < bytes.size() && !(bytes[at] == 0xFF && bytes[at + 1] != 0 && bytes[at + 1] != 0xFF &&
                                        !(bytes[at + 1] >= 0xD0 && bytes[at + 1] <= 0xD7)))
        ++at;
    }
  }
  return segments;
}

std::vector<std::size_t> ScanOffsets(const std::vector<std::uint8_t>& jpeg) {
  std::vector<std::size_t> offsets;
  for (const auto& segment : JpegSegments(jpeg))
    if (segment.marker == 0xDA) offsets.push_back(segment.offset);
  return offsets;
}

namespace {

// SOF0 to SOF15, except DHT (C4), JPG (C8) and DAC (CC), which share the range.
bool IsFrameHeader(std::uint8_t marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

}  // namespace

std::vector<std::uint8_t> WithClaimedSize(std::vector<std::uint8_t> jpeg, unsigned width, unsigned height) {
  for (const auto& segment : JpegSegments(jpeg)) {
    if (!IsFrameHeader(segment.marker)) continue;
    // Payload: precision, height (2 bytes), width (2 bytes), components...
    jpeg[segment.payloadOffset + 1] = static_cast<std::uint8_t>(height >> 8);
    jpeg[segment.payloadOffset + 2] = static_cast<std::uint8_t>(height);
    jpeg[segment.payloadOffset + 3] = static_cast<std::uint8_t>(width >> 8);
    jpeg[segment.payloadOffset + 4] = static_cast<std::uint8_t>(width);
  }
  return jpeg;
}

std::vector<std::uint8_t> WithPrecision(std::vector<std::uint8_t> jpeg, int precision) {
  for (const auto& segment : JpegSegments(jpeg)) {
    if (!IsFrameHeader(segment.marker)) continue;
    jpeg[segment.payloadOffset] = static_cast<std::uint8_t>(precision);
    // 12-bit data belongs in an extended sequential frame (SOF1) when it was baseline.
    if (precision != 8 && segment.marker == 0xC0) jpeg[segment.offset + 1] = 0xC1;
  }
  return jpeg;
}

std::vector<std::uint8_t> CutAt(const std::vector<std::uint8_t>& bytes, std::size_t size) {
  return std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(size, bytes.size())));
}

std::vector<std::uint8_t> DamagedExif(BadExif kind, bool littleEndian) {
  std::vector<std::uint8_t> b = {'E', 'x', 'i', 'f', 0, 0};
  const auto u16 = [&](unsigned v) {
    const std::uint8_t low = std::uint8_t(v), high = std::uint8_t(v >> 8);
    b.push_back(littleEndian ? low : high);
    b.push_back(littleEndian ? high : low);
  };
  const auto u32 = [&](std::uint32_t v) {
    if (littleEndian) u16(v & 0xFFFF), u16(v >> 16);
    else u16(v >> 16), u16(v & 0xFFFF);
  };
  b.push_back(littleEndian ? 'I' : 'M');
  b.push_back(littleEndian ? 'I' : 'M');
  u16(42);
  u32(kind == BadExif::OffsetPastEnd ? 0x7FFFFFF0u : 8u);  // IFD0 right after the TIFF header
  u16(kind == BadExif::HugeCount ? 0xFFFF : 1);
  // One entry that is not the orientation (ImageDescription, ASCII), its data far past the end.
  u16(0x010E), u16(2), u32(kind == BadExif::HugeCount ? 0xFFFFFFFFu : 64), u32(0xFFFFFF00u);
  u32(kind == BadExif::IfdLoop ? 8u : 0u);  // the link to the next IFD: back to IFD0 for the loop
  return b;
}

void WritePpm(const std::string& path, const Bitmap& picture) {
  const std::string header = "P6\n" + std::to_string(picture.Width()) + " " + std::to_string(picture.Height()) + "\n255\n";
  std::vector<std::uint8_t> bytes(header.begin(), header.end());
  for (int y = 0; y < picture.Height(); ++y) {
    const std::uint8_t* row = picture.Row(y);
    for (int x = 0; x < picture.Width(); ++x) bytes.insert(bytes.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
  }
  WriteBytes(path, bytes);
}

bool ReadPnm(const std::string& path, Bitmap& picture) {
  const std::vector<std::uint8_t> bytes = ReadBytes(path);
  // Header: magic, width, height, maximum, each separated by white space, then one white space.
  std::size_t at = 2;
  int numbers[3] = {0, 0, 0};
  if (bytes.size() < 2 || bytes[0] != 'P' || (bytes[1] != '5' && bytes[1] != '6')) return false;
  for (int& number : numbers) {
    while (at < bytes.size() && std::isspace(bytes[at])) ++at;
    while (at < bytes.size() && std::isdigit(bytes[at])) number = number * 10 + (bytes[at++] - '0');
  }
  ++at;
  const int channels = bytes[1] == '6' ? 3 : 1;
  const auto [width, height, maximum] = numbers;
  if (maximum != 255 || width < 1 || height < 1 ||
      bytes.size() - at != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * channels)
    return false;
  picture.Reset(width, height);
  const std::uint8_t* from = bytes.data() + at;
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = picture.Row(y);
    for (int x = 0; x < width; ++x, from += channels) {
      row[3 * x + 0] = from[channels == 3 ? 2 : 0];
      row[3 * x + 1] = from[channels == 3 ? 1 : 0];
      row[3 * x + 2] = from[0];
    }
  }
  return true;
}

std::pair<int, int> JpegSize(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return {0, 0};
  int width = 0, height = 0;
  const bool ok = ReadHeaderSize(file, width, height);
  std::fclose(file);
  return ok ? std::pair<int, int>{width, height} : std::pair<int, int>{0, 0};
}

}  // namespace phototrim::testing
