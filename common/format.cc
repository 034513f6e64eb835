// printf-style formatting into std::string.
#include "common/format.h"

#include <cstdio>

std::string vstrprintf(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (length <= 0) return std::string();
  std::string result(static_cast<size_t>(length), '\0');
  std::vsnprintf(result.data(), result.size() + 1, format, args);
  return result;
}

std::string strprintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string result = vstrprintf(format, args);
  va_end(args);
  return result;
}
