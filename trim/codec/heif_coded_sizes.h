// The check that keeps a HEIF decompression bomb from the video decoder: a file whose coded stream
// claims a larger picture than its boxes state is refused before libheif decodes anything.
#pragma once

#include <cstdint>
#include <string>

#include "trim/codec/heif_boxes.h"

namespace phototrim {

// Every picture libheif may decode for the primary image (the primary, the tiles and inputs of derived
// images, auxiliary pictures such as its alpha): each states its size ('ispe'), within `maxPixels`;
// no HEVC SPS or AV1 sequence header in its configuration or its data claims more than that size
// padded to whole 64-sample blocks; a grid or overlay canvas is no larger than its 'ispe'.
// An empty string when the file passes, otherwise why it does not (std::bad_alloc may come through).
// `read`, when given, receives the items as read.
std::string CheckCodedSizes(const FileBytes& file, std::uint64_t maxPixels, HeifItems* read = nullptr);

}  // namespace phototrim
