// Debug output of the agent.
#include "netfeeder/trace.h"

#include <cstdarg>

#include "common/format.h"
#include "common/io.h"

void Trace::print(const char* format, ...) {
  if (!enabled) return;
  va_list args;
  va_start(args, format);
  std::string text = vstrprintf(format, args);
  va_end(args);
  write(text);
}

void Trace::write(std::string_view text) {
  if (!enabled) return;
  write_all(log_fd >= 0 ? log_fd : 2, text);
}
