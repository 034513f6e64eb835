// Starting, collecting and stopping the processes of a job.
#include "cups/job_processes.h"

#include <dirent.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <thread>

namespace {

constexpr std::chrono::milliseconds kPoll(20);
// Beyond the grace period: how long killed processes get to be collected.
constexpr std::chrono::milliseconds kKillBound(3000);

int decode_status(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return SIGNALLED + WTERMSIG(status);
  return -1;
}

}  // namespace

bool JobProcesses::adopt_orphans() { return prctl(PR_SET_CHILD_SUBREAPER, 1) == 0; }

pid_t JobProcesses::start(const std::string& path, const std::vector<std::string>& argv,
                          const SpawnOptions& options) {
  pid_t pid = spawn_program(path, argv, options);
  if (pid > 0) tracked_.push_back(pid);
  return pid;
}

void JobProcesses::reap() {
  for (;;) {
    int status = 0;
    pid_t pid = waitpid(-1, &status, WNOHANG);
    if (pid <= 0) return;
    if (WIFEXITED(status) || WIFSIGNALED(status)) {
      if (std::find(tracked_.begin(), tracked_.end(), pid) != tracked_.end()) {
        statuses_[pid] = decode_status(status);
      }
    }
  }
}

int JobProcesses::status(pid_t pid) const {
  auto found = statuses_.find(pid);
  return found == statuses_.end() ? -1 : found->second;
}

int JobProcesses::wait(pid_t pid, std::chrono::milliseconds limit) {
  Clock::TimePoint deadline = clock_.steady_now() + limit;
  for (;;) {
    reap();
    if (ended(pid)) return status(pid);
    if (clock_.steady_now() >= deadline) return -1;
    std::this_thread::sleep_for(kPoll);
  }
}

std::vector<pid_t> JobProcesses::children() const {
  std::set<pid_t> found;
  // One line of child ids per thread; the backend has one thread.
  std::string task = "/proc/self/task/" + std::to_string(getpid()) + "/children";
  std::ifstream list(task);
  for (pid_t pid; list >> pid;) found.insert(pid);
  for (pid_t pid : tracked_) {
    if (!ended(pid)) found.insert(pid);
  }
  return {found.begin(), found.end()};
}

void JobProcesses::stop_all(std::chrono::milliseconds grace) {
  Clock::TimePoint start = clock_.steady_now();
  std::set<pid_t> terminated;
  bool killing = false;
  for (;;) {
    reap();
    std::vector<pid_t> running = children();
    if (running.empty()) return;
    std::chrono::steady_clock::duration waited = clock_.steady_now() - start;
    if (waited >= grace + kKillBound) return;
    if (waited >= grace) killing = true;
    for (pid_t pid : running) {
      if (killing) {
        kill(pid, SIGKILL);
      } else if (terminated.insert(pid).second) {
        // Each once: a process adopted later gets its own SIGTERM.
        kill(pid, SIGTERM);
      }
    }
    std::this_thread::sleep_for(kPoll);
  }
}
