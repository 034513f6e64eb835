// The progress line of a search: when standard error is a terminal, one line there
// that keeps itself up to date with the addresses probed of the total, the probes in
// flight, the printers found and the time taken. Standard output and the output file
// are never touched.
#pragma once

#include <time.h>

#include <cstddef>
#include <string>

#include "common/clock.h"
#include "hostsweep/search_list.h"

// How many addresses iterating `list` (a copy) yields.
size_t count_addresses(SearchList list);

class ProgressLine {
 public:
  // Shown only when `fd` is a terminal and `enabled` (no debug output goes there);
  // `total` addresses in all.
  ProgressLine(int fd, bool enabled, size_t total, Clock& clock);

  void started() {
    ++probed_;
    ++in_flight_;
    show(false);
  }
  void ended() {
    --in_flight_;
    show(false);
  }
  void found() {
    ++found_;
    show(false);
  }
  // Called on every pass of the select loop: the time moves on.
  void tick() { show(false); }
  // Shows the final state and ends the line, once.
  void finish();

  // The text of the line.
  static std::string text(size_t probed, size_t total, int in_flight, int found, long seconds);

 private:
  void show(bool always);

  int fd_;
  bool shown_;
  size_t total_;
  Clock& clock_;
  time_t start_;
  time_t last_ = -1;
  size_t probed_ = 0;
  int in_flight_ = 0;
  int found_ = 0;
  bool finished_ = false;
};
