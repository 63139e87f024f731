// The high-quality reduction of a whole picture held in memory, with its stop test and kernel set
// given explicitly (the tests and benchmarks drive both).
#pragma once

#include <functional>
#include <string>

#include "trim/bitmap.h"
#include "trim/reduce/reduction_kernels.h"
#include "trim/reduce/reduction_planes.h"

namespace phototrim {

// Reduces `image` (W x H) to w x h, exactly as the integer per-pixel definition gives it. Refuses
// with kReduceRefused, the image untouched and the reason in `errorText`, when the ratios differ,
// the sizes are equal, either picture is larger than 6200 on a side, the reduction is beyond 1/100
// or it would enlarge. `shouldStop` is asked before every band of target rows is averaged (and
// more often when a band reads many source rows) and before every target row is sharpened, and
// stops the reduction with kReduceAborted as soon as it answers true (image then meaningless).
// kOutOfMemory when its work memory cannot be had, kOk when done.
int ReduceHighQualityWith(Bitmap& image, int w, int h, ReductionPlanes& planes, std::string& errorText,
                          const std::function<bool()>& shouldStop, KernelSet kernelSet);

}  // namespace phototrim
