// The stop signals, through a pipe into the event loop.
#include "app/stop_signals.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>

namespace phototrim::app {

namespace {

constexpr int kStopSignals[] = {SIGTERM, SIGHUP, SIGINT};
int signalPipe[2] = {-1, -1};

void OnStopSignal(int) {
  const int saved = errno;
  const char byte = 1;
  (void)!::write(signalPipe[1], &byte, 1);  // a full pipe has a stop waiting already
  struct sigaction byDefault {};
  byDefault.sa_handler = SIG_DFL;
  for (const int signal : kStopSignals) ::sigaction(signal, &byDefault, nullptr);  // safe in a handler
  errno = saved;
}

}  // namespace

StopSignals::StopSignals(std::function<void()> onStop) : onStop_(std::move(onStop)) {
  if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;  // the signals keep ending the process
  notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &StopSignals::Readable);
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // a write or flush in progress goes on rather than fail
  for (const int signal : kStopSignals) ::sigaction(signal, &action, nullptr);
}

StopSignals::~StopSignals() {
  for (const int signal : kStopSignals) std::signal(signal, SIG_DFL);
  delete notifier_;
  for (int& fd : signalPipe) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
}

void StopSignals::Readable() {
  char bytes[16];
  while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
  }
  if (onStop_) onStop_();
}

}  // namespace phototrim::app
