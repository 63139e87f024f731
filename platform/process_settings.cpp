// Process-wide settings for the programs' main: the heap, signals and thread stacks.
#include "platform/process_settings.h"

#include <csignal>
#include <cstdlib>  // defines __GLIBC__ where the C library is glibc
#include <pthread.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace phototrim {

namespace {
// As much as a main thread gets by default on Linux; only the pages used are ever backed.
constexpr std::size_t kThreadStackBytes = 8 << 20;
}  // namespace

void KeepMemoryBetweenPictures() {
#if defined(__GLIBC__)
  // 32 MB is the largest threshold the C library takes for blocks from the heap.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 512 << 20);
  // One heap for every thread: each further heap would reserve 64 MB of address space that a
  // worker may never use, and under a limit on the address space (ulimit -v) that reserve would
  // fail pictures on workers that one thread saves. The workers allocate a few times a picture, so
  // sharing the heap's lock costs nothing measurable.
  mallopt(M_ARENA_MAX, 1);
#endif
}

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
