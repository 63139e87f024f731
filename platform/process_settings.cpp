// Process-wide settings for the programs' main: signals and thread stacks.
#include "platform/process_settings.h"

#include <csignal>
#include <pthread.h>

namespace phototrim {

namespace {
// As much as a main thread gets by default on Linux; only the pages used are ever backed.
constexpr std::size_t kThreadStackBytes = 8 << 20;
}  // namespace

void IgnoreFileSizeLimitSignal() {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGXFSZ, &ignore, nullptr);
}

void GiveThreadsFixedStacks() {
#if defined(__GLIBC__)
  pthread_attr_t attributes;
  if (::pthread_attr_init(&attributes) != 0) return;
  if (::pthread_attr_setstacksize(&attributes, kThreadStackBytes) == 0) (void)::pthread_setattr_default_np(&attributes);
  ::pthread_attr_destroy(&attributes);
#endif
}

void LeaveStopSignalsToTheMainThread() {
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGINT);
  sigaddset(&stops, SIGTERM);
  sigaddset(&stops, SIGHUP);
  ::pthread_sigmask(SIG_BLOCK, &stops, nullptr);
}

}  // namespace phototrim
