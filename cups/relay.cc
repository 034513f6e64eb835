// The relay between the formatter, the agent and the job's limits.
#include "cups/relay.h"

#include <errno.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "common/descriptors.h"

namespace {

bool retry_later(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == EINTR; }

}  // namespace

Relay::Relay(JobProcesses& processes, AgentChannels agent, RelayLimits limits, RelayHooks hooks,
             Clock& clock)
    : processes_(processes),
      agent_(std::move(agent)),
      limits_(limits),
      hooks_(std::move(hooks)),
      clock_(clock) {
  for (int fd : {agent_.input.get(), agent_.errors.get(), agent_.output.get()}) {
    if (fd >= 0) set_nonblocking(fd);
  }
  agent_errors_.fd = std::move(agent_.errors);
  last_move_ = clock_.steady_now();
}

Relay::Outcome Relay::carry(pid_t formatter, UniqueFd output, UniqueFd errors) {
  formatter_ = formatter;
  formatter_output_ = std::move(output);
  formatter_errors_.fd = std::move(errors);
  formatter_errors_.line.clear();
  set_nonblocking(formatter_output_.get());
  set_nonblocking(formatter_errors_.fd.get());
  return run();
}

Relay::Outcome Relay::finish() {
  finishing_ = true;
  return run();
}

Relay::Outcome Relay::run() {
  outcome_.reset();
  loop_.set_before_select([this] { watch_for_round(); });
  check();
  if (outcome_) return *outcome_;
  running_ = true;
  schedule_tick();
  EventLoop::Exit exit = loop_.run();
  running_ = false;
  loop_.cancel_timer(tick_);
  if (exit == EventLoop::STOPPED && outcome_) return *outcome_;
  // IDLE cannot happen (the tick is always there); the others are failures.
  return LOOP_FAILED;
}

void Relay::end(Outcome outcome) {
  if (!outcome_) outcome_ = outcome;
  // Outside run() a stop would linger and end the next run at once.
  if (running_) loop_.stop();
}

void Relay::schedule_tick() {
  tick_ = loop_.add_timer(limits_.tick, [this] {
    check();
    if (!outcome_) schedule_tick();
  });
}

void Relay::watch_for_round() {
  for (int fd : watched_) loop_.remove(fd);
  watched_.clear();
  bool block_empty = begin_ == end_;
  if (block_empty && formatter_output_.valid()) {
    watch(formatter_output_.get(), EventLoop::READABLE,
          [this](int, int) { read_formatter_output(); });
  }
  if (!block_empty && agent_.input.valid()) {
    watch(agent_.input.get(), EventLoop::WRITABLE, [this](int, int) { write_agent_input(); });
  }
  if (formatter_errors_.fd.valid()) {
    watch(formatter_errors_.fd.get(), EventLoop::READABLE, [this](int, int) {
      if (!read_lines(formatter_errors_, hooks_.formatter_line)) check();
    });
  }
  if (agent_errors_.fd.valid()) {
    watch(agent_errors_.fd.get(), EventLoop::READABLE,
          [this](int, int) { read_lines(agent_errors_, hooks_.agent_line); });
  }
  if (agent_.output.valid()) {
    watch(agent_.output.get(), EventLoop::READABLE, [this](int, int) { read_agent_output(); });
  }
}

void Relay::watch(int fd, int mask, EventLoop::FdCallback serve) {
  if (loop_.add(fd, mask, std::move(serve)) != EventLoop::ADDED) {
    end(LOOP_FAILED);
    return;
  }
  watched_.push_back(fd);
}

void Relay::read_formatter_output() {
  ssize_t n = read(formatter_output_.get(), block_, sizeof block_);
  if (n < 0 && retry_later(errno)) return;
  if (n <= 0) {
    // The end of the formatter's output (or an error reading it, which the formatter's
    // status tells about).
    formatter_output_.reset();
    check();
    return;
  }
  begin_ = 0;
  end_ = static_cast<size_t>(n);
}

