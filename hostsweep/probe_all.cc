// The probe engine and the select table.
#include "hostsweep/probe_all.h"

#include <errno.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>

#include "hostsweep/options.h"

namespace {

// Descriptors kept free for everything but probes (the debug and output files, the
// NPA socket, name look-ups).
constexpr int kReserve = 4;
// A staged start: when the limit allows it, five rounds of a fifth of the limit, one
// second apart, spread the first burst of requests.
constexpr int kStagedStartMinimum = 60;
constexpr int kStages = 5;
// The limit is not lowered by failed starts below this many probes.
constexpr int kLowestLoweredLimit = 40;

bool earlier(const timeval& a, const timeval& b) {
  return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_usec < b.tv_usec);
}

}  // namespace

ProbeEngine::ProbeEngine(SearchList& list, Identifier& identifier, std::vector<SelectRow*> rows,
                         int max_connections, EngineDebug debug, Clock& clock)
    : list_(list),
      identifier_(identifier),
      rows_(std::move(rows)),
      debug_(debug),
      clock_(clock),
      limit_(max_connections) {}

void ProbeEngine::trace(int bit, const char* format, ...) {
  if ((debug_.level & bit) == 0 || !debug_.out) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(debug_.out, format, args);
  va_end(args);
  std::fflush(debug_.out);
}

void ProbeEngine::raise_open_file_limit() {
  rlimit limit;
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0) {
    limit.rlim_cur = limit.rlim_max;
    if (setrlimit(RLIMIT_NOFILE, &limit) == 0) {
      trace(DEBUG_ENGINE, "setrlimit was successfull\n");
      return;
    }
  }
  trace(DEBUG_ENGINE, "setrlimit failed:%d\n", errno);
}

ProbeEngine::FreeDescriptors ProbeEngine::count_free_descriptors(int limit) {
  FreeDescriptors free;
  std::vector<int> taken;
  while (free.count < limit) {
    int fd = dup(1);
    if (fd < 0) break;
    taken.push_back(fd);
    if (fd >= FD_SETSIZE) {  // select could not watch it: not counted
      free.capped = true;
      break;
    }
    ++free.count;
  }
  for (int fd : taken) close(fd);
  return free;
}

void ProbeEngine::run_probes() {
  raise_open_file_limit();
  FreeDescriptors free = count_free_descriptors(limit_);
  limit_ = std::max(free.count - kReserve, 1);
  if (free.capped) {
    trace(DEBUG_ENGINE, "Connections capped: select can only watch descriptors below %d\n",
          FD_SETSIZE);
  }
  trace(DEBUG_ENGINE, "Max_connections = %d\n", limit_);

  if (limit_ >= kStagedStartMinimum) {
    for (int stage = 0; stage < kStages; ++stage) {
      for (int i = 0; i < limit_ / kStages; ++i) launch_step();
      probe_wait(1);
      if (outstanding_ == 0 && !more_addresses_) break;
    }
  } else {
    for (int i = 0; i < limit_; ++i) launch_step();
  }
  // Until every started probe has ended: the last answer is never abandoned.
  while (more_addresses_ || outstanding_ > 0) {
    if (outstanding_ == 0) {
      // Nothing in flight to wake the loop: start more, or wait a moment for
      // descriptors to come free before trying again.
      if (launch_step() != 0 && outstanding_ == 0 && more_addresses_) wait_events(1, 0);
      continue;
    }
    wait_events(0, 0);
  }
}

void ProbeEngine::probe_done() {
  --outstanding_;
  if (progress_) progress_->ended();
  launch_step();
}

int ProbeEngine::launch_step() {
  if (outstanding_ >= limit_ || !more_addresses_) return 1;
  int failures = 0;
  int started = 0;
  for (int attempt = 0; attempt < carried_failures_ + 1; ++attempt) {
    std::string address;
    if (list_.next_address(&address) != 0) {
      if (carried_failures_ == 0 && failures == 0) {
        more_addresses_ = false;
        return 0;
      }
      break;
    }
    trace(DEBUG_ENGINE, "Send to %s, outstanding connections = %d\n", address.c_str(),
          outstanding_);
    if (identifier_.identify_address(address) != 0) {
      ++failures;
      list_.put_back();  // the next attempt tries the same address again
    } else {
      ++outstanding_;
      ++started;
      if (progress_) progress_->started();
    }
  }
  if (failures > 0 && limit_ - failures > kLowestLoweredLimit) {
    limit_ -= failures;
    failures = 0;
  }
  carried_failures_ = failures;
  return started;
}

