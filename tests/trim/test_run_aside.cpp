// RunAside: the work's thread is always joined, whichever side throws.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "trim/run/run_aside.h"

namespace phototrim {
namespace {

TEST(RunAside, AnExceptionOfEitherSideReachesTheCallerAfterTheWorkHasEnded) {
  for (const bool pumpThrows : {false, true}) {
    SCOPED_TRACE(pumpThrows ? "pump throws" : "work throws");
    std::atomic<bool> workEnded{false};
    const auto work = [&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(30));  // several pump slices
      workEnded = true;
      if (!pumpThrows) throw std::runtime_error("work");
    };
    const auto pump = [&] {
      if (pumpThrows) throw std::runtime_error("pump");
    };
    EXPECT_THROW(RunAside(work, pump), std::runtime_error);
    EXPECT_TRUE(workEnded);
  }
}

}  // namespace
}  // namespace phototrim
