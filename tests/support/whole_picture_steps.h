// The crop and the reductions done on a whole picture held in memory, for the tests and benchmarks:
// the run itself crops in the decoder's window and reduces the rows as they are decoded.
#pragma once

#include <functional>
#include <string>

#include "trim/bitmap.h"
#include "trim/reduce/reduction_kernels.h"
#include "trim/reduce/reduction_planes.h"

namespace phototrim {

// How one of these steps ended.
enum class StepResult {
  Ok,
  Refused,      // the sizes were refused before anything changed
  Aborted,      // the stop test answered true; the picture is meaningless
  OutOfMemory,  // the memory it needed could not be had
};

// Cuts `work` to the centred cw x ch rectangle (left offset (W-cw)/2, top (H-ch)/2, so an odd
// surplus leaves the extra column on the right and row at the bottom). Refused, with nothing
// changed, for a rectangle larger than the picture or than PlaneCapacity on a side.
StepResult CropCentered(Bitmap& work, Bitmap& scratch, int cw, int ch);

// Reduces `work` to exactly tw x th by taking, for each target pixel, the source pixel under its
// centre. Ok, or OutOfMemory when the scratch picture cannot be had.
StepResult ReducePlain(Bitmap& work, Bitmap& scratch, int tw, int th);

// Reduces `image` (W x H) to w x h, exactly as the integer per-pixel definition gives it. Refused,
// with the image untouched and the reason in `errorText`, when the ratios differ,
// the sizes are equal, either picture is larger than 6200 on a side, the reduction is beyond 1/100
// or it would enlarge. `shouldStop` is asked before every band of target rows is averaged (and
// more often when a band reads many source rows) and before every target row is sharpened, and
// stops the reduction with Aborted as soon as it answers true (image then meaningless).
// OutOfMemory when its work memory cannot be had, Ok when done.
StepResult ReduceHighQualityWith(Bitmap& image, int w, int h, ReductionPlanes& planes, std::string& errorText,
                                 const std::function<bool()>& shouldStop, KernelSet kernelSet);

}  // namespace phototrim
