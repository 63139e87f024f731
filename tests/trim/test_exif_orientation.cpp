// Tests of the EXIF orientation reader: both byte orders, and blocks damaged in every way we know.
#include "trim/codec/exif_orientation.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "support/picture_files.h"

namespace phototrim {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Entry {
  unsigned tag, type;
  std::uint32_t count, value;
};

// An EXIF payload with IFD0 at `ifdOffset` holding `entries`, written in the chosen byte order;
// `declaredCount` overrides the entry count and `nextIfd` is the link to the next IFD.
Bytes Exif(bool little, const std::vector<Entry>& entries, std::uint32_t ifdOffset = 8, int declaredCount = -1,
           std::uint32_t nextIfd = 0) {
  Bytes b = {'E', 'x', 'i', 'f', 0, 0};
  const auto u16 = [&](unsigned v) {
    if (little) b.insert(b.end(), {std::uint8_t(v), std::uint8_t(v >> 8)});
    else b.insert(b.end(), {std::uint8_t(v >> 8), std::uint8_t(v)});
  };
  const auto u32 = [&](std::uint32_t v) {
    if (little) u16(v & 0xFFFF), u16(v >> 16);
    else u16(v >> 16), u16(v & 0xFFFF);
  };
  b.insert(b.end(), {std::uint8_t(little ? 'I' : 'M'), std::uint8_t(little ? 'I' : 'M')});
  u16(42);
  u32(ifdOffset);
  while (b.size() < 6 + ifdOffset && ifdOffset < 64) b.push_back(0);
  u16(declaredCount >= 0 ? static_cast<unsigned>(declaredCount) : static_cast<unsigned>(entries.size()));
  for (const Entry& e : entries) {
    u16(e.tag);
    u16(e.type);
    u32(e.count);
    if (e.type == 3 && e.count == 1) u16(e.value), u16(0);  // a SHORT sits left-justified
    else u32(e.value);
  }
  u32(nextIfd);
  return b;
}

int Read(const Bytes& b) { return ExifOrientation(b.data(), b.size()); }

TEST(ExifOrientation, ReadsEveryValueInBothByteOrders) {
  for (bool little : {false, true}) {
    for (int value = 1; value <= 8; ++value) {
      EXPECT_EQ(Read(Exif(little, {{0x0112, 3, 1, std::uint32_t(value)}})), value) << little;
      // The factory's blocks, as the load tests write them, agree.
      EXPECT_EQ(Read(testing::ExifWithOrientation(value, little)), value);
    }
  }
}

TEST(ExifOrientation, FindsTheTagAmongOtherEntries) {
  const std::vector<Entry> entries = {{0x010F, 2, 4, 0x41424300}, {0x0110, 2, 4, 0}, {0x0112, 3, 1, 6}, {0x011A, 5, 1, 100}};
  EXPECT_EQ(Read(Exif(false, entries)), 6);
  EXPECT_EQ(Read(Exif(true, entries)), 6);
  // IFD0 further into the block, after unrelated bytes.
  EXPECT_EQ(Read(Exif(true, entries, 40)), 6);
}

TEST(ExifOrientation, AnythingButAnIntactTagIsUpright) {
  EXPECT_EQ(ExifOrientation(nullptr, 0), 1);
  EXPECT_EQ(Read({}), 1);
  EXPECT_EQ(Read(Exif(false, {})), 1);                                   // no entries
  EXPECT_EQ(Read(Exif(false, {{0x0110, 2, 4, 0}})), 1);                  // no orientation
  EXPECT_EQ(Read(Exif(false, {{0x0112, 3, 1, 0}})), 1);                  // below range
  EXPECT_EQ(Read(Exif(false, {{0x0112, 3, 1, 9}})), 1);                  // above range
  EXPECT_EQ(Read(Exif(false, {{0x0112, 4, 1, 6}})), 1);                  // LONG instead of SHORT
  EXPECT_EQ(Read(Exif(false, {{0x0112, 3, 2, 6}})), 1);                  // two values
  EXPECT_EQ(Read(Exif(false, {{0x0112, 3, 0xFFFFFFFF, 6}})), 1);         // a huge count
  Bytes notExif = Exif(false, {{0x0112, 3, 1, 6}});
  notExif[0] = 'X';
  EXPECT_EQ(Read(notExif), 1);
  Bytes badOrder = Exif(false, {{0x0112, 3, 1, 6}});
  badOrder[6] = 'I';  // "IM"
  EXPECT_EQ(Read(badOrder), 1);
  Bytes not42 = Exif(true, {{0x0112, 3, 1, 6}});
  not42[8] = 43;
  EXPECT_EQ(Read(not42), 1);
  const char xmp[] = "http://ns.adobe.com/xap/1.0/";
  EXPECT_EQ(Read(Bytes(xmp, xmp + sizeof xmp)), 1);
}

TEST(ExifOrientation, OffsetsAndCountsBeyondTheBlockAreNotFollowed) {
  const Entry tag{0x0112, 3, 1, 6};
  EXPECT_EQ(Read(Exif(false, {tag}, 0xFFFFFFF0)), 1);  // IFD0 far past the end (and near overflow)
  EXPECT_EQ(Read(Exif(false, {tag}, 4)), 1);           // IFD0 inside the TIFF header
  // A count of 65535 with one real entry: the entries that are there are still read.
  EXPECT_EQ(Read(Exif(true, {tag}, 8, 0xFFFF)), 6);
  EXPECT_EQ(Read(Exif(true, {{0x0110, 2, 4, 0}}, 8, 0xFFFF)), 1);
  // The only next-IFD link points back at IFD0, and a later IFD holds the tag: neither is followed.
  EXPECT_EQ(Read(Exif(false, {{0x0110, 2, 4, 0}}, 8, -1, 8)), 1);
}

TEST(ExifOrientation, EveryCutOfAGoodBlockIsReadSafely) {
  // Run under AddressSanitizer, each prefix is its own allocation, so any read past it is caught.
  for (bool little : {false, true}) {
    const Bytes whole = Exif(little, {{0x0110, 2, 4, 0}, {0x0112, 3, 1, 8}});
    const std::size_t tagEnd = 6 + 8 + 2 + 2 * 12;
    for (std::size_t size = 0; size < whole.size(); ++size) {
      const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
      EXPECT_EQ(Read(cut), size >= tagEnd ? 8 : 1) << size;
    }
  }
}

}  // namespace
}  // namespace phototrim
