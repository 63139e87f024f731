// Fills closed standard descriptors with /dev/null.
#include "platform/standard_streams.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace phototrim {

void EnsureStandardStreams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    int opened = ::open("/dev/null", O_RDWR);
    // Without /dev/null (a bare container), a folder fills the place: every write to it fails.
    if (opened < 0) opened = ::open("/", O_RDONLY | O_DIRECTORY);
    // open() takes the lowest free number, which is this one; should it not, it is moved there.
    if (opened > fd) {
      ::dup2(opened, fd);
      ::close(opened);
    }
  }
}

}  // namespace phototrim
