// The real clock and sleeper.
#include "common/clock.h"

#include <errno.h>
#include <stdlib.h>

void Sleeper::sleep_seconds(unsigned seconds) {
  if (secure_getenv("QUINTARO_SKIP_WAITS")) return;
  timespec left{static_cast<time_t>(seconds), 0};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

time_t Clock::now() { return time(nullptr); }

Clock::TimePoint Clock::steady_now() { return std::chrono::steady_clock::now(); }

Sleeper& real_sleeper() {
  static Sleeper sleeper;
  return sleeper;
}

Clock& real_clock() {
  static Clock clock;
  return clock;
}
