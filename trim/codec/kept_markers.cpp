// Reads APP1 and APP2 segments, keeping only those the decoder uses in libjpeg's marker list.
#include "trim/codec/kept_markers.h"

#include <algorithm>
#include <cstring>

#include <jerror.h>

#include "trim/codec/jpeg_errors.h"
#include "trim/load_result.h"

namespace phototrim {

namespace {

constexpr char kExifHead[] = "Exif\0\0";            // 6 bytes
constexpr char kIccHead[] = "ICC_PROFILE";          // 12 bytes with its terminating zero
constexpr unsigned kHeadBytes = 14;                 // the ICC head and its two chunk numbers
constexpr int kMaxIccChunks = 255;                  // a chunk number is one byte, from 1

JOCTET NextByte(j_decompress_ptr cinfo) {
  jpeg_source_mgr& source = *cinfo->src;
  if (source.bytes_in_buffer == 0 && !(*source.fill_input_buffer)(cinfo))
    FailJpeg(reinterpret_cast<j_common_ptr>(cinfo), LoadResult::Failed, nullptr);  // our sources never suspend
  --source.bytes_in_buffer;
  return *source.next_input_byte++;
}

bool Starts(const JOCTET* data, unsigned length, const char* head, unsigned headLength) {
  return length >= headLength && std::memcmp(data, head, headLength) == 0;
}

bool IsExif(const JOCTET* data, unsigned length) { return Starts(data, length, kExifHead, 6); }
bool IsIccChunk(const JOCTET* data, unsigned length) { return Starts(data, length, kIccHead, 12); }

bool Wanted(j_decompress_ptr cinfo, int code, const JOCTET* head, unsigned headLength) {
  int exifBlocks = 0, iccChunks = 0;
  for (jpeg_saved_marker_ptr kept = cinfo->marker_list; kept != nullptr; kept = kept->next) {
    exifBlocks += kept->marker == JPEG_APP0 + 1 && IsExif(kept->data, kept->data_length);
    iccChunks += kept->marker == JPEG_APP0 + 2 && IsIccChunk(kept->data, kept->data_length);
  }
  if (code == JPEG_APP0 + 1) return exifBlocks == 0 && IsExif(head, headLength);
  return iccChunks < kMaxIccChunks && IsIccChunk(head, headLength);
}

boolean KeepOrSkip(j_decompress_ptr cinfo) {
  unsigned length = static_cast<unsigned>(NextByte(cinfo)) << 8;
  length += NextByte(cinfo);
  if (length < 2) ERREXIT(cinfo, JERR_BAD_LENGTH);
  length -= 2;  // the length counts its own two bytes
  JOCTET head[kHeadBytes];
  const unsigned headLength = std::min(length, kHeadBytes);
  for (unsigned i = 0; i < headLength; ++i) head[i] = NextByte(cinfo);
  const int code = cinfo->unread_marker;
  if (!Wanted(cinfo, code, head, headLength)) {
    if (length > headLength) (*cinfo->src->skip_input_data)(cinfo, static_cast<long>(length - headLength));
    return TRUE;
  }
  // Kept as libjpeg keeps a saved marker: in the picture's pool, at the end of the list.
  auto* kept = static_cast<jpeg_saved_marker_ptr>((*cinfo->mem->alloc_large)(
      reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, sizeof(jpeg_marker_struct) + length));
  kept->next = nullptr;
  kept->marker = static_cast<UINT8>(code);
  kept->original_length = length;
  kept->data_length = length;
  kept->data = reinterpret_cast<JOCTET*>(kept + 1);
  std::memcpy(kept->data, head, headLength);
  for (unsigned i = headLength; i < length; ++i) kept->data[i] = NextByte(cinfo);
  jpeg_saved_marker_ptr* tail = &cinfo->marker_list;
  while (*tail != nullptr) tail = &(*tail)->next;
  *tail = kept;
  return TRUE;
}

}  // namespace

void KeepOnlyUsedMarkers(j_decompress_ptr cinfo) {
  jpeg_set_marker_processor(cinfo, JPEG_APP0 + 1, KeepOrSkip);
  jpeg_set_marker_processor(cinfo, JPEG_APP0 + 2, KeepOrSkip);
}

}  // namespace phototrim
