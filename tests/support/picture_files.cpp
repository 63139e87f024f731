// Test pictures: patterns and JPEG files of the variants the tool meets, encoded with libjpeg.
#include "support/picture_files.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
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

// A minimal big-endian EXIF block that holds only the orientation tag.
std::vector<std::uint8_t> ExifWithOrientation(int orientation) {
  return {'E', 'x', 'i', 'f', 0, 0,                 // EXIF header
          'M', 'M', 0, 42, 0, 0, 0, 8,              // TIFF header, IFD0 at offset 8
          0, 1,                                      // one entry
          0x01, 0x12, 0, 3, 0, 0, 0, 1,              // Orientation, SHORT, count 1
          0, static_cast<std::uint8_t>(orientation), 0, 0,
          0, 0, 0, 0};                               // no next IFD
}

}  // namespace

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
  if (options.adobeCmyk) jpeg_set_colorspace(&cinfo, JCS_CMYK);
  jpeg_set_quality(&cinfo, options.quality, TRUE);
  if (options.progressive) jpeg_simple_progression(&cinfo);
  cinfo.restart_in_rows = options.restartInterval;
  jpeg_start_compress(&cinfo, TRUE);
  if (options.orientation != 0) {
    const auto exif = ExifWithOrientation(options.orientation);
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
        } else {  // Adobe CMYK is stored inverted: 255 means no ink
          const std::uint8_t k = static_cast<std::uint8_t>(255 - std::max({r, g, b}));
          row[4 * x + 0] = static_cast<std::uint8_t>(255 - (255 - r - k));
          row[4 * x + 1] = static_cast<std::uint8_t>(255 - (255 - g - k));
          row[4 * x + 2] = static_cast<std::uint8_t>(255 - (255 - b - k));
          row[4 * x + 3] = static_cast<std::uint8_t>(255 - k);
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

std::pair<int, int> JpegSize(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return {0, 0};
  int width = 0, height = 0;
  const bool ok = ReadHeaderSize(file, width, height);
  std::fclose(file);
  return ok ? std::pair<int, int>{width, height} : std::pair<int, int>{0, 0};
}

}  // namespace phototrim::testing
