// Lets the host's events run during long computations without paying for it at every pixel.
#pragma once

#include <chrono>
#include <functional>

namespace phototrim {

// The host's event loop is entered only when a time slice has passed since the last visit, so a
// reduction stays responsive (repaints, the Abort button) while pumping costs well under 1 %.
// Between visits nothing can set the abort flag of a single-threaded host, so checking it after
// each visit is as good as checking it before every pixel.
class EventPump {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kSlice{5};

  EventPump(std::function<void()> pump, const bool& abortRequested, Clock::duration slice = kSlice)
      : pump_(std::move(pump)), abortRequested_(abortRequested), slice_(slice), last_(Clock::now()) {}

  // Call between units of work of at most a millisecond or so. True when the run must stop.
  bool ShouldStop() {
    const auto now = Clock::now();
    if (now - last_ >= slice_) {
      if (pump_) pump_();
      last_ = Clock::now();
    }
    return abortRequested_;
  }

 private:
  std::function<void()> pump_;
  const bool& abortRequested_;
  Clock::duration slice_;
  Clock::time_point last_;
};

}  // namespace phototrim
