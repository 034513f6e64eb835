// The relay: carries the formatter's output to the transport agent's input itself, so
// that it sees every job byte the agent takes, and ends the job when nothing moves.
//
// Watch rule, one event-loop round at a time (as in netfeeder's pump): the formatter's
// output is read while the relay's block is empty, the agent's input is written while
// it is not; the standard error of both, and the agent's standard output, are always
// read. Every tick (and after each end of output) the relay collects ended children,
// asks the pipe how many bytes still wait in it (FIONREAD on the relay's own copy of the
// pipe's read end) and so learns how many the agent took.
//
// Limits: while job bytes wait for the agent (in the block or in the pipe), the agent
// must take some within `stall`; once the input is closed and the agent has taken the
// last byte, it must end within `end`.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "common/clock.h"
#include "common/event_loop.h"
#include "common/unique_fd.h"
#include "cups/job_processes.h"

struct RelayLimits {
  std::chrono::milliseconds stall{120000};
  std::chrono::milliseconds end{300000};
  std::chrono::milliseconds tick{100};
};

// The agent's side, set up by the caller: the agent runs with the read end of `input`
// as its standard input.
struct AgentChannels {
  pid_t pid = -1;
  UniqueFd input;        // the write end of the agent's input pipe
  UniqueFd input_probe;  // the read end of the same pipe, kept to count what waits there
  UniqueFd errors;       // the agent's standard error
  UniqueFd output;       // the agent's standard output (printer responses)
};

// What the relay reports while it runs; every hook may be left empty.
struct RelayHooks {
  std::function<void(std::string_view line)> agent_line;      // the agent's standard error
  std::function<void(std::string_view line)> formatter_line;  // the formatter's standard error
  std::function<void(long long taken)> moved;  // the agent took more bytes (total so far)
  std::function<void()> last_byte_taken;       // the input is closed and the pipe is empty
  std::function<bool()> stop_requested;        // checked every tick
};

class Relay {
 public:
  enum Outcome {
    FORMATTER_ENDED,  // the formatter ended and all its output went into the agent's input
    AGENT_ENDED,      // the agent ended (its status: agent_status())
    STALLED,          // job bytes waited `stall` without the agent taking any
    END_TIMED_OUT,    // the agent took the last byte but did not end within `end`
    STOPPED,          // stop_requested() said so
    LOOP_FAILED,      // select failed, or a descriptor is beyond its range
  };

  Relay(JobProcesses& processes, AgentChannels agent, RelayLimits limits, RelayHooks hooks,
        Clock& clock = real_clock());

  // Carries the output of the formatter `pid` to the agent until the formatter has ended
  // and its output is all in the agent's input (or the agent ends, or a limit is hit).
  Outcome carry(pid_t formatter, UniqueFd output, UniqueFd errors);
  // After the last formatter: closes the agent's input and waits for the agent to end.
  Outcome finish();

  int formatter_status() const { return processes_.status(formatter_); }
  int agent_status() const { return processes_.status(agent_.pid); }
  long long taken() const { return taken_; }
  // Whether job bytes still wait for the agent (in the block or in the pipe).
  bool data_waiting() const { return begin_ < end_ || queued_ > 0; }
  // The input was closed after the last byte, and the agent took every byte of it.
  bool all_taken() const {
    return finishing_ && !agent_.input.valid() && !input_lost_ && !data_waiting();
  }
  // The first bytes the agent wrote on standard output.
  const std::string& agent_output() const { return agent_output_; }

 private:
  static constexpr size_t kBlockSize = 65536;
  static constexpr size_t kLineLimit = 4096;

  // A stream read into lines: `line` holds the unfinished one.
  struct LineStream {
    UniqueFd fd;
    std::string line;
  };

  Outcome run();
  void end(Outcome outcome);
  void watch_for_round();
  void watch(int fd, int mask, EventLoop::FdCallback serve);
  void schedule_tick();
  void check();
  void measure();

  void read_formatter_output();
  void write_agent_input();
  // Reads what is there; false at end of file (the descriptor is then closed).
  bool read_lines(LineStream& stream, const std::function<void(std::string_view)>& sink);
  void read_agent_output();
  // Reads what waits on every stream that is still open, without blocking.
  void drain_streams();

  JobProcesses& processes_;
  AgentChannels agent_;
  RelayLimits limits_;
  RelayHooks hooks_;
  Clock& clock_;
  EventLoop loop_;
  std::vector<int> watched_;
  std::optional<Outcome> outcome_;
  bool running_ = false;
  EventLoop::TimerId tick_ = 0;

  pid_t formatter_ = -1;
  UniqueFd formatter_output_;
  LineStream formatter_errors_;
  LineStream agent_errors_;
  std::string agent_output_;
  bool finishing_ = false;
  bool input_lost_ = false;  // writing the agent's input failed: the rest was dropped

  char block_[kBlockSize] = {};
  size_t begin_ = 0, end_ = 0;
  long long written_ = 0;  // bytes written into the agent's input
  long long queued_ = 0;   // of those, still in the pipe at the last measure
  long long taken_ = 0;    // of those, taken by the agent
  Clock::TimePoint last_move_;
  bool last_byte_ = false;
  Clock::TimePoint end_deadline_;
};
