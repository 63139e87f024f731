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
#endif
}

}  // namespace phototrim
