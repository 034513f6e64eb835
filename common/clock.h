// Time behind small interfaces: how long a program waits and what time it reads.
// Programs use the real ones; tests put fakes in their place, so that no test sits
// through a real wait.
#pragma once

#include <time.h>

#include <chrono>

// Waiting. The real one sleeps, resuming after interruptions, unless the environment
// variable QUINTARO_SKIP_WAITS is set (read with secure_getenv, so never in a
// set-user-id or set-group-id program): program tests set it so that no test sits
// through a real wait of the program under test.
class Sleeper {
 public:
  virtual ~Sleeper() = default;
  virtual void sleep_seconds(unsigned seconds);
};

// The current time. The real one reads the system clock, and the steady clock for
// waits measured more finely than in seconds.
class Clock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  virtual ~Clock() = default;
  virtual time_t now();
  virtual TimePoint steady_now();
};

// The real ones, shared by everything that was not handed another.
Sleeper& real_sleeper();
Clock& real_clock();
