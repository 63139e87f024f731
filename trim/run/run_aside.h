// A piece of the run's work on a thread of its own, while the run's thread lets its host's events run.
#pragma once

#include <functional>

namespace phototrim {

// Runs `work` on a thread of its own and returns when it has ended, calling `pump` every few
// milliseconds meanwhile. An exception of `work` is thrown here; one of `pump` too, once `work` has
// ended. Where no thread can be had, `work` runs on this one.
void RunAside(const std::function<void()>& work, const std::function<void()>& pump);

}  // namespace phototrim
