// The byte-escape scanner of printer code strings: ${N} (N = 0 to 99 written with
// one or two digits, or 100 to 255 with three) is one byte of value N; anything
// else, malformed escapes included, stands for itself.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Appends the bytes that `codes` stands for to `out`. Runs the generated scanner
// once; `codes` must be at most INT_MAX bytes long (the scanner's limit).
void scan_byte_escapes(std::string_view codes, std::string& out);

// Same, for any length: feeds the scanner pieces of at most `chunk_limit` bytes
// (at least 12), cut where no escape can straddle the cut.
void decode_byte_escapes(std::string_view codes, size_t chunk_limit, std::string& out);
