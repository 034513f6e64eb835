// The processes of one job (formatter runs, the transport agent, and whatever they
// start), and stopping them all. The backend makes itself a child subreaper, so that a
// process whose parent ended (a banner program of a formatter that was stopped) comes
// back to the backend and is stopped with the rest: no process of the job outlives it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/process.h"

// The status of a child a signal ended: SIGNALLED + the signal number, apart from every
// exit status (the suite's programs exit with 255).
inline constexpr int SIGNALLED = 256;

class JobProcesses {
 public:
  explicit JobProcesses(Clock& clock = real_clock()) : clock_(clock) {}
  // Stops whatever is still running.
  ~JobProcesses() { stop_all(); }
  JobProcesses(const JobProcesses&) = delete;
  JobProcesses& operator=(const JobProcesses&) = delete;

  // Makes this process the subreaper of its descendants (Linux). False when the system
  // refuses; stopping then reaches the backend's own children only.
  static bool adopt_orphans();

  // Starts a program as spawn_program does and tracks it; -1 when it cannot be started.
  pid_t start(const std::string& path, const std::vector<std::string>& argv,
              const SpawnOptions& options);
  // Collects every child that has ended, without waiting. The statuses of tracked
  // children are kept; adopted orphans are only reaped.
  void reap();
  bool ended(pid_t pid) const { return statuses_.count(pid) != 0; }
  // The exit status of an ended child (SIGNALLED + the signal number for a signal), or
  // -1 while it runs.
  int status(pid_t pid) const;
  // Waits for a tracked child to end, at most `limit`; gives its status or -1.
  int wait(pid_t pid, std::chrono::milliseconds limit);

  // Stops every child: SIGTERM first, then, for what still runs after `grace`, SIGKILL.
  // Returns once all children are collected (or, should one never go, after a bound).
  void stop_all(std::chrono::milliseconds grace = std::chrono::milliseconds(2000));

 private:
  // The children of this process as the system lists them, with the tracked ones that
  // have not ended.
  std::vector<pid_t> children() const;

  Clock& clock_;
  std::vector<pid_t> tracked_;
  std::map<pid_t, int> statuses_;
};
