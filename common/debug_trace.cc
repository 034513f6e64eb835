// The process-wide debug file.
#include "common/debug_trace.h"

#include <cstdarg>

DebugTrace& debug_trace() {
  static DebugTrace trace;
  return trace;
}

void DebugTrace::print(int bit, const char* format, ...) {
  if (!enabled(bit)) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(file, format, args);
  va_end(args);
}

void DebugTrace::print_any(const char* format, ...) {
  if (!any()) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(file, format, args);
  va_end(args);
}
