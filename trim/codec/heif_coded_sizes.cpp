// What libheif will hand libde265 or dav1d, checked against the sizes the boxes state.
#include "trim/codec/heif_coded_sizes.h"

#include <algorithm>
#include <deque>
#include <map>
#include <optional>
#include <set>

#include "trim/codec/av1_sequence.h"
#include "trim/codec/hevc_sps.h"
#include "trim/format.h"
#include "trim/messages.h"

namespace phototrim {

namespace {

// The coded size is the picture's padded to the smallest coding block, which is at most 64.
constexpr std::uint64_t kBlock = 64;
// Enough of an SPS or a sequence header to reach its size, even with every sub-layer and operating
// point present and emulation prevention bytes between.
constexpr std::size_t kHeaderPrefix = 512;
// NAL units and OBUs looked at in one file: real pictures have a few per tile; a file of millions
// of empty ones would only cost time.
constexpr int kMaxUnits = 1 << 16;
// hvcC: lengthSizeMinusOne in byte 21, numOfArrays in byte 22; av1C: 4 bytes before configOBUs.
constexpr std::size_t kHvcCLengthSizeAt = 21;
constexpr std::size_t kHvcCArrays = 22;
constexpr std::size_t kAv1CHeader = 4;
// libheif 1.15 hands libde265 the data as NAL units behind 4-byte sizes, whatever hvcC says.
constexpr std::size_t kLibheifNalSizeBytes = 4;
constexpr std::size_t kMaxLeb128Bytes = 8;

// The bytes of an item's extents one after another, read front to back.
class ItemStream {
 public:
  ItemStream(const FileBytes& file, const std::vector<ItemExtent>& extents) : file_(file), extents_(extents) {
    for (const ItemExtent& e : extents) left_ += e.length;
  }
  std::uint64_t Left() const { return left_; }
  // The next `count` bytes, false when there are fewer or they cannot be read.
  bool Read(std::size_t count, std::uint8_t* out) {
    if (count > left_) return false;
    while (count > 0) {
      const ItemExtent& e = extents_[index_];
      const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(count, e.length - within_));
      if (take > 0 && !file_.read(e.offset + within_, take, out)) return false;
      Advance(take);
      out += take;
      count -= take;
    }
    return true;
  }
  void Skip(std::uint64_t count) {
    while (count > 0 && left_ > 0) {
      const std::uint64_t take = std::min(count, extents_[index_].length - within_);
      Advance(take);
      count -= take;
    }
  }

 private:
  void Advance(std::uint64_t count) {
    within_ += count;
    left_ -= count;
    while (index_ < extents_.size() && within_ == extents_[index_].length) ++index_, within_ = 0;
  }
  const FileBytes& file_;
  const std::vector<ItemExtent>& extents_;
  std::size_t index_ = 0;
  std::uint64_t within_ = 0;
  std::uint64_t left_ = 0;
};

FileBytes MemoryBytes(const std::vector<std::uint8_t>& bytes) {
  return {bytes.size(), [&bytes](std::uint64_t at, std::size_t count, std::uint8_t* out) {
            if (at > bytes.size() || count > bytes.size() - at) return false;
            std::copy_n(bytes.begin() + static_cast<long>(at), count, out);
            return true;
          }};
}

std::uint64_t Padded(std::uint32_t side) { return (std::uint64_t{side} + kBlock - 1) / kBlock * kBlock; }

class Checker {
 public:
  Checker(const FileBytes& file, std::uint64_t maxPixels) : file_(file), maxPixels_(maxPixels) {}

  std::string Check(const HeifItems& items) {
    for (const std::uint32_t id : Decoded(items)) {
      const HeifItem* item = items.Find(id);
      if (item == nullptr) return Format(text::kReasonHeifBoxes, "no such item");
      const bool hevc = IsType(item->type, "hvc1"), av1 = IsType(item->type, "av01");
      const bool canvas = IsType(item->type, "grid") || IsType(item->type, "iovl");
      if (!hevc && !av1 && !canvas) continue;  // nothing of its own is allocated by a size
      if (!item->hasSize) return text::kReasonHeifNoSize;
      if (std::uint64_t{item->width} * item->height > maxPixels_)
        return Format(text::kReasonTooManyPixels, item->width, item->height, static_cast<unsigned long long>(maxPixels_));
      if (!item->located) return Format(text::kReasonHeifStream, "iloc");
      // Nothing to decode; and libheif 1.15 hands dav1d the empty data, which dav1d refuses and leaks.
      if (item->extents.empty()) return Format(text::kReasonHeifStream, "no data");
      item_ = item;
      sequence_.reset();
      if (canvas) {
        if (!CheckCanvas(IsType(item->type, "iovl"))) return reason_;
        continue;
      }
      if (item->configs.empty()) return Format(text::kReasonHeifStream, hevc ? "hvcC" : "av1C");
      if (!(hevc ? CheckHevc() : CheckAv1())) return reason_;
    }
    return {};
  }

