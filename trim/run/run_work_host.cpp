// The work host of one file in a run: the run's host asked at once, or a worker's job.
#include "trim/run/run_work_host.h"

namespace phototrim {

WorkSwitches ReadSwitches(BatchHost& host) {
  return {host.CropToRatio(), host.SkipSmall(), host.Reduce(), host.HighQuality(), host.NoSizeLimit()};
}

void RunWorkHost::AddMemoLine(const std::string& line) {
  if (host_) host_->AddMemoLine(line);
  else lines.push_back(line);
}

void RunWorkHost::PumpEvents() {
  if (host_) host_->PumpEvents();
}

}  // namespace phototrim
