// The progress line: shown on a terminal only, at most once a second, and ended once.
#include "hostsweep/progress.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

namespace {

class SteppedClock : public Clock {
 public:
  time_t t = 1000;
  time_t now() override { return t; }
};

std::string drain(int fd) {
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, n);
  return text;
}

TEST(ProgressLine, OnATerminalOnlyAndAtMostOnceASecond) {
  EXPECT_EQ(ProgressLine::text(3, 254, 2, 1, 75),
            "Probed 3 of 254 addresses, 2 in flight, 1 printer found, 1:15");
  SteppedClock clock;
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
  ASSERT_GE(terminal, 0);
  fcntl(master, F_SETFL, O_NONBLOCK);
  int pipe_fds[2];
  ASSERT_EQ(pipe2(pipe_fds, O_NONBLOCK), 0);

  ProgressLine not_a_terminal(pipe_fds[1], true, 2, clock);
  ProgressLine debug_there(terminal, false, 2, clock);
  ProgressLine line(terminal, true, 2, clock);
  for (ProgressLine* p : {&not_a_terminal, &debug_there, &line}) {
    p->started();
    p->started();  // the same second: not shown again
    clock.t += 61;
    p->found();
    p->ended();
    p->finish();
    p->finish();
    clock.t -= 61;
  }
  EXPECT_EQ(drain(pipe_fds[0]), "");
  EXPECT_EQ(drain(master),
            "\rProbed 1 of 2 addresses, 1 in flight, 0 printers found, 0:00\033[K"
            "\rProbed 2 of 2 addresses, 2 in flight, 1 printer found, 1:01\033[K"
            "\rProbed 2 of 2 addresses, 1 in flight, 1 printer found, 1:01\033[K\r\n");
  for (int fd : {master, terminal, pipe_fds[0], pipe_fds[1]}) close(fd);
}

}  // namespace
