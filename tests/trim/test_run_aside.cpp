// RunAside: the work's thread is joined whichever side throws.
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "trim/run/run_aside.h"

namespace phototrim {
namespace {

TEST(RunAside, AnExceptionOfEitherSideReachesTheCallerAfterTheWorkHasEnded) {
  for (const bool pumpThrows : {false, true}) {
    bool ended = false;
    const auto work = [&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(30));  // several pump slices
      ended = true;
      if (!pumpThrows) throw std::runtime_error("work");
    };
    EXPECT_THROW(RunAside(work, [&] { if (pumpThrows) throw std::runtime_error("pump"); }), std::runtime_error);
    EXPECT_TRUE(ended) << pumpThrows;
  }
}

}  // namespace
}  // namespace phototrim
