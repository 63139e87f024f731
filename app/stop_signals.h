// SIGTERM, SIGHUP and SIGINT as events of the window's loop, so that they stop a run like 中断.
#pragma once

#include <functional>

#include <QObject>

class QSocketNotifier;

namespace phototrim::app {

// While this object lives, the first of these signals calls `onStop` from the event loop (the window
// closes, which first stops a run going on); a second one ends the process at once, as if nothing
// caught it. A signal handler may do next to nothing, so it only writes a byte into a pipe that the
// loop watches. One at a time per process.
class StopSignals : public QObject {
 public:
  explicit StopSignals(std::function<void()> onStop);
  ~StopSignals() override;
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

 private:
  void Readable();

  std::function<void()> onStop_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace phototrim::app
