// Which APP1 and APP2 segments a decode keeps: the first Exif block and the ICC profile's chunks.
#pragma once

#include <cstdio>  // jpeglib.h needs FILE and size_t declared first

#include <jpeglib.h>

namespace phototrim {

// Makes libjpeg keep, in cinfo->marker_list, the first APP1 segment that holds Exif and at most 255
// APP2 segments that hold ICC profile chunks (a profile has at most 255), each whole; every other
// APP1 and APP2 segment is read past without being stored. A file of nothing but markers thus
// costs at most about 16 MB, not its own size. For sources that never suspend (ours); to be called
// before jpeg_read_header, in place of jpeg_save_markers for these two codes.
void KeepOnlyUsedMarkers(j_decompress_ptr cinfo);

}  // namespace phototrim