 private:
  // The primary, what derived images take as input (dimg), and the auxiliary pictures of any of them
  // (auxl: alpha, depth), found until nothing new comes.
  static std::vector<std::uint32_t> Decoded(const HeifItems& items) {
    std::multimap<std::uint32_t, std::uint32_t> inputs, auxiliaries;
    for (const HeifReference& r : items.references) {
      if (IsType(r.type, "dimg")) inputs.emplace(r.from, r.to);
      if (IsType(r.type, "auxl")) auxiliaries.emplace(r.to, r.from);
    }
    std::set<std::uint32_t> seen{items.primary};
    std::deque<std::uint32_t> next{items.primary};
    std::vector<std::uint32_t> order;
    while (!next.empty()) {
      const std::uint32_t id = next.front();
      next.pop_front();
      order.push_back(id);
      for (const auto* links : {&inputs, &auxiliaries})
        for (auto [at, end] = links->equal_range(id); at != end; ++at)
          if (seen.insert(at->second).second) next.push_back(at->second);
    }
    return order;
  }

  bool Fail(const char* what) {
    reason_ = Format(text::kReasonHeifStream, what);
    return false;
  }

  bool Within(const std::optional<CodedSize>& claimed, const char* what) {
    if (!claimed) return Fail(what);
    if (claimed->width <= Padded(item_->width) && claimed->height <= Padded(item_->height)) return true;
    reason_ = Format(text::kReasonHeifCodedSize, static_cast<unsigned long long>(claimed->width),
                     static_cast<unsigned long long>(claimed->height), item_->width, item_->height);
    return false;
  }

  // The first bytes of a unit of `size` bytes, the rest skipped.
  bool Prefix(ItemStream& stream, std::uint64_t size, std::vector<std::uint8_t>& out) {
    out.resize(static_cast<std::size_t>(std::min<std::uint64_t>(size, kHeaderPrefix)));
    if (!stream.Read(out.size(), out.data())) return false;
    stream.Skip(size - out.size());
    return true;
  }

  bool Counted() { return ++units_ <= kMaxUnits || Fail("too many units"); }

  // Every configuration's NAL units, then the item's data: as libheif frames it, and as hvcC says.
  bool CheckHevc() {
    std::set<std::size_t> framings{kLibheifNalSizeBytes};
    for (const std::vector<std::uint8_t>& config : item_->configs) {
      const FileBytes bytes = MemoryBytes(config);
      const std::vector<ItemExtent> whole{{0, config.size()}};
      ItemStream stream(bytes, whole);
      if (!HevcConfig(stream)) return false;
      framings.insert(lengthSize_);
    }
    for (const std::size_t framing : framings) {
      ItemStream data(file_, item_->extents);
      if (!HevcUnits(data, framing)) return false;
    }
    return true;
  }

  // The OBUs after every configuration's header, then the item's data.
  bool CheckAv1() {
    for (const std::vector<std::uint8_t>& config : item_->configs) {
      if (config.size() < kAv1CHeader) return Fail("av1C");
      const FileBytes bytes = MemoryBytes(config);
      const std::vector<ItemExtent> whole{{0, config.size()}};
      ItemStream stream(bytes, whole);
      stream.Skip(kAv1CHeader);
      if (!Av1Units(stream)) return false;
    }
    ItemStream data(file_, item_->extents);
    return Av1Units(data);
  }

  bool HevcNal(ItemStream& stream, std::uint64_t size) {
    if (size > stream.Left()) return Fail("NAL unit size");
    std::vector<std::uint8_t> nal;
    if (!Prefix(stream, size, nal)) return Fail("NAL unit");
    return HevcNalType(nal.data(), nal.size()) != kHevcSpsNalType || Within(HevcSpsSize(nal.data(), nal.size()), "SPS");
  }

  // The NAL arrays of an hvcC payload, and its NAL size length for the item's data.
  bool HevcConfig(ItemStream& stream) {
    std::uint8_t header[kHvcCArrays + 1];
    if (!stream.Read(sizeof header, header)) return Fail("hvcC");
    lengthSize_ = (header[kHvcCLengthSizeAt] & 3) + 1u;
    for (int arrays = header[kHvcCArrays]; arrays > 0; --arrays) {
      std::uint8_t arrayHeader[3];
      if (!stream.Read(sizeof arrayHeader, arrayHeader)) return Fail("hvcC");
      for (int nals = arrayHeader[1] << 8 | arrayHeader[2]; nals > 0; --nals) {
        std::uint8_t size[2];
        if (!Counted() || !stream.Read(2, size)) return Fail("hvcC");
        if (!HevcNal(stream, size[0] << 8 | size[1])) return false;
      }
    }
    return true;
  }

