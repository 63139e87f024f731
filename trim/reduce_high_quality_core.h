// ReduceHighQuality with its stop test and kernel set given explicitly (the tests drive both).
#pragma once

#include <functional>
#include <string>

#include "trim/bitmap.h"
#include "trim/reduction_kernels.h"
#include "trim/reduction_planes.h"

namespace phototrim {

// As ReduceHighQuality; `shouldStop` is asked before every band of target rows (and more often
// when a band reads many source rows) and stops the reduction with kReduceAborted when true.
int ReduceHighQualityWith(Bitmap& image, int w, int h, ReductionPlanes& planes, std::string& errorText,
                          const std::function<bool()>& shouldStop, KernelSet kernelSet);

}  // namespace phototrim
