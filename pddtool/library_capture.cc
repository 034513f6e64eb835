// Capture of the PDD library's messages.
#include "pddtool/library_capture.h"

#include <fcntl.h>
#include <unistd.h>

#include "common/io.h"
#include "pdd/library.h"

namespace pddtool {

LibraryMessages::LibraryMessages() {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  read_end_.reset(fds[0]);
  write_end_.reset(fds[1]);
  saved_ = pdd_library().output_fd;
  pdd_library().output_fd = write_end_.get();
  active_ = true;
}

LibraryMessages::~LibraryMessages() { restore(); }

void LibraryMessages::restore() {
  if (!active_) return;
  pdd_library().output_fd = saved_;
  write_end_.reset();
  active_ = false;
}

std::string LibraryMessages::text() {
  restore();
  std::string text;
  char buffer[512];
  while (read_end_.valid()) {
    ssize_t n = read_retry(read_end_.get(), buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  read_end_.reset();
  return text;
}

PddHandle read_pdd_quietly(const std::string& path) {
  LibraryMessages library;
  // The reader writes its complaints about short reads to descriptor 2 itself.
  UniqueFd null(open("/dev/null", O_WRONLY | O_CLOEXEC));
  UniqueFd saved_stderr(null.valid() ? fcntl(2, F_DUPFD_CLOEXEC, 3) : -1);
  bool silenced = saved_stderr.valid() && dup2(null.get(), 2) == 2;
  PddHandle pdd(read_pdd(path.c_str()));
  if (silenced) dup2(saved_stderr.get(), 2);
  library.text();
  return pdd;
}

}  // namespace pddtool
