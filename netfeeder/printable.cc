// Response texts and hex dumps.
#include "netfeeder/printable.h"

#include <algorithm>

#include "common/format.h"

std::string response_text(const char* bytes, size_t n) {
  std::string text;
  text.reserve(2 * n);
  for (size_t i = 0; i < n; ++i) {
    unsigned char b = static_cast<unsigned char>(bytes[i]);
    if (b > 31 || b == '\n') {
      text += static_cast<char>(b);
    } else {
      text += '^';
      text += static_cast<char>(b + 64);
    }
  }
  return text;
}

std::string hex_dump(std::string_view bytes) {
  std::string text;
  for (size_t row = 0; row < bytes.size(); row += 16) {
    size_t count = std::min<size_t>(16, bytes.size() - row);
    text += "| ";
    for (size_t i = 0; i < count; ++i) {
      text += strprintf("%02x ", static_cast<unsigned char>(bytes[row + i]));
    }
    text.append(3 * (16 - count), ' ');
    text += '\t';
    for (size_t i = 0; i < count; ++i) {
      unsigned char b = static_cast<unsigned char>(bytes[row + i]);
      text += b >= 32 && b < 128 ? static_cast<char>(b) : '.';
    }
    text += '\n';
  }
  return text;
}