void ProbeEngine::probe_wait(int seconds) {
  trace(DEBUG_ENGINE, "IN probe select\n");
  time_t deadline = clock_.now() + seconds;
  for (time_t now = clock_.now(); outstanding_ > 0 && now < deadline; now = clock_.now()) {
    long remaining = static_cast<long>(deadline - now);
    trace(DEBUG_ENGINE, "probe_select call np_select(%ld,5)\n", remaining);
    wait_events(remaining, 5);
    trace(DEBUG_ENGINE, "probel_select time remaining %ld (%d)\n",
          static_cast<long>(deadline - clock_.now()), outstanding_);
  }
  trace(DEBUG_ENGINE, "OUT probe select\n");
}

void ProbeEngine::wait_events(long bound_seconds, long bound_microseconds) {
  fd_set read;
  int nfds = 0;
  bool again = true;
  for (int passes = 0; again; ++passes) {
    FD_ZERO(&read);
    nfds = 0;
    for (SelectRow* row : rows_) {
      timeval timeout{0, 0};
      bool block = true;
      row->prepare(nfds, read, timeout, block);
      if (timeout.tv_sec < 0 || timeout.tv_usec < 0) timeout = timeval{0, 1};
      row->blocking_ = block;
      row->seconds_ = timeout.tv_sec;
      row->microseconds_ = timeout.tv_usec;
      row->stamp_ = clock_.now();
    }
    // The rows' times count from their own time stamps; a row whose time has run out
    // meanwhile is prepared again, which processes its due timers.
    time_t now = rows_.empty() ? clock_.now() : rows_.back()->stamp_;
    again = false;
    for (SelectRow* row : rows_) {
      if (row->blocking_) continue;
      row->seconds_ -= static_cast<long>(now - row->stamp_);
      if (row->seconds_ < 0 || (row->seconds_ == 0 && row->microseconds_ == 0)) again = true;
    }
    // A row that keeps reporting a time already due must not hold the loop here.
    if (passes >= 100) break;
  }

  bool have_wait = false;
  timeval wait{0, 0};
  for (SelectRow* row : rows_) {
    if (row->blocking_) continue;
    timeval t{row->seconds_, row->microseconds_};
    if (!have_wait || earlier(t, wait)) wait = t;
    have_wait = true;
  }
  if (bound_seconds != 0 || bound_microseconds != 0) {
    timeval bound{bound_seconds, bound_microseconds};
    if (bound.tv_sec < 0 || bound.tv_usec < 0) bound = timeval{0, 1};
    if (!have_wait || earlier(bound, wait)) wait = bound;
    have_wait = true;
  }

  // Preparing the rows may have ended the last probes (a due time-out is processed
  // there): with nothing left in flight and no timer, a wait would never end.
  if (!have_wait && outstanding_ == 0) return;

  if (debug_.level & DEBUG_SELECT) {
    trace(DEBUG_SELECT, "| In mark_select\n");
    trace(DEBUG_SELECT, "| Select table: size = %d\n", static_cast<int>(rows_.size()));
    trace(DEBUG_SELECT, "| Entry\t\tBlocking\tsecs\tusecs\n");
    for (SelectRow* row : rows_) {
      trace(DEBUG_SELECT, "| %-20s%d\t\t%d\t%d\n", row->name(), row->blocking_ ? 1 : 0,
            static_cast<int>(row->seconds_), static_cast<int>(row->microseconds_));
    }
    if (have_wait) {
      trace(DEBUG_SELECT, "| ORVANTA select ( %d, %d) \n", static_cast<int>(wait.tv_sec),
            static_cast<int>(wait.tv_usec));
    } else {
      trace(DEBUG_SELECT, "| ORVANTA select block until data\n");
    }
  }

  int result = select(nfds, &read, nullptr, nullptr, have_wait ? &wait : nullptr);
  if (progress_) progress_->tick();
  if (result <= 0) {
    for (SelectRow* row : rows_) {
      if (!row->blocking_) row->expire();
    }
    return;
  }
  for (SelectRow* row : rows_) row->read(read);
}
