// Makes HEIF test files with heif-enc, and edits the boxes that heif-enc cannot write.
#include "support/heif_files.h"

#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "support/picture_files.h"
#include "support/test_folder.h"

namespace phototrim::testing {

namespace {

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}
std::uint32_t Get(const std::vector<std::uint8_t>& b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v = v << 8 | b[at + static_cast<std::size_t>(i)];
  return v;
}
void Set(std::vector<std::uint8_t>& b, std::size_t at, int bytes, std::uint32_t v) {
  for (int i = bytes - 1; i >= 0; --i, v >>= 8) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v);
}

void Chunk(std::vector<std::uint8_t>& png, const char* type, const std::vector<std::uint8_t>& data) {
  Put32(png, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data.begin(), data.end());
  Put32(png, static_cast<std::uint32_t>(crc32(0, png.data() + start, static_cast<uInt>(png.size() - start))));
}

// RGBA with the alpha ramp, or 16-bit RGB, as heif-enc reads it.
std::vector<std::uint8_t> Png(const Bitmap& picture, bool alpha, bool wide) {
  const int w = picture.Width(), h = picture.Height(), channels = alpha ? 4 : 3, bytes = wide ? 2 : 1;
  std::vector<std::uint8_t> raw;
  for (int y = 0; y < h; ++y) {
    raw.push_back(0);  // no filter
    for (int x = 0; x < w; ++x) {
      const std::uint8_t* p = picture.Row(y) + 3 * x;
      const std::uint8_t rgba[4] = {p[2], p[1], p[0], static_cast<std::uint8_t>(std::min(255, (8 * x / w) * 255 / 7))};
      for (int c = 0; c < channels; ++c) {
        raw.push_back(rgba[c]);
        if (wide) raw.push_back(rgba[c]);
      }
    }
  }
  std::vector<std::uint8_t> packed(compressBound(static_cast<uLong>(raw.size())));
  uLongf size = static_cast<uLongf>(packed.size());
  compress(packed.data(), &size, raw.data(), static_cast<uLong>(raw.size()));
  packed.resize(size);
  std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, header;
  Put32(header, static_cast<std::uint32_t>(w));
  Put32(header, static_cast<std::uint32_t>(h));
  header.insert(header.end(), {static_cast<std::uint8_t>(8 * bytes), static_cast<std::uint8_t>(alpha ? 6 : 2), 0, 0, 0});
  Chunk(png, "IHDR", header);
  Chunk(png, "IDAT", packed);
  Chunk(png, "IEND", {});
  return png;
}

// The box of `type` among the boxes in [from, to); its start, or `to` when there is none.
std::size_t FindBox(const std::vector<std::uint8_t>& b, std::size_t from, std::size_t to, const char* type) {
  for (std::size_t at = from; at + 8 <= to; at += Get(b, at, 4))
    if (std::memcmp(&b[at + 4], type, 4) == 0) return at;
  return to;
}

// The item whose thumbnail reference ('thmb' in 'iref', version 0) names another; 0 when none does.
std::size_t ThumbnailItem(const std::vector<std::uint8_t>& b) {
  const std::size_t meta = FindBox(b, 0, b.size(), "meta"), metaEnd = meta + Get(b, meta, 4);
  const std::size_t iref = FindBox(b, meta + 12, metaEnd, "iref");
  if (iref == metaEnd) return 0;
  const std::size_t thmb = FindBox(b, iref + 12, iref + Get(b, iref, 4), "thmb");
  return thmb == iref + Get(b, iref, 4) ? 0 : Get(b, thmb + 8, 2);
}

