// Waiting, behind an interface: the agent waits between connection attempts and
// before it links the device path; tests put a recording fake in its place.
#pragma once

class Sleeper {
 public:
  virtual ~Sleeper() = default;
  // Waits `seconds` seconds (resuming after interruptions).
  virtual void sleep_seconds(unsigned seconds);
};
