// The debug file that a program and the libraries it links write their traces to.
// The debug number is a bit set: each program documents what its bits select.
#pragma once

#include <cstdio>

// Bits of the debug number shared by the spool-side programs.
inline constexpr int DEBUG_LISTING = 2;  // the program's own listing
inline constexpr int DEBUG_LIBRARY = 4;  // the PDD library's trace and node dumps

class DebugTrace {
 public:
  int level = 0;         // the debug number given on the command line
  FILE* file = nullptr;  // the debug file, owned by the program that opened it

  bool enabled(int bit) const { return (level & bit) != 0 && file != nullptr; }
  bool any() const { return level != 0 && file != nullptr; }

  // Writes to the debug file when `bit` is set in the debug number.
  void print(int bit, const char* format, ...) __attribute__((format(printf, 3, 4)));
  // Writes to the debug file whenever the debug number is not 0.
  void print_any(const char* format, ...) __attribute__((format(printf, 2, 3)));
};

// The process-wide debug settings.
DebugTrace& debug_trace();
