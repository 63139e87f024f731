// The working state that a batch run and its operations share, owned by the host for its whole life.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "trim/bitmap.h"
#include "trim/reduction_planes.h"

namespace phototrim {

struct Workspace {
  Bitmap WorkBitmap;      // the picture of the current file: decoded, cropped, reduced, saved
  Bitmap ScratchBitmap;   // second picture used by the crop and the reductions
  ReductionPlanes Planes; // work memory of the high-quality reduction
  std::vector<std::uint8_t> ColorProfile;  // the RGB ICC profile of the current picture, if any
  std::string ErrorText;  // why the high-quality reduction refused
  bool AbortRequested = false;  // set by the host's Abort, and by a question answered はい

  // Folder counters, filled by CollectJpegFiles.
  int SubfolderCount = 0;
  int FileCount = 0;
  int JpegFileCount = 0;

  Workspace() {
    WorkBitmap.Reset(10, 10);
    ScratchBitmap.Reset(10, 10);
  }
};

}  // namespace phototrim