  // An item's data: NAL units, each behind its size in `sizeBytes` bytes.
  bool HevcUnits(ItemStream& stream, std::size_t sizeBytes) {
    while (stream.Left() > 0) {
      std::uint8_t size[kLibheifNalSizeBytes];
      if (!Counted() || !stream.Read(sizeBytes, size)) return Fail("NAL unit size");
      std::uint64_t length = 0;
      for (std::size_t i = 0; i < sizeBytes; ++i) length = length << 8 | size[i];
      if (!HevcNal(stream, length)) return false;
    }
    return true;
  }

  // OBUs, each with its header and (as a HEIF item's must have) its size.
  bool Av1Units(ItemStream& stream) {
    while (stream.Left() > 0) {
      std::uint8_t header[2];
      if (!Counted() || !stream.Read(1, header)) return Fail("OBU");
      if ((header[0] & 4) != 0 && !stream.Read(1, header + 1)) return Fail("OBU");  // obu_extension_flag
      std::uint64_t size = stream.Left();
      if ((header[0] & 2) != 0) {  // obu_has_size_field: leb128
        size = 0;
        std::uint8_t byte = 0x80;
        for (std::size_t i = 0; (byte & 0x80) != 0; ++i) {
          if (i == kMaxLeb128Bytes || !stream.Read(1, &byte)) return Fail("OBU size");
          size |= std::uint64_t{byte & 0x7Fu} << (7 * i);
        }
      }
      if (size > stream.Left()) return Fail("OBU size");
      std::vector<std::uint8_t> payload;
      if (!Prefix(stream, size, payload)) return Fail("OBU");
      const int type = header[0] >> 3 & 15;
      if (type == kAv1SequenceHeaderObu) {
        sequence_ = ReadAv1Sequence(payload.data(), payload.size());
        if (!sequence_) return Fail("sequence header");
        if (!Within(sequence_->largest, "sequence header")) return false;
      }
      // A frame may claim any size its sequence header's field widths allow, beyond the largest.
      const bool frameHeader = type == kAv1FrameHeaderObu || type == kAv1FrameObu || type == kAv1RedundantFrameHeaderObu;
      if (frameHeader && sequence_ && Av1FrameOverridesSize(payload.data(), payload.size(), *sequence_) &&
          !Within(sequence_->widest, "frame header"))
        return false;
    }
    return true;
  }

  // A grid's or overlay's data: version, flags (bit 0: 32-bit sizes), then the canvas size, after
  // rows and columns for a grid and after four 16-bit fill values for an overlay.
  bool CheckCanvas(bool overlay) {
    ItemStream stream(file_, item_->extents);
    std::uint8_t start[2];
    if (!stream.Read(2, start)) return Fail("canvas");
    stream.Skip(overlay ? 8 : 2);
    const std::size_t fieldBytes = (start[1] & 1) != 0 ? 4 : 2;
    std::uint8_t sides[8];
    if (!stream.Read(2 * fieldBytes, sides)) return Fail("canvas");
    std::uint64_t width = 0, height = 0;
    for (std::size_t i = 0; i < fieldBytes; ++i) {
      width = width << 8 | sides[i];
      height = height << 8 | sides[fieldBytes + i];
    }
    if (width <= item_->width && height <= item_->height) return true;
    reason_ = Format(text::kReasonHeifCodedSize, static_cast<unsigned long long>(width),
                     static_cast<unsigned long long>(height), item_->width, item_->height);
    return false;
  }

  const FileBytes& file_;
  std::uint64_t maxPixels_;
  const HeifItem* item_ = nullptr;
  std::size_t lengthSize_ = kLibheifNalSizeBytes;
  std::optional<Av1Sequence> sequence_;  // the last one read: the one a frame header depends on
  int units_ = 0;
  std::string reason_;
};

}  // namespace

std::string CheckCodedSizes(const FileBytes& file, std::uint64_t maxPixels, HeifItems* read) {
  HeifItems items;
  if (const std::string why = ReadHeifItems(file, items); !why.empty()) return Format(text::kReasonHeifBoxes, why.c_str());
  std::string why = Checker(file, maxPixels).Check(items);
  if (read != nullptr) *read = std::move(items);
  return why;
}

}  // namespace phototrim
