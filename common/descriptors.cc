// Non-blocking mode and the standard descriptors.
#include "common/descriptors.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

void set_nonblocking(int fd) {
  int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

bool ensure_standard_descriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lower descriptors are open by now, so open() hands out exactly `fd`.
    int opened = open("/dev/null", O_RDWR);
    if (opened < 0) return false;
    if (opened != fd) {
      int moved = dup2(opened, fd);
      close(opened);
      if (moved < 0) return false;
    }
  }
  return true;
}
