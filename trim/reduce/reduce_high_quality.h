// ReduceHighQuality: area average in hundredths of a pixel, then a 3x3 luminance sharpening.
#pragma once

#include <string>

#include "trim/bitmap.h"
#include "trim/run/event_pump.h"
#include "trim/reduce/reduction_planes.h"

namespace phototrim {

// Reduces `image` (W x H) to w x h, exactly as the integer per-pixel definition gives it. Refuses
// with kReduceRefused, the image untouched and the reason in `errorText`, when the ratios differ,
// the sizes are equal, either picture is larger than 6200 on a side, the reduction is beyond 1/100
// or it would enlarge. Returns kReduceAborted as soon as the pump reports an abort (image then
// meaningless), kOutOfMemory when its work memory cannot be had, kOk when done.
int ReduceHighQuality(Bitmap& image, int w, int h, ReductionPlanes& planes, std::string& errorText,
                      EventPump& pump);

}  // namespace phototrim
