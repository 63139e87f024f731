// A wait on a condition that lets the run's host's events run every few milliseconds meanwhile.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace phototrim {

// How long the run waits before it lets its host's events run again.
inline constexpr std::chrono::milliseconds kWaitSlice{5};

// Waits under `lock` until `done()` holds, calling `pump` unlocked whenever a slice passes (or the
// condition wakes) without it. `pump` returns true to stop waiting. True when `done()` was reached,
// false when `pump` stopped the wait.
template <class Done, class Pump>
bool WaitInSlices(std::unique_lock<std::mutex>& lock, std::condition_variable& changed, Done done, Pump pump) {
  while (!done()) {
    changed.wait_for(lock, kWaitSlice);
    if (done()) break;
    lock.unlock();
    const bool stop = pump();
    lock.lock();
    if (stop) return false;
  }
  return true;
}

}  // namespace phototrim
