// The meta box of a HEIF file: items, their locations, properties and references.
#include "trim/codec/heif_boxes.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace phototrim {

namespace {

// Far beyond any real meta box (a few kilobytes, or a few megabytes with a large colour profile),
// small enough to read into memory at once.
constexpr std::uint64_t kMaxMetaBytes = std::uint64_t{64} << 20;
// Top-level boxes looked at before the meta box is given up for missing: real files have three or four.
constexpr int kMaxTopLevelBoxes = 10000;
constexpr std::size_t kBoxHeader = 8;
constexpr std::size_t kLargeSize = 8;
constexpr std::size_t kUserType = 16;
constexpr std::size_t kFullBoxHeader = 4;  // version and flags
// The transformations kept of one item: a few bytes each, a hostile file may associate many.
constexpr std::size_t kMaxTransformBytes = 256;

// Big-endian fields of a span of memory; reads past its end leave ok false.
class Fields {
 public:
  Fields(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint64_t Read(std::size_t bytes) {
    if (bytes > size_ - at_) {
      ok_ = false;
      at_ = size_;
      return 0;
    }
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < bytes; ++i) value = value << 8 | data_[at_ + i];
    at_ += bytes;
    return value;
  }
  FourCc Type() {
    FourCc code{};
    if (4 > size_ - at_) {
      ok_ = false;
      at_ = size_;
      return code;
    }
    std::memcpy(code.data(), data_ + at_, 4);
    at_ += 4;
    return code;
  }
  bool Ok() const { return ok_; }
  std::size_t At() const { return at_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
  bool ok_ = true;
};

struct Box {
  FourCc type{};
  std::size_t payload = 0;  // where its payload starts, in its parent's span
  std::size_t size = 0;     // the payload's size
};

// The boxes of the span [from, to) of `data`, in order; false when one reaches beyond it.
bool Children(const std::uint8_t* data, std::size_t from, std::size_t to, std::vector<Box>& boxes) {
  for (std::size_t at = from; at < to;) {
    Fields f(data + at, to - at);
    std::uint64_t size = f.Read(4);
    const FourCc type = f.Type();
    if (size == 1) size = f.Read(kLargeSize);
    if (size == 0) size = to - at;  // to the end of the parent
    if (IsType(type, "uuid")) f.Read(kUserType);
    if (!f.Ok() || size < f.At() || size > to - at) return false;
    boxes.push_back({type, at + f.At(), static_cast<std::size_t>(size) - f.At()});
    at += static_cast<std::size_t>(size);
  }
  return true;
}

// The one child of `type`, or nullptr; `twice` is set when there are more.
const Box* OnlyChild(const std::vector<Box>& boxes, const char* type, bool& twice) {
  const Box* found = nullptr;
  for (const Box& box : boxes)
    if (IsType(box.type, type)) {
      if (found != nullptr) twice = true;
      found = &box;
    }
  return found;
}

HeifItem& ItemOf(std::map<std::uint32_t, HeifItem>& items, std::uint32_t id) {
  HeifItem& item = items[id];
  item.id = id;
  return item;
}

bool ReadPrimary(const std::uint8_t* p, const Box& box, HeifItems& out) {
  Fields f(p + box.payload, box.size);
  const std::uint64_t version = f.Read(1);
  f.Read(3);
  out.primary = static_cast<std::uint32_t>(f.Read(version == 0 ? 2 : 4));
  return f.Ok();
}

bool ReadInfos(const std::uint8_t* p, const Box& box, HeifItems& out) {
  Fields f(p + box.payload, box.size);
  const std::uint64_t version = f.Read(1);
  f.Read(3);
  f.Read(version == 0 ? 2 : 4);  // entry_count: the boxes themselves are counted instead
  std::vector<Box> entries;
  if (!f.Ok() || !Children(p, box.payload + f.At(), box.payload + box.size, entries)) return false;
  for (const Box& entry : entries) {
    if (!IsType(entry.type, "infe")) continue;
    Fields e(p + entry.payload, entry.size);
    const std::uint64_t entryVersion = e.Read(1);
    e.Read(3);
    if (entryVersion < 2) continue;  // no item type: nothing a decoder is given
    const auto id = static_cast<std::uint32_t>(e.Read(entryVersion == 2 ? 2 : 4));
    e.Read(2);  // item_protection_index
    const FourCc type = e.Type();
    if (!e.Ok()) return false;
    HeifItem& item = ItemOf(out.items, id);
    if (item.type != FourCc{}) return false;  // one item, two types
    item.type = type;
  }
  return true;
}

// Where each item's data lies. `idat` is the payload of the meta box's 'idat' in the file, if any.
bool ReadLocations(const std::uint8_t* p, const Box& box, const ItemExtent& idat, bool hasIdat, std::uint64_t fileSize,
                   HeifItems& out) {
  Fields f(p + box.payload, box.size);
  const std::uint64_t version = f.Read(1);
  f.Read(3);
  if (version > 2) return false;
  const std::uint64_t sizes = f.Read(2);
  const std::size_t offsetSize = sizes >> 12 & 15, lengthSize = sizes >> 8 & 15, baseSize = sizes >> 4 & 15,
                    indexSize = version >= 1 ? sizes & 15 : 0;
  for (const std::size_t size : {offsetSize, lengthSize, baseSize, indexSize})
    if (size != 0 && size != 4 && size != 8) return false;
  const std::uint64_t count = f.Read(version < 2 ? 2 : 4);
  std::set<std::uint32_t> seen;
  for (std::uint64_t i = 0; i < count && f.Ok(); ++i) {
    const auto id = static_cast<std::uint32_t>(f.Read(version < 2 ? 2 : 4));
    const std::uint64_t method = version >= 1 ? f.Read(2) & 15 : 0;
    f.Read(2);  // data_reference_index
    const std::uint64_t base = f.Read(baseSize);
    const std::uint64_t extents = f.Read(2);
    if (!seen.insert(id).second) return false;  // located twice
    HeifItem& item = ItemOf(out.items, id);
    // Method 0: offsets in the file; 1: in the idat box; 2 (in another item) is not read here.
    item.located = method == 0 || (method == 1 && hasIdat);
    const std::uint64_t space = method == 0 ? fileSize : idat.length;
    for (std::uint64_t e = 0; e < extents && f.Ok(); ++e) {
      f.Read(indexSize);
      const std::uint64_t offset = f.Read(offsetSize);
      const std::uint64_t length = f.Read(lengthSize);
      if (!item.located) continue;
      // Offsets past the space they point into, and sums that wrap, leave the item unlocated.
      if (base > space || offset > space - base) {
        item.located = false;
        continue;
      }
      const std::uint64_t start = base + offset;
      // Length 0 means the rest of the space, but libheif 1.15 reads nothing there: no picture either way.
      if (length == 0 || length > space - start) {
        item.located = false;
        continue;
      }
      item.extents.push_back({(method == 1 ? idat.offset : 0) + start, length});
    }
  }
  return f.Ok();
}

bool ReadProperties(const std::uint8_t* p, const Box& box, HeifItems& out) {
  std::vector<Box> children;
  if (!Children(p, box.payload, box.payload + box.size, children)) return false;
  bool twice = false;
  const Box* ipco = OnlyChild(children, "ipco", twice);
  if (ipco == nullptr || twice) return false;
  std::vector<Box> properties;
  if (!Children(p, ipco->payload, ipco->payload + ipco->size, properties)) return false;
  // Every 'ipma' box's associations, in order (an item's first 'ispe' is the one libheif takes too).
  for (const Box& ipma : children) {
    if (!IsType(ipma.type, "ipma")) continue;
    Fields f(p + ipma.payload, ipma.size);
    const std::uint64_t version = f.Read(1);
    const std::uint64_t flags = f.Read(3);
    const std::uint64_t entries = f.Read(4);
    for (std::uint64_t i = 0; i < entries && f.Ok(); ++i) {
      const auto id = static_cast<std::uint32_t>(f.Read(version < 1 ? 2 : 4));
      const std::uint64_t count = f.Read(1);
      for (std::uint64_t a = 0; a < count && f.Ok(); ++a) {
        const std::uint64_t index = f.Read((flags & 1) != 0 ? 2 : 1) & ((flags & 1) != 0 ? 0x7FFF : 0x7F);
        if (!f.Ok()) return false;
        if (index == 0 || index > properties.size()) continue;  // no property
        const Box& property = properties[index - 1];
        HeifItem& item = ItemOf(out.items, id);
        if (IsType(property.type, "ispe") && !item.hasSize) {
          Fields s(p + property.payload, property.size);
          s.Read(kFullBoxHeader);
          item.width = static_cast<std::uint32_t>(s.Read(4));
          item.height = static_cast<std::uint32_t>(s.Read(4));
          if (!s.Ok()) return false;
          item.hasSize = true;
        } else if (IsType(property.type, "hvcC") || IsType(property.type, "av1C")) {
          item.configs.emplace_back(p + property.payload, p + property.payload + property.size);
        } else if ((IsType(property.type, "irot") || IsType(property.type, "imir") || IsType(property.type, "clap")) &&
                   item.transforms.size() < kMaxTransformBytes) {
          item.transforms.insert(item.transforms.end(), property.type.begin(), property.type.end());
          item.transforms.insert(item.transforms.end(), p + property.payload,
                                 p + property.payload + std::min<std::uint64_t>(property.size, kMaxTransformBytes));
        }
      }
    }
    if (!f.Ok()) return false;
  }
  return true;
}

bool ReadReferences(const std::uint8_t* p, const Box& box, HeifItems& out) {
  Fields f(p + box.payload, box.size);
  const std::uint64_t version = f.Read(1);
  f.Read(3);
  std::vector<Box> kinds;
  if (!f.Ok() || !Children(p, box.payload + f.At(), box.payload + box.size, kinds)) return false;
  const std::size_t idBytes = version == 0 ? 2 : 4;
  for (const Box& kind : kinds) {
    Fields r(p + kind.payload, kind.size);
    const auto from = static_cast<std::uint32_t>(r.Read(idBytes));
    const std::uint64_t count = r.Read(2);
    for (std::uint64_t i = 0; i < count && r.Ok(); ++i) {
      const auto to = static_cast<std::uint32_t>(r.Read(idBytes));
      if (r.Ok()) out.references.push_back({kind.type, from, to});
    }
    if (!r.Ok()) return false;
  }
  return true;
}

// The first meta box at the top of the file, read whole; false when there is none or it is unreadable.
bool ReadMeta(const FileBytes& file, std::vector<std::uint8_t>& meta, std::uint64_t& metaAt, std::string& why) {
  std::uint64_t at = 0;
  bool found = false;
  std::uint64_t foundAt = 0, foundSize = 0;
  for (int boxes = 0; at < file.size; ++boxes) {
    if (boxes == kMaxTopLevelBoxes) return why = "too many boxes", false;
    std::uint8_t header[kBoxHeader + kLargeSize];
    const std::size_t got = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof header, file.size - at));
    if (got < kBoxHeader) break;  // a few bytes after the last box: nothing libheif reads
    if (!file.read(at, got, header)) return why = "box header", false;
    Fields f(header, got);
    std::uint64_t size = f.Read(4);
    const FourCc type = f.Type();
    if (size == 1) size = f.Read(kLargeSize);
    if (size == 0) size = file.size - at;
    if (!f.Ok() || size < f.At()) return why = "box size", false;
    // A box cut short ends the walk (a truncated mdat is libheif's to judge), unless it is the meta box.
    if (size > file.size - at) {
      if (IsType(type, "meta")) return why = "meta box beyond the file", false;
      break;
    }
    if (IsType(type, "meta")) {
      if (found) return why = "two meta boxes", false;
      found = true;
      foundAt = at + f.At();
      foundSize = size - f.At();
    }
    at += size;
  }
  if (!found) return why = "no meta box", false;
  if (foundSize < kFullBoxHeader) return why = "meta box", false;
  if (foundSize > kMaxMetaBytes) return why = "meta box too large", false;
  meta.resize(static_cast<std::size_t>(foundSize));
  if (!file.read(foundAt, meta.size(), meta.data())) return why = "meta box", false;
  metaAt = foundAt;
  return true;
}

}  // namespace

