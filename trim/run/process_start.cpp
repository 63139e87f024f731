// The process-wide settings of a program that hosts batch runs, made once from its main.
#include "trim/run/process_start.h"

#include "platform/process_settings.h"

namespace phototrim {

void PrepareProcessForRuns() {
  KeepMemoryBetweenPictures();
  IgnoreFileSizeLimitSignal();
  GiveThreadsFixedStacks();
}

}  // namespace phototrim
