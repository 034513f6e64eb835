// Fuzz target of the printable forms of printer output: response_text and hex_dump
// of the input; checks their lengths against the bytes given.
#include <cstdint>
#include <string>
#include <string_view>

#include "netfeeder/printable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);
  std::string text = response_text(bytes, size);
  if (text.size() < size || text.size() > 2 * size) __builtin_trap();
  std::string dump = hex_dump(std::string_view(bytes, size));
  // Every row: "| ", 16 columns of three characters, a tab, the bytes, a newline.
  size_t rows = (size + 15) / 16;
  if (dump.size() != rows * (2 + 48 + 1 + 1) + size) __builtin_trap();
  return 0;
}
