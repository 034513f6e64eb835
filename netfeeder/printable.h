// Printable forms of the bytes exchanged with a printer: the text of its responses for
// notifications and logs, and a hex dump for the debug trace.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The printable text of printer output: bytes above 31 and newlines unchanged, other
// control bytes as "^" followed by the byte plus 64.
std::string response_text(const char* bytes, size_t n);

// Rows of 16 bytes: "| ", "%02x " per byte, a tab and the printable bytes ("." for
// others), a newline; a short last row is padded to line up.
std::string hex_dump(std::string_view bytes);
