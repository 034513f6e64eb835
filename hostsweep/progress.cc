// The progress line of a search.
#include "hostsweep/progress.h"

#include <unistd.h>

#include "common/format.h"
#include "common/io.h"

size_t count_addresses(SearchList list) {
  size_t count = 0;
  for (std::string address; list.next_address(&address) == 0;) ++count;
  return count;
}

ProgressLine::ProgressLine(int fd, bool enabled, size_t total, Clock& clock)
    : fd_(fd), shown_(enabled && isatty(fd)), total_(total), clock_(clock), start_(clock.now()) {}

std::string ProgressLine::text(size_t probed, size_t total, int in_flight, int found,
                               long seconds) {
  return strprintf("Probed %zu of %zu addresses, %d in flight, %d printer%s found, %ld:%02ld",
                   probed, total, in_flight, found, found == 1 ? "" : "s", seconds / 60,
                   seconds % 60);
}

void ProgressLine::show(bool always) {
  if (!shown_ || finished_) return;
  time_t now = clock_.now();
  // At most one update a second, so that a fast search does not flood the terminal.
  if (!always && now == last_) return;
  last_ = now;
  // Carriage return, the line, then erase what an earlier, longer line left.
  write_all(fd_, "\r" + text(probed_, total_, in_flight_, found_, static_cast<long>(now - start_)) +
                     "\033[K");
}

void ProgressLine::finish() {
  if (!shown_ || finished_) return;
  show(true);
  write_all(fd_, "\n");
  finished_ = true;
}