// The file with `box` added to the properties of its primary image, or of item `item`.
std::vector<std::uint8_t> WithProperty(std::vector<std::uint8_t> b, const std::vector<std::uint8_t>& box, bool essential,
                                       std::size_t item = 0) {
  const std::uint32_t grown = static_cast<std::uint32_t>(box.size()) + 1;
  const std::size_t meta = FindBox(b, 0, b.size(), "meta"), metaEnd = meta + Get(b, meta, 4);
  const std::size_t primary = item != 0 ? item : Get(b, FindBox(b, meta + 12, metaEnd, "pitm") + 12, 2);
  const std::size_t iprp = FindBox(b, meta + 12, metaEnd, "iprp"), iprpEnd = iprp + Get(b, iprp, 4);
  const std::size_t ipco = FindBox(b, iprp + 8, iprpEnd, "ipco"), ipcoEnd = ipco + Get(b, ipco, 4);
  int properties = 0;
  for (std::size_t at = ipco + 8; at < ipcoEnd; at += Get(b, at, 4)) ++properties;
  // ipma (version 0, one-byte associations): each item's id, its count, then its property indices.
  std::size_t ipma = FindBox(b, iprp + 8, iprpEnd, "ipma"), entry = ipma + 16;
  while (Get(b, entry, 2) != primary) entry += 3 + b[entry + 2];
  const std::size_t grownAt = entry + 3 + b[entry + 2];
  b.insert(b.begin() + static_cast<long>(grownAt), static_cast<std::uint8_t>((essential ? 0x80 : 0) | (properties + 1)));
  ++b[entry + 2];
  b.insert(b.begin() + static_cast<long>(ipcoEnd), box.begin(), box.end());
  ipma += box.size();
  for (const std::size_t parent : {meta, iprp}) Set(b, parent, 4, Get(b, parent, 4) + grown);
  Set(b, ipco, 4, Get(b, ipco, 4) + static_cast<std::uint32_t>(box.size()));
  Set(b, ipma, 4, Get(b, ipma, 4) + 1);
  // The data after the meta box moved: so do the item locations (iloc version 0 or 1).
  const std::size_t iloc = FindBox(b, meta + 12, metaEnd + grown, "iloc");
  const int version = b[iloc + 8], offsetSize = b[iloc + 12] >> 4, lengthSize = b[iloc + 12] & 15,
            baseSize = b[iloc + 13] >> 4, indexSize = version >= 1 ? b[iloc + 13] & 15 : 0;
  std::size_t at = iloc + 16;
  for (std::uint32_t items = Get(b, iloc + 14, 2); items > 0; --items) {
    // Items in the meta box's own 'idat' (construction method 1) lie where they lay.
    const bool inFile = version == 0 || (Get(b, at + 2, 2) & 15) == 0;
    at += 2 + (version >= 1 ? 2 : 0) + 2;
    const std::size_t base = at;
    const bool hasBase = baseSize > 0 && Get(b, base, baseSize) > 0;
    if (hasBase && inFile) Set(b, base, baseSize, Get(b, base, baseSize) + grown);
    at += static_cast<std::size_t>(baseSize);
    std::uint32_t extents = Get(b, at, 2);
    for (at += 2; extents > 0; --extents) {
      at += static_cast<std::size_t>(indexSize);
      if (!hasBase && inFile && offsetSize > 0) Set(b, at, offsetSize, Get(b, at, offsetSize) + grown);
      at += static_cast<std::size_t>(offsetSize + lengthSize);
    }
  }
  return b;
}

}  // namespace

std::vector<std::uint8_t> WithRotation(std::vector<std::uint8_t> heif, int quarterTurns, bool thumbnailToo) {
  const std::vector<std::uint8_t> irot = {0, 0, 0, 9, 'i', 'r', 'o', 't', static_cast<std::uint8_t>(quarterTurns & 3)};
  const std::size_t thumbnail = thumbnailToo ? ThumbnailItem(heif) : 0;
  heif = WithProperty(std::move(heif), irot, true);
  return thumbnail != 0 ? WithProperty(std::move(heif), irot, true, thumbnail) : heif;
}

std::vector<std::uint8_t> WithNclx(std::vector<std::uint8_t> heif, int primaries, int transfer) {
  return WithProperty(std::move(heif),
                      {0, 0, 0, 19, 'c', 'o', 'l', 'r', 'n', 'c', 'l', 'x', 0, static_cast<std::uint8_t>(primaries), 0,
                       static_cast<std::uint8_t>(transfer), 0, 6, 0x80},
                      false);
}

std::vector<std::uint8_t> MakeHeif(const Bitmap& picture, const HeifOptions& options) {
  TestFolder folder;
  const bool png = options.alpha || options.bitDepth > 8;
  const std::string in = folder / (png ? "in.png" : "in.jpg"), out = folder / "out.heic";
  JpegOptions jpeg;
  jpeg.quality = 98;
  jpeg.iccProfile = options.iccProfile;
  jpeg.exif = options.exif;
  WriteBytes(in, png ? Png(picture, options.alpha, options.bitDepth > 8) : EncodeJpeg(picture, jpeg));
  // From the folder itself: the current folder may be one a test has removed, which the shell reports.
  // The caller's is taken back afterwards (or "/"), so that later shells do not find theirs removed.
  char* caller = ::getcwd(nullptr, 0);
  const std::string back = caller != nullptr ? caller : "/";
  std::free(caller);
  if (::chdir(folder.Path().c_str()) != 0) throw std::runtime_error("cannot enter " + folder.Path());
  const std::string command = "heif-enc -q 90 -b " + std::to_string(options.bitDepth) +
                              (options.thumbnail > 0 ? " -t " + std::to_string(options.thumbnail) : std::string()) +
                              " -o out.heic " + in.substr(in.rfind('/') + 1) + " >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  if (::chdir(back.c_str()) != 0 && ::chdir("/") != 0) throw std::runtime_error("cannot leave " + folder.Path());
  if (status != 0) throw std::runtime_error("heif-enc failed: " + command);
  return ReadBytes(out);
}

std::vector<std::uint8_t> WithClaimedHeifSize(std::vector<std::uint8_t> b, std::uint32_t width, std::uint32_t height) {
  // Every image's: heif-enc writes the primary image as a grid of one tile.
  for (std::size_t at = 0; at + 20 <= b.size(); ++at)
    if (std::memcmp(&b[at], "ispe", 4) == 0) {
      Set(b, at + 8, 4, width);
      Set(b, at + 12, 4, height);
    }
  return b;
}

}  // namespace phototrim::testing
