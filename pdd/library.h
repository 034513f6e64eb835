// Process-wide settings of the PDD library: where its messages and node dumps go,
// and how it obtains memory and waits between allocation attempts (both replaceable
// so that tests can exercise the retry policy without waiting).
#pragma once

#include <cstddef>

#include "common/clock.h"

// Where the library's memory comes from: malloc, unless a test puts a failing or
// recording source in its place.
class MemorySource {
 public:
  virtual ~MemorySource() = default;
  // A block of `size` bytes, or nullptr.
  virtual void* allocate(size_t size);
};

struct PddLibrary {
  // Descriptor of the library's messages and node dumps. Standard output by
  // default; a program whose standard output carries a print job points it at
  // standard error instead.
  int output_fd = 1;
  MemorySource* memory = nullptr;  // nullptr: malloc
  Sleeper* sleeper = nullptr;      // nullptr: real_sleeper()
};

PddLibrary& pdd_library();

// Writes a formatted message to the library's output descriptor, unbuffered.
void pdd_message(const char* format, ...) __attribute__((format(printf, 1, 2)));
