// Debug output of the agent (-x, -D): trace lines go to the log file while it is
// open and to standard error otherwise. Written unbuffered, so that nothing is lost
// when a signal ends the process.
#pragma once

#include <string_view>

class Trace {
 public:
  bool enabled = false;
  int log_fd = -1;  // the open log file, or -1

  void print(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void write(std::string_view text);
};
