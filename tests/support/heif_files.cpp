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

// Where the boxes of the file lie: each item's location fields in 'iloc' (version 0 or 1, as heif-enc
// writes it), for the edits that move data.
struct Extent {
  std::uint32_t item;
  bool inFile;                // construction method 0
  std::size_t base, offset, length;  // field positions (base: 0 when there is no base field)
  int baseSize, offsetSize, lengthSize;
};

std::vector<Extent> Extents(const std::vector<std::uint8_t>& b) {
  const std::size_t meta = FindBox(b, 0, b.size(), "meta"), metaEnd = meta + Get(b, meta, 4);
  const std::size_t iloc = FindBox(b, meta + 12, metaEnd, "iloc");
  const int version = b[iloc + 8], offsetSize = b[iloc + 12] >> 4, lengthSize = b[iloc + 12] & 15,
            baseSize = b[iloc + 13] >> 4, indexSize = version >= 1 ? b[iloc + 13] & 15 : 0;
  std::vector<Extent> extents;
  std::size_t at = iloc + 16;
  for (std::uint32_t items = Get(b, iloc + 14, 2); items > 0; --items) {
    const std::uint32_t item = Get(b, at, 2);
    const bool inFile = version == 0 || (Get(b, at + 2, 2) & 15) == 0;
    at += 2 + (version >= 1 ? 2 : 0) + 2;
    const std::size_t base = baseSize > 0 ? at : 0;
    at += static_cast<std::size_t>(baseSize);
    std::uint32_t count = Get(b, at, 2);
    for (at += 2; count > 0; --count) {
      at += static_cast<std::size_t>(indexSize);
      extents.push_back({item, inFile, base, at, at + static_cast<std::size_t>(offsetSize), baseSize, offsetSize, lengthSize});
      at += static_cast<std::size_t>(offsetSize + lengthSize);
    }
  }
  return extents;
}

std::size_t Start(const std::vector<std::uint8_t>& b, const Extent& e) {
  return (e.baseSize > 0 ? Get(b, e.base, e.baseSize) : 0) + Get(b, e.offset, e.offsetSize);
}

// The first extent of the first item of `type` ("hvc1" or "av01").
Extent FirstExtentOf(const std::vector<std::uint8_t>& b, const char* type) {
  // infe version 2: its id, protection index, type and an empty name.
  const std::uint32_t item = Get(b, std::string(b.begin(), b.end()).find(std::string(type) + '\0') - 4, 2);
  for (const Extent& e : Extents(b))
    if (e.item == item) return e;
  throw std::runtime_error("no extent");
}

// `inserted` put at `at` in place of `removed` bytes: the boxes around grow, the data after moves,
// the item extent it falls in grows. Top-level boxes and meta > iprp > ipco > property are followed.
std::vector<std::uint8_t> Spliced(std::vector<std::uint8_t> b, std::size_t at, std::size_t removed,
                                  const std::vector<std::uint8_t>& inserted) {
  const long delta = static_cast<long>(inserted.size()) - static_cast<long>(removed);
  std::vector<std::size_t> around;
  std::size_t from = 0, to = b.size();
  for (;;) {
    std::size_t box = from;
    while (box + 8 <= to && !(box <= at && at < box + Get(b, box, 4))) box += Get(b, box, 4);
    if (box + 8 > to) break;
    around.push_back(box);
    const std::string type(b.begin() + long(box) + 4, b.begin() + long(box) + 8);
    if (type != "meta" && type != "iprp" && type != "ipco") break;
    from = box + (type == "meta" ? 12 : 8), to = box + Get(b, box, 4);
  }
  const std::vector<Extent> extents = Extents(b);
  std::vector<std::pair<std::size_t, std::size_t>> starts;
  for (const Extent& e : extents) starts.emplace_back(Start(b, e), Get(b, e.length, e.lengthSize));
  b.erase(b.begin() + long(at), b.begin() + long(at + removed));
  b.insert(b.begin() + long(at), inserted.begin(), inserted.end());
  for (const std::size_t box : around) Set(b, box, 4, static_cast<std::uint32_t>(long(Get(b, box, 4)) + delta));
  // iloc lies before the splice (in the meta box, before iprp, or before the data): its fields stay put.
  for (std::size_t i = 0; i < extents.size(); ++i) {
    const Extent& e = extents[i];
    const auto [start, length] = starts[i];
    if (!e.inFile) continue;
    if (start <= at && at < start + length) {
      Set(b, e.length, e.lengthSize, static_cast<std::uint32_t>(long(length) + delta));
    } else if (start > at) {
      const std::size_t field = e.baseSize > 0 && Get(b, e.base, e.baseSize) > 0 ? e.base : e.offset;
      const int size = field == e.base ? e.baseSize : e.offsetSize;
      Set(b, field, size, static_cast<std::uint32_t>(long(Get(b, field, size)) + delta));
    }
  }
  return b;
}

