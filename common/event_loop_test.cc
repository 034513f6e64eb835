// The rounds of the select loop: timers and their order, the descriptor bound, what
// descriptor callbacks see, stopping mid-round, signals, and select sources.
#include "common/event_loop.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>

#include "common/unique_fd.h"

namespace {

using namespace std::chrono_literals;

volatile sig_atomic_t g_alarm = 0;
void note_alarm(int) { g_alarm = 1; }

struct Pipe {
  Pipe() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) ADD_FAILURE() << "pipe";
    read.reset(fds[0]);
    write.reset(fds[1]);
  }
  void put(const std::string& bytes) {
    EXPECT_EQ(::write(write.get(), bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  std::string take() {
    char buffer[64];
    ssize_t n = ::read(read.get(), buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : "";
  }
  UniqueFd read, write;
};

struct Context {
  EventLoop loop;
  std::string log;
  Pipe pipes[3];
  std::unique_ptr<SelectSource> source;
};

// Brings the read end of a pipe and a 20 ms time-out to every round; when the
// time-out passes it fills the pipe, and when the pipe is ready it stops the loop.
class PipeSource : public SelectSource {
 public:
  explicit PipeSource(Context& c) : c_(c) {}
  void prepare(fd_set& read, fd_set&, int& nfds, timeval& timeout, bool& block) override {
    FD_SET(c_.pipes[0].read.get(), &read);
    nfds = std::max(nfds, c_.pipes[0].read.get() + 1);
    timeout = {0, 20000};
    block = false;
  }
  void dispatch(const fd_set& read, const fd_set&, bool timed_out) override {
    if (timed_out) {
      c_.log += "timeout ";
      c_.pipes[0].put("x");
    }
    if (FD_ISSET(c_.pipes[0].read.get(), &read)) {
      c_.log += "ready:" + c_.pipes[0].take() + " ";
      c_.loop.stop();
    }
  }

 private:
  Context& c_;
};

// Claims a descriptor select cannot take.
class OutOfRangeSource : public SelectSource {
 public:
  void prepare(fd_set&, fd_set&, int& nfds, timeval&, bool&) override { nfds = FD_SETSIZE + 1; }
  void dispatch(const fd_set&, const fd_set&, bool) override {}
};

TEST(EventLoop, RoundsServeDescriptorsSourcesAndTimersInOrder) {
  struct sigaction action = {}, saved = {};
  action.sa_handler = note_alarm;
  sigemptyset(&action.sa_mask);
  ASSERT_EQ(sigaction(SIGALRM, &action, &saved), 0);

  struct Case {
    const char* name;
    std::function<void(Context&)> set_up;
    EventLoop::Exit exit;
    std::string log;
  };
  const Case cases[] = {
      {"timers fire earliest first; cancelled ones never",
       [](Context& c) {
         // One reference time, so that a slow start cannot reorder the timers.
         EventLoop::TimePoint t0 = std::chrono::steady_clock::now();
         c.loop.add_timer_at(t0 + 30ms, [&c] {
           c.log += "c ";
           c.loop.stop();
         });
         c.loop.add_timer_at(t0 + 10ms, [&c] { c.log += "a "; });
         EventLoop::TimerId x = c.loop.add_timer_at(t0 + 15ms, [&c] { c.log += "x "; });
         c.loop.add_timer_at(t0 + 20ms, [&c] { c.log += "b "; });
         if (c.loop.cancel_timer(x)) c.log += "cancelled ";
         if (c.loop.cancel_timer(x)) c.log += "again ";
         // Both due in the first round, in the order of creation; the first cancels
         // the second.
         auto second = std::make_shared<EventLoop::TimerId>(0);
         c.loop.add_timer_at(t0, [&c, second] {
           c.log += "zero ";
           c.loop.cancel_timer(*second);
         });
         *second = c.loop.add_timer_at(t0, [&c] { c.log += "cancelled-in-round "; });
       },
       EventLoop::STOPPED, "cancelled zero a b c "},
      {"descriptors select cannot take are refused",
       [](Context& c) {
         auto nothing = [](int, int) {};
         for (int fd : {FD_SETSIZE, FD_SETSIZE + 7, -1}) {
           c.log += c.loop.add(fd, EventLoop::READABLE, nothing) == EventLoop::FD_OUT_OF_RANGE
                        ? "refused "
                        : "added ";
         }
         if (!c.loop.set_mask(FD_SETSIZE, EventLoop::READABLE)) c.log += "unknown ";
         c.source = std::make_unique<OutOfRangeSource>();
         c.loop.add_source(*c.source);
       },
       EventLoop::SOURCE_OUT_OF_RANGE, "refused refused refused unknown "},
      {"callbacks see what is ready, in the order of registration",
       [](Context& c) {
         c.pipes[0].put("hi");
         c.loop.add(c.pipes[0].write.get(), EventLoop::WRITABLE, [&c](int fd, int ready) {
           c.log += "writable:" + std::to_string(ready) + " ";
           c.loop.set_mask(fd, EventLoop::NONE);
         });
         c.loop.add(c.pipes[0].read.get(), EventLoop::READABLE | EventLoop::WRITABLE,
                    [&c](int fd, int ready) {
                      c.log += "read:" + std::to_string(ready) + ":" + c.pipes[0].take() + " ";
                      c.loop.remove(fd);
                    });
       },
       EventLoop::IDLE,  // once nothing is watched any more
       "writable:2 read:1:hi "},
      {"stop and replaced registrations end what the round serves",
       [](Context& c) {
         for (Pipe& p : c.pipes) p.put("y");
         c.loop.add(c.pipes[0].read.get(), EventLoop::READABLE, [&c](int, int) {
           c.log += "one ";
           c.loop.add(c.pipes[1].read.get(), EventLoop::READABLE,
                      [&c](int, int) { c.log += "new "; });
         });
         c.loop.add(c.pipes[1].read.get(), EventLoop::READABLE,
                    [&c](int, int) { c.log += "two "; });
         c.loop.add(c.pipes[2].read.get(), EventLoop::READABLE, [&c](int, int) {
           c.log += "three ";
           c.loop.stop();
         });
         c.loop.add(c.pipes[2].write.get(), EventLoop::WRITABLE,
                    [&c](int, int) { c.log += "writable "; });
         c.loop.add_timer(0ms, [&c] { c.log += "timer "; });
       },
       EventLoop::STOPPED, "one three "},
      {"a signal interrupting select does not end the loop",
       [](Context& c) {
         g_alarm = 0;
         itimerval soon{{0, 0}, {0, 10000}};
         setitimer(ITIMER_REAL, &soon, nullptr);
         c.loop.add(c.pipes[0].read.get(), EventLoop::READABLE, [](int, int) {});
         c.loop.add_timer(100ms, [&c] {
           c.log += g_alarm ? "after the signal " : "no signal ";
           c.loop.stop();
         });
       },
       EventLoop::STOPPED, "after the signal "},
      {"a source's descriptors and time-out join the select",
       [](Context& c) {
         c.source = std::make_unique<PipeSource>(c);
         c.loop.add_source(*c.source);
         c.loop.add_timer(5000ms, [&c] {
           c.log += "late ";
           c.loop.stop();
         });
       },
       EventLoop::STOPPED, "timeout ready:x "},
  };
  for (const Case& c : cases) {
    Context context;
    c.set_up(context);
    EXPECT_EQ(context.loop.run(), c.exit) << c.name;
    EXPECT_EQ(context.log, c.log) << c.name;
  }
  sigaction(SIGALRM, &saved, nullptr);
}

}  // namespace
