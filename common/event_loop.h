// A small select loop: descriptors watched for reading or writing, one callback each,
// one-shot timers, and select sources that bring descriptors and a time-out of their own.
//
// One round of run():
//   1. the before-select hook runs (it may change the registrations, or stop the loop);
//   2. each select source adds its descriptors and may shorten the time-out;
//   3. select waits for the registered descriptors whose mask is not NONE and for the
//      sources' descriptors, at most until the earliest timer or source time-out.
//      Interrupted by a signal (EINTR), the round starts again at 1;
//   4. each registered descriptor found ready gets one call of its callback with what
//      it is ready for, in the order of registration;
//   5. each source is told what is ready and whether its time-out passed, in the
//      order the sources were added;
//   6. the timers that are due fire, earliest first (in order of creation when due
//      together).
// stop() ends run() as soon as the callback (or hook) that calls it returns: no
// further callback of the round runs. A registration removed or replaced during a
// round is not served with what select found for the old one; a timer cancelled
// during a round does not fire.
//
// select cannot take a descriptor at or above FD_SETSIZE: registering one fails, and
// run() ends when a source gives one. Meant for a handful of descriptors; run() is
// not re-entrant. An exception thrown by a callback leaves run() and passes to its
// caller; the loop stays usable.
#pragma once

#include <sys/select.h>
#include <sys/time.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <vector>

// Descriptors and a time-out managed elsewhere, such as a protocol library that keeps
// its own sockets and retransmission times, joined to the loop's select each round.
class SelectSource {
 public:
  virtual ~SelectSource() = default;
  // Before each select. Adds the source's descriptors (each below FD_SETSIZE) to
  // `read` and `write` and raises `nfds` to one above the highest of them. `block`
  // comes in true and `timeout` zero; a source that wants to be called back after a
  // time sets `block` to false and `timeout` to that time.
  virtual void prepare(fd_set& read, fd_set& write, int& nfds, timeval& timeout, bool& block) = 0;
  // After each select that was not interrupted. `read` and `write` hold what select
  // found ready (the loop's own descriptors included); `timed_out` is true when the
  // time-out this source asked for in prepare has passed.
  virtual void dispatch(const fd_set& read, const fd_set& write, bool timed_out) = 0;
};

class EventLoop {
 public:
  // What a descriptor is watched for (its mask), and what it was found ready for.
  enum Events { NONE = 0, READABLE = 1, WRITABLE = 2 };
  enum AddResult {
    ADDED,
    FD_OUT_OF_RANGE,  // negative, or at or above FD_SETSIZE: select cannot take it
  };
  enum Exit {
    STOPPED,              // stop() was called
    IDLE,                 // nothing to wait for: no descriptor watched, no timer, and
                          // no source asked for anything
    SELECT_FAILED,        // select failed other than by EINTR; errno tells why
    SOURCE_OUT_OF_RANGE,  // a source gave a descriptor at or above FD_SETSIZE
  };
  // Called with the descriptor and what it is ready for (READABLE, WRITABLE or both,
  // never more than its mask).
  using FdCallback = std::function<void(int fd, int ready)>;
  using TimerCallback = std::function<void()>;
  using TimerId = unsigned long long;  // never 0
  using TimePoint = std::chrono::steady_clock::time_point;

  // Registers `fd` with `mask` (NONE: registered but not watched). A descriptor that
  // is registered already is registered anew: its old callback is dropped and it
  // moves to the end of the order. The loop never closes a descriptor; remove it
  // before closing it.
  AddResult add(int fd, int mask, FdCallback callback);
  // Changes the mask of a registered descriptor; false when it is not registered.
  bool set_mask(int fd, int mask);
  // Ends the registration of `fd`, if any.
  void remove(int fd);

  // Calls `callback` once, in the first round that ends `delay` or more from now.
  TimerId add_timer(std::chrono::milliseconds delay, TimerCallback callback);
  // The same for a time on the steady clock, such as a deadline computed elsewhere.
  TimerId add_timer_at(TimePoint due, TimerCallback callback);
  // False when the timer has fired or was cancelled already.
  bool cancel_timer(TimerId id);

  // The source must outlive its membership.
  void add_source(SelectSource& source);
  void remove_source(SelectSource& source);

  // Runs at the start of every round; an empty hook removes it.
  void set_before_select(std::function<void()> hook) { before_select_ = std::move(hook); }

  // Runs rounds until stop() or one of the other exits.
  Exit run();
  // Safe to call from a signal handler: when the signal interrupts select, run() ends
  // before the next select (one that lands just before select takes effect when select
  // next returns). A stop() before run() ends the next run() at once.
  void stop() { stop_requested_ = true; }

 private:
  struct Watch {
    int fd;
    int mask;
    FdCallback callback;
    unsigned long long serial;  // tells a registration from a later one of the same fd
  };
  struct Timer {
    TimerId id;
    TimePoint due;
    TimerCallback callback;
  };
  struct Source {
    SelectSource* source;
    bool has_deadline;
    TimePoint deadline;
  };

  Watch* find(int fd);
  void serve_descriptors(const fd_set& read, const fd_set& write);
  void serve_sources(const fd_set& read, const fd_set& write);
  void fire_timers();
  bool stopping() const { return stop_requested_; }
  Exit stopped();

  std::vector<Watch> watches_;  // in order of registration
  std::vector<Timer> timers_;   // in order of creation
  std::vector<Source> sources_;
  std::function<void()> before_select_;
  std::atomic<bool> stop_requested_{false};
  unsigned long long next_serial_ = 1;
  TimerId next_timer_ = 1;
};
