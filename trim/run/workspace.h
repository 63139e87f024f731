// The working state that a batch run and its operations share, owned by the host for its whole life.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "trim/bitmap.h"
#include "trim/collect/collect_jpeg_files.h"
#include "trim/run/event_pump.h"
#include "trim/run/picture_memory.h"
#include "trim/save/file_calls.h"
#include "trim/save/folder_flushes.h"
#include "trim/save/leftover_sweep.h"
#include "trim/reduce/reduction_planes.h"

namespace phototrim {

struct Workspace {
  Bitmap WorkBitmap;      // the picture of the current file: decoded, cropped, reduced, saved
  Bitmap ScratchBitmap;   // second picture used by the crop and the reductions
  ReductionPlanes Planes; // work memory of the high-quality reduction
  std::vector<std::uint8_t> ColorProfile;  // the RGB ICC profile of the current picture, if any
  std::vector<std::uint8_t> InputExif;     // the current input's Exif block (TIFF header on), if any
  std::string ErrorText;  // why the high-quality reduction refused
  bool AbortRequested = false;  // set by the host's Abort, and by a question answered はい
  // How often long computations let the host's events run (tests use zero: at every chance).
  EventPump::Clock::duration PumpSlice = EventPump::kSlice;

  FolderCounters Counters;  // filled by CollectJpegFiles, for the run and the folder statistics
  LeftoverSweeps Sweeps;    // output folders searched for leftover temporary files, and when
  FolderFlushes Flushes;    // output folders with new entries, flushed to disk before the run's final text
  const FileCalls* Calls = nullptr;  // the calls output files are written with; the system's when null

  Workspace() {
    KeepMemoryBetweenPictures();
    WorkBitmap.Reset(10, 10);
    ScratchBitmap.Reset(10, 10);
  }
};

}  // namespace phototrim
