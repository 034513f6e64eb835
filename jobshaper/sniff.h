// Recognises a job's format from its first bytes, for queues that take any format.
#pragma once

#include <string>

// Classes that sniff() gives.
inline constexpr int SNIFF_POSTSCRIPT = 3;
inline constexpr int SNIFF_PCL = 4;    // also the default
inline constexpr int SNIFF_IMAGE = 6;  // a format the printer renders by itself

// Reads the leading filler bytes (EOT, tab, line feed, carriage return, blank), the
// first other byte and up to five bytes after it from `fd`, and classifies the job
// by fixed signatures. With `verbose` it explains itself on standard error. When
// `consumed` is given it receives every byte read, in order, zero bytes included.
// A read error counts as the end of the input; the default class is SNIFF_PCL.
int sniff(int fd, bool verbose, std::string* consumed);
