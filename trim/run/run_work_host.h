// The work host of one file in a run: where the work's switches come from and where its lines go.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "trim/run/batch_host.h"
#include "trim/run/one_file_work.h"

namespace phototrim {

// The switches a file's work reads, as the run read them from its host for that file.
struct WorkSwitches {
  bool crop = true;
  bool skipSmall = true;
  bool reduce = false;
  bool highQuality = true;
  bool noSizeLimit = false;  // phototrim-batch --no-size-limit; the same for a whole run
  bool operator==(const WorkSwitches&) const = default;
};

// The switches as the host shows them at this moment.
WorkSwitches ReadSwitches(BatchHost& host);

class RunWorkHost : public FileWorkHost {
 public:
  // A one-at-a-time run: the run's host is asked for each switch at the very moment the work reads
  // it, and takes the lines and the events; the abort ends any work.
  explicit RunWorkHost(BatchHost& host) : host_(&host) {}
  // A worker thread: the switches of its job, lines kept in `lines` for the run to show in list
  // order, no events of its own (the run's are the run's); `cancelled` says the job is not wanted.
  RunWorkHost(const WorkSwitches& switches, std::function<bool()> cancelled)
      : switches_(switches), cancelled_(std::move(cancelled)) {}

  bool CropToRatio() override { return host_ ? host_->CropToRatio() : switches_.crop; }
  bool SkipSmall() override { return host_ ? host_->SkipSmall() : switches_.skipSmall; }
  bool Reduce() override { return host_ ? host_->Reduce() : switches_.reduce; }
  bool HighQuality() override { return host_ ? host_->HighQuality() : switches_.highQuality; }
  bool NoSizeLimit() override { return host_ ? host_->NoSizeLimit() : switches_.noSizeLimit; }
  void AddMemoLine(const std::string& line) override;
  void PumpEvents() override;
  bool Cancelled() override { return cancelled_ && cancelled_(); }
  bool AbortEndsWork() override { return host_ != nullptr; }

  std::vector<std::string> lines;  // a worker's lines

 private:
  BatchHost* const host_ = nullptr;  // null on a worker
  const WorkSwitches switches_;
  const std::function<bool()> cancelled_;
};

}  // namespace phototrim
