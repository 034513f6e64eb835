// Descriptor I/O that survives short counts and interrupted calls.
#include "common/io.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

bool write_all(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = write(fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

ssize_t read_retry(int fd, void* buffer, size_t size) {
  for (;;) {
    ssize_t n = read(fd, buffer, size);
    if (n >= 0 || errno != EINTR) return n;
  }
}

bool replace_file(const std::string& path, std::string_view bytes, std::string_view temp_suffix) {
  std::string temp = path + std::string(temp_suffix);
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool written = write_all(fd, bytes);
  int saved = errno;
  if (close(fd) != 0 && written) {
    written = false;
    saved = errno;
  }
  if (written && rename(temp.c_str(), path.c_str()) == 0) return true;
  if (written) saved = errno;
  unlink(temp.c_str());
  errno = saved;
  return false;
}
