// ReduceHighQuality with its stop test and kernel set given explicitly (the tests drive both).
#pragma once

#include <functional>
#include <string>

#include "trim/bitmap.h"
#include "trim/reduce/reduction_kernels.h"
#include "trim/reduce/reduction_planes.h"

namespace phototrim {

// As ReduceHighQuality; `shouldStop` is asked before every band of target rows is averaged (and
// more often when a band reads many source rows) and before every target row is sharpened, and
// stops the reduction with kReduceAborted as soon as it answers true.
int ReduceHighQualityWith(Bitmap& image, int w, int h, ReductionPlanes& planes, std::string& errorText,
                          const std::function<bool()>& shouldStop, KernelSet kernelSet);

}  // namespace phototrim
