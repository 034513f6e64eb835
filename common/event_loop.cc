// The select loop: registrations, timers, sources and the rounds of run().
#include "common/event_loop.h"

#include <errno.h>

#include <algorithm>

namespace {

using std::chrono::microseconds;
using std::chrono::steady_clock;

timeval to_timeval(steady_clock::duration wait) {
  // Rounded up, so that a wait never ends just before what it waits for.
  long long us =
      std::chrono::ceil<microseconds>(std::max(wait, steady_clock::duration::zero())).count();
  return timeval{static_cast<time_t>(us / 1000000), static_cast<suseconds_t>(us % 1000000)};
}

steady_clock::duration to_duration(const timeval& t) {
  return std::chrono::seconds(t.tv_sec) + microseconds(t.tv_usec);
}

}  // namespace

EventLoop::AddResult EventLoop::add(int fd, int mask, FdCallback callback) {
  if (fd < 0 || fd >= FD_SETSIZE) return FD_OUT_OF_RANGE;
  remove(fd);
  watches_.push_back({fd, mask, std::move(callback), next_serial_++});
  return ADDED;
}

EventLoop::Watch* EventLoop::find(int fd) {
  for (Watch& w : watches_) {
    if (w.fd == fd) return &w;
  }
  return nullptr;
}

bool EventLoop::set_mask(int fd, int mask) {
  Watch* w = find(fd);
  if (!w) return false;
  w->mask = mask;
  return true;
}

void EventLoop::remove(int fd) {
  std::erase_if(watches_, [fd](const Watch& w) { return w.fd == fd; });
}

EventLoop::TimerId EventLoop::add_timer(std::chrono::milliseconds delay, TimerCallback callback) {
  return add_timer_at(steady_clock::now() + delay, std::move(callback));
}

EventLoop::TimerId EventLoop::add_timer_at(TimePoint due, TimerCallback callback) {
  TimerId id = next_timer_++;
  timers_.push_back({id, due, std::move(callback)});
  return id;
}

bool EventLoop::cancel_timer(TimerId id) {
  return std::erase_if(timers_, [id](const Timer& t) { return t.id == id; }) > 0;
}

void EventLoop::add_source(SelectSource& source) {
  remove_source(source);
  sources_.push_back({&source, false, {}});
}

void EventLoop::remove_source(SelectSource& source) {
  std::erase_if(sources_, [&source](const Source& s) { return s.source == &source; });
}

EventLoop::Exit EventLoop::stopped() {
  stop_requested_ = false;
  return STOPPED;
}

EventLoop::Exit EventLoop::run() {
  for (;;) {
    if (stopping()) return stopped();
    if (before_select_) before_select_();
    if (stopping()) return stopped();

    fd_set read, write;
    FD_ZERO(&read);
    FD_ZERO(&write);
    int nfds = 0;
    for (const Watch& w : watches_) {
      if (w.mask & READABLE) FD_SET(w.fd, &read);
      if (w.mask & WRITABLE) FD_SET(w.fd, &write);
      if (w.mask != NONE) nfds = std::max(nfds, w.fd + 1);
    }
    TimePoint now = steady_clock::now();
    bool have_wait = false;
    steady_clock::duration wait{};
    auto shorten = [&](steady_clock::duration d) {
      if (!have_wait || d < wait) wait = d;
      have_wait = true;
    };
    for (Source& s : sources_) {
      timeval timeout{0, 0};
      bool block = true;
      s.source->prepare(read, write, nfds, timeout, block);
      s.has_deadline = !block;
      if (!block) {
        s.deadline = now + to_duration(timeout);
        shorten(to_duration(timeout));
      }
    }
    if (nfds > FD_SETSIZE) return SOURCE_OUT_OF_RANGE;
    for (const Timer& t : timers_) shorten(t.due - now);
    if (nfds == 0 && !have_wait) return IDLE;

    timeval timeout = to_timeval(wait);
    if (select(nfds, &read, &write, nullptr, have_wait ? &timeout : nullptr) < 0) {
      if (errno == EINTR) continue;
      return SELECT_FAILED;
    }
    serve_descriptors(read, write);
    if (stopping()) return stopped();
    serve_sources(read, write);
    if (stopping()) return stopped();
    fire_timers();
  }
}

void EventLoop::serve_descriptors(const fd_set& read, const fd_set& write) {
  // Taken before the first callback: callbacks may add, change and remove registrations.
  std::vector<std::pair<int, unsigned long long>> round;
  round.reserve(watches_.size());
  for (const Watch& w : watches_) round.emplace_back(w.fd, w.serial);
  for (const auto& [fd, serial] : round) {
    if (stopping()) return;
    Watch* w = find(fd);
    if (!w || w->serial != serial) continue;
    int ready = NONE;
    if ((w->mask & READABLE) && FD_ISSET(fd, &read)) ready |= READABLE;
    if ((w->mask & WRITABLE) && FD_ISSET(fd, &write)) ready |= WRITABLE;
    if (ready == NONE) continue;
    FdCallback callback = w->callback;  // it may remove its own registration
    callback(fd, ready);
  }
}

void EventLoop::serve_sources(const fd_set& read, const fd_set& write) {
  std::vector<Source> round = sources_;
  TimePoint now = steady_clock::now();
  for (const Source& s : round) {
    if (stopping()) return;
    bool still_added = std::any_of(sources_.begin(), sources_.end(),
                                   [&s](const Source& other) { return other.source == s.source; });
    if (still_added) s.source->dispatch(read, write, s.has_deadline && now >= s.deadline);
  }
}

void EventLoop::fire_timers() {
  // Only those due now: a timer added by a callback waits for a later round.
  TimePoint now = steady_clock::now();
  std::vector<std::pair<TimePoint, TimerId>> due;
  for (const Timer& t : timers_) {
    if (t.due <= now) due.emplace_back(t.due, t.id);
  }
  std::sort(due.begin(), due.end());
  for (const auto& [when, id] : due) {
    if (stopping()) return;
    auto it = std::find_if(timers_.begin(), timers_.end(),
                           [id = id](const Timer& t) { return t.id == id; });
    if (it == timers_.end()) continue;  // cancelled by an earlier callback
    TimerCallback callback = std::move(it->callback);
    timers_.erase(it);
    callback();
  }
}
