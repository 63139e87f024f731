// Keeps the memory that one picture's decode frees for the next picture.
#include "trim/run/picture_memory.h"

#include <cstdlib>  // defines __GLIBC__ where the C library is glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace phototrim {

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

}  // namespace phototrim
