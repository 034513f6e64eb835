// Process-wide settings of the PDD library.
#include "pdd/library.h"

#include <cstdarg>

#include "common/format.h"
#include "common/io.h"

PddLibrary& pdd_library() {
  static PddLibrary library;
  return library;
}

void pdd_message(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = vstrprintf(format, args);
  va_end(args);
  write_all(pdd_library().output_fd, text);
}
