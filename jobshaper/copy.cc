// Block copies to standard output.
#include "jobshaper/copy.h"

#include <errno.h>

#include <cstdio>
#include <cstring>

#include "common/debug_trace.h"
#include "common/io.h"

CopyResult copy_to_stdout(int fd, int* error) {
  static char buffer[COPY_BLOCK];
  for (;;) {
    ssize_t n = read_retry(fd, buffer, sizeof buffer);
    if (n == 0) return CopyResult::DONE;
    if (n < 0) {
      *error = errno;
      return CopyResult::READ_FAILED;
    }
    if (!write_all(1, buffer, static_cast<size_t>(n))) {
      *error = errno;
      return CopyResult::WRITE_FAILED;
    }
  }
}

void report_copy_failure(CopyResult result, int error, const std::string& invocation,
                         const char* source) {
  if (result == CopyResult::DONE) return;
  std::string what = result == CopyResult::READ_FAILED ? std::string("Error reading ") + source
                                                       : "Error writing to standard output";
  std::fprintf(stderr, "\n%s: %s: %s\n\n", invocation.c_str(), what.c_str(), std::strerror(error));
  debug_trace().print(DEBUG_LISTING, "%s: %s\n", what.c_str(), std::strerror(error));
}
