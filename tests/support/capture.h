// Test support: collecting what code under test writes to standard error or to the
// debug file, and anonymous temporary files.
#pragma once

#include <cstdio>
#include <string>

#include "common/debug_trace.h"

// Everything in the file behind `fd`, from its start.
std::string read_all(int fd);
// An anonymous temporary file, open for reading and writing; -1 on failure.
int temp_fd();

// Collects what is written to standard error (descriptor 2) while it lives, or
// until text() is first called; then descriptor 2 is put back, so that a failing
// expectation reports on the real standard error.
class StderrCapture {
 public:
  StderrCapture();
  ~StderrCapture();
  StderrCapture(const StderrCapture&) = delete;
  StderrCapture& operator=(const StderrCapture&) = delete;

  // Ends the capture and gives everything written during it.
  std::string text();

 private:
  void restore();

  int fd_;
  int saved_;
};

// Points the debug trace at a temporary file with the given debug number while it
// lives; the earlier debug settings come back afterwards.
class DebugCapture {
 public:
  explicit DebugCapture(int level);
  ~DebugCapture();
  DebugCapture(const DebugCapture&) = delete;
  DebugCapture& operator=(const DebugCapture&) = delete;

  std::string text() const;

 private:
  FILE* file_;
  DebugTrace saved_;
};
