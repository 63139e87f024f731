// RunAside: a thread for one piece of work, and a wait in slices between the host's events.
#include "trim/run/run_aside.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/process_settings.h"
#include "trim/run/wait_in_slices.h"

namespace phototrim {

void RunAside(const std::function<void()>& work, const std::function<void()>& pump) {
  std::mutex mutex;
  std::condition_variable ended;
  bool done = false;
  std::exception_ptr failure;
  // Joined however this function is left: a pump that throws waits for the work, then goes on
  // throwing, instead of leaving a thread that ends the process.
  std::jthread thread;
  try {
    thread = std::jthread([&] {
      LeaveStopSignalsToTheMainThread();
      try {
        work();
      } catch (...) {
        failure = std::current_exception();
      }
      std::lock_guard lock(mutex);
      done = true;
      ended.notify_all();
    });
  } catch (const std::system_error&) {
    work();
    return;
  }
  std::unique_lock lock(mutex);
  WaitInSlices(lock, ended, [&] { return done; }, [&] {
    pump();
    return false;
  });
  lock.unlock();
  thread.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace phototrim