// Bits, most significant first, for rewriting stream headers.
struct BitString {
  std::vector<bool> bits;
  void Put(std::uint64_t value, int count) {
    for (int i = count - 1; i >= 0; --i) bits.push_back((value >> i & 1) != 0);
  }
  void Golomb(std::uint64_t value) {
    int length = 0;
    while ((value + 1) >> (length + 1) != 0) ++length;
    Put(0, length);
    Put(value + 1, length + 1);
  }
  static BitString Of(const std::vector<std::uint8_t>& bytes) {
    BitString s;
    for (const std::uint8_t byte : bytes) s.Put(byte, 8);
    return s;
  }
  // From `from` to the stop bit, then the stop bit and zeros to a whole byte.
  void AppendTail(const BitString& other, std::size_t from) {
    std::size_t end = other.bits.size();
    while (end > from && !other.bits[end - 1]) --end;
    bits.insert(bits.end(), other.bits.begin() + long(from), other.bits.begin() + long(end));
    while (bits.size() % 8 != 0) bits.push_back(false);
  }
  std::vector<std::uint8_t> Bytes() const {
    std::vector<std::uint8_t> out(bits.size() / 8);
    for (std::size_t i = 0; i < bits.size(); ++i) out[i / 8] = static_cast<std::uint8_t>(out[i / 8] | bits[i] << (7 - i % 8));
    return out;
  }
};

std::uint64_t ReadGolomb(const BitString& s, std::size_t& at) {
  int zeros = 0;
  while (!s.bits[at++]) ++zeros;
  std::uint64_t value = 1;
  for (int i = 0; i < zeros; ++i) value = value << 1 | s.bits[at++];
  return value - 1;
}

// An SPS NAL unit (header, then the escaped payload) claiming another size; no sub-layers, as x265 writes it.
std::vector<std::uint8_t> ResizedSps(const std::vector<std::uint8_t>& nal, std::uint32_t width, std::uint32_t height) {
  std::vector<std::uint8_t> rbsp;
  for (std::size_t i = 2, zeros = 0; i < nal.size(); ++i) {
    if (zeros >= 2 && nal[i] == 3) {
      zeros = 0;
      continue;
    }
    rbsp.push_back(nal[i]);
    zeros = nal[i] == 0 ? zeros + 1 : 0;
  }
  const BitString old = BitString::Of(rbsp);
  std::size_t at = 4 + 3 + 1 + 96;  // ids, sub-layers (0), nesting, profile_tier_level
  BitString s;
  ReadGolomb(old, at);  // sps_seq_parameter_set_id
  if (ReadGolomb(old, at) == 3) ++at;
  s.bits.assign(old.bits.begin(), old.bits.begin() + long(at));
  ReadGolomb(old, at);
  ReadGolomb(old, at);
  s.Golomb(width);
  s.Golomb(height);
  s.AppendTail(old, at);
  std::vector<std::uint8_t> out(nal.begin(), nal.begin() + 2);
  int zeros = 0;
  for (const std::uint8_t byte : s.Bytes()) {
    if (zeros >= 2 && byte <= 3) out.push_back(3), zeros = 0;
    out.push_back(byte);
    zeros = byte == 0 ? zeros + 1 : 0;
  }
  return out;
}

}  // namespace

std::vector<std::uint8_t> WithRotation(std::vector<std::uint8_t> heif, int quarterTurns, bool thumbnailToo) {
  const std::vector<std::uint8_t> irot = {0, 0, 0, 9, 'i', 'r', 'o', 't', static_cast<std::uint8_t>(quarterTurns & 3)};
  const std::size_t thumbnail = thumbnailToo ? ThumbnailItem(heif) : 0;
  heif = WithProperty(std::move(heif), irot, true);
  return thumbnail != 0 ? WithProperty(std::move(heif), irot, true, thumbnail) : heif;
}

