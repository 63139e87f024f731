// The items of a HEIF file as its meta box describes them, read by this program itself, so that what
// libheif will hand a video decoder can be checked before it does.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace phototrim {

// A file's bytes by position: `read` fills `out` with `count` bytes at `at`, false when it cannot.
struct FileBytes {
  std::uint64_t size = 0;
  std::function<bool(std::uint64_t at, std::size_t count, std::uint8_t* out)> read;
};

// One run of an item's data, as a place in the file (data in the meta box's 'idat' is there too).
struct ItemExtent {
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
};

using FourCc = std::array<char, 4>;

struct HeifItem {
  std::uint32_t id = 0;
  FourCc type{};
  bool hasSize = false;  // an 'ispe' property: the picture's size before any transformation
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::vector<std::uint8_t>> configs;  // the payloads of its 'hvcC' or 'av1C' properties
  // Its transformations ('irot', 'imir', 'clap'), each as its type and payload, in the order they
  // apply: two items with the same bytes here are turned, mirrored and cut alike.
  std::vector<std::uint8_t> transforms;
  bool located = false;  // where its data lies is known, in the file, in extents of 1 byte or more
  std::vector<ItemExtent> extents;
};

struct HeifReference {
  FourCc type{};
  std::uint32_t from = 0;
  std::uint32_t to = 0;
};

struct HeifItems {
  std::uint32_t primary = 0;
  std::map<std::uint32_t, HeifItem> items;  // by id
  std::vector<HeifReference> references;

  const HeifItem* Find(std::uint32_t id) const;
};

// Reads the meta box of `file` (std::bad_alloc may come through). An empty string, or what is wrong with the boxes (a box beyond its
// parent or the file, two of a box there must be one of, an item located in a way not read here).
std::string ReadHeifItems(const FileBytes& file, HeifItems& items);

// Whether `code` is the four characters of `name`.
bool IsType(const FourCc& code, const char* name);

}  // namespace phototrim
