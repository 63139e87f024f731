// The working state that a batch run and its operations share, owned by the host for its whole life.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "trim/bitmap.h"
#include "trim/collect/collect_jpeg_files.h"
#include "trim/run/event_pump.h"
#include "trim/save/file_writer.h"
#include "trim/reduce/reduction_planes.h"

namespace phototrim {

struct Workspace {
  Bitmap WorkBitmap;      // the picture of the current file: decoded, cropped, reduced, saved
  Bitmap ScratchBitmap;   // second picture used by the crop and the reductions
  ReductionPlanes Planes; // work memory of the high-quality reduction
  std::vector<std::uint8_t> ColorProfile;  // the RGB ICC profile of the current picture, if any
  std::string ErrorText;  // why the high-quality reduction refused
  bool AbortRequested = false;  // set by the host's Abort, and by a question answered はい
  // How often long computations let the host's events run (tests use zero: at every chance).
  EventPump::Clock::duration PumpSlice = EventPump::kSlice;

  FolderCounters Counters;  // filled by CollectJpegFiles, for the run and the folder statistics
  LeftoverSweeps Sweeps;    // output folders searched for leftover temporary files, and when

  Workspace() {
    WorkBitmap.Reset(10, 10);
    ScratchBitmap.Reset(10, 10);
  }
};

}  // namespace phototrim