bool IsType(const FourCc& code, const char* name) { return std::memcmp(code.data(), name, 4) == 0; }

const HeifItem* HeifItems::Find(std::uint32_t id) const {
  const auto found = items.find(id);
  return found == items.end() ? nullptr : &found->second;
}

std::string ReadHeifItems(const FileBytes& file, HeifItems& out) {
  std::vector<std::uint8_t> meta;
  std::uint64_t metaAt = 0;
  std::string why;
  if (!ReadMeta(file, meta, metaAt, why)) return why;
  const std::uint8_t* p = meta.data();
  std::vector<Box> boxes;
  if (!Children(p, kFullBoxHeader, meta.size(), boxes)) return "meta box";
  bool twice = false;
  const Box* pitm = OnlyChild(boxes, "pitm", twice);
  const Box* iinf = OnlyChild(boxes, "iinf", twice);
  const Box* iloc = OnlyChild(boxes, "iloc", twice);
  const Box* iprp = OnlyChild(boxes, "iprp", twice);
  const Box* iref = OnlyChild(boxes, "iref", twice);
  const Box* idat = OnlyChild(boxes, "idat", twice);
  if (twice) return "a box twice in the meta box";
  if (pitm == nullptr || iinf == nullptr || iloc == nullptr || iprp == nullptr) return "a box missing in the meta box";
  const ItemExtent idatPlace = idat != nullptr ? ItemExtent{metaAt + idat->payload, idat->size} : ItemExtent{};
  if (!ReadPrimary(p, *pitm, out)) return "pitm";
  if (!ReadInfos(p, *iinf, out)) return "iinf";
  if (!ReadLocations(p, *iloc, idatPlace, idat != nullptr, file.size, out)) return "iloc";
  if (!ReadProperties(p, *iprp, out)) return "iprp";
  if (iref != nullptr && !ReadReferences(p, *iref, out)) return "iref";
  return {};
}

}  // namespace phototrim