std::vector<std::uint8_t> WithNclx(std::vector<std::uint8_t> heif, int primaries, int transfer, int matrix) {
  return WithProperty(std::move(heif),
                      {0, 0, 0, 19, 'c', 'o', 'l', 'r', 'n', 'c', 'l', 'x', 0, static_cast<std::uint8_t>(primaries), 0,
                       static_cast<std::uint8_t>(transfer), 0, static_cast<std::uint8_t>(matrix), 0x80},
                      false);
}

std::vector<std::uint8_t> MakeHeif(const Bitmap& picture, const HeifOptions& options) {
  TestFolder folder;
  const bool png = options.alpha || options.bitDepth > 8;
  const std::string in = folder / (png ? "in.png" : "in.jpg"), out = folder / (options.avif ? "out.avif" : "out.heic");
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
                              (options.avif ? " -A -o out.avif " : " -o out.heic ") + in.substr(in.rfind('/') + 1) +
                              " >/dev/null 2>&1";
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

std::vector<std::uint8_t> WithHevcSize(std::vector<std::uint8_t> b, std::uint32_t width, std::uint32_t height, bool inBand) {
  const std::size_t hvcC = std::string(b.begin(), b.end()).find("hvcC") - 4;
  // The NAL arrays after 23 bytes: each its type, a count, then each NAL unit behind a 2-byte size.
  std::size_t at = hvcC + 8 + 23;
  for (int arrays = b[hvcC + 8 + 22]; arrays > 0; --arrays) {
    const int type = b[at] & 0x3F;
    std::uint32_t count = Get(b, at + 1, 2);
    for (at += 3; count > 0; --count) {
      const std::size_t size = Get(b, at, 2);
      if (type == 33) {
        const std::vector<std::uint8_t> sps = ResizedSps({b.begin() + long(at) + 2, b.begin() + long(at + 2 + size)}, width, height);
        if (inBand) {
          const std::size_t data = Start(b, FirstExtentOf(b, "hvc1"));
          std::vector<std::uint8_t> unit;
          Put32(unit, static_cast<std::uint32_t>(sps.size()));
          unit.insert(unit.end(), sps.begin(), sps.end());
          return Spliced(std::move(b), data, 0, unit);
        }
        Set(b, at, 2, static_cast<std::uint32_t>(sps.size()));
        return Spliced(std::move(b), at + 2, size, sps);
      }
      at += 2 + size;
    }
  }
  throw std::runtime_error("no SPS");
}

std::vector<std::uint8_t> WithAv1Size(std::vector<std::uint8_t> b, std::uint32_t width, std::uint32_t height) {
  // The OBUs of the item's data, each with a one-byte header and a size (one byte, below 128, here).
  for (std::size_t at = Start(b, FirstExtentOf(b, "av01"));; at += 2 + b[at + 1]) {
    if ((b[at] >> 3 & 15) != 1) continue;
    std::vector<std::uint8_t> payload(b[at + 1]);
    std::memcpy(payload.data(), &b[at + 2], payload.size());
    const BitString old = BitString::Of(payload);
    // A reduced still-picture header, as libaom writes it: profile, flags and level in 10 bits.
    const std::size_t widthBits = old.Bytes()[1] >> 2 & 15, heightBits = (old.Bytes()[1] & 3) << 2 | old.Bytes()[2] >> 6;
    BitString s;
    s.bits.assign(old.bits.begin(), old.bits.begin() + 10);
    s.Put(15, 4);
    s.Put(15, 4);
    s.Put(width - 1, 16);
    s.Put(height - 1, 16);
    s.AppendTail(old, 18 + widthBits + 1 + heightBits + 1);
    std::vector<std::uint8_t> obu = s.Bytes();
    obu.insert(obu.begin(), static_cast<std::uint8_t>(obu.size()));
    return Spliced(std::move(b), at + 1, 1 + b[at + 1], obu);
  }
}

std::vector<std::uint8_t> WithItemLength(std::vector<std::uint8_t> b, std::uint64_t length) {
  const std::string text(b.begin(), b.end());
  const Extent e = FirstExtentOf(b, text.find("hvc1") != std::string::npos ? "hvc1" : "av01");
  Set(b, e.length, e.lengthSize, static_cast<std::uint32_t>(length));
  return b;
}

std::vector<std::uint8_t> WithGridSize(std::vector<std::uint8_t> b, std::uint16_t width, std::uint16_t height) {
  // idat holds the grid: version, flags, rows - 1, columns - 1, then the canvas size.
  const std::size_t idat = std::string(b.begin(), b.end()).find("idat") + 4;
  Set(b, idat + 4, 2, width);
  Set(b, idat + 6, 2, height);
  return b;
}

}  // namespace phototrim::testing