void Relay::write_agent_input() {
  ssize_t n = write(agent_.input.get(), block_ + begin_, end_ - begin_);
  if (n < 0) {
    if (retry_later(errno)) return;
    // The pipe cannot take the job any more: what is left is dropped, and the agent's
    // end tells how the job went.
    begin_ = end_ = 0;
    agent_.input.reset();
    input_lost_ = true;
    return;
  }
  begin_ += static_cast<size_t>(n);
  written_ += n;
  if (begin_ == end_) begin_ = end_ = 0;
}

bool Relay::read_lines(LineStream& stream, const std::function<void(std::string_view)>& sink) {
  char buffer[4096];
  for (;;) {
    ssize_t n = read(stream.fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && retry_later(errno)) return true;
    if (n <= 0) {
      if (!stream.line.empty() && sink) sink(stream.line);
      stream.line.clear();
      stream.fd.reset();
      return false;
    }
    for (ssize_t i = 0; i < n; ++i) {
      if (buffer[i] == '\n' || stream.line.size() >= kLineLimit) {
        if (sink) sink(stream.line);
        stream.line.clear();
        if (buffer[i] == '\n') continue;
      }
      stream.line += buffer[i];
    }
  }
}

void Relay::read_agent_output() {
  constexpr size_t kKept = 4096;
  char buffer[4096];
  for (;;) {
    ssize_t n = read(agent_.output.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && retry_later(errno)) return;
    if (n <= 0) {
      agent_.output.reset();
      return;
    }
    if (agent_output_.size() < kKept) {
      agent_output_.append(buffer, std::min(static_cast<size_t>(n), kKept - agent_output_.size()));
    }
  }
}

void Relay::drain_streams() {
  if (formatter_errors_.fd.valid()) read_lines(formatter_errors_, hooks_.formatter_line);
  if (agent_errors_.fd.valid()) read_lines(agent_errors_, hooks_.agent_line);
  if (agent_.output.valid()) read_agent_output();
}

void Relay::measure() {
  int queued = 0;
  if (agent_.input_probe.valid() && ioctl(agent_.input_probe.get(), FIONREAD, &queued) == 0) {
    queued_ = queued;
  }
  Clock::TimePoint now = clock_.steady_now();
  long long taken = written_ - queued_;
  if (taken > taken_) {
    taken_ = taken;
    last_move_ = now;
    if (hooks_.moved) hooks_.moved(taken_);
  }
  // The limit counts only while bytes wait for the agent: a formatter that takes its
  // time (a slow job on standard input) holds up nothing at the printer.
  if (!data_waiting()) last_move_ = now;
}

void Relay::check() {
  processes_.reap();
  measure();
  if (hooks_.stop_requested && hooks_.stop_requested()) return end(STOPPED);
  if (processes_.ended(agent_.pid)) {
    // What the agent wrote before it ended is in its pipes: read it before telling.
    drain_streams();
    return end(AGENT_ENDED);
  }
  Clock::TimePoint now = clock_.steady_now();
  if (data_waiting() && now - last_move_ >= limits_.stall) return end(STALLED);
  if (!finishing_) {
    bool formatter_done = !formatter_output_.valid() && processes_.ended(formatter_);
    if (formatter_done && begin_ == end_) {
      drain_streams();
      // Its standard error ends with it, unless something it started still holds it.
      return end(FORMATTER_ENDED);
    }
    return;
  }
  if (begin_ == end_ && agent_.input.valid()) agent_.input.reset();
  if (!agent_.input.valid() && queued_ == 0 && !last_byte_) {
    last_byte_ = true;
    end_deadline_ = now + limits_.end;
    if (hooks_.last_byte_taken) hooks_.last_byte_taken();
  }
  if (last_byte_ && now >= end_deadline_) return end(END_TIMED_OUT);
}
