// Running programs without a shell.
#include "common/process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <string>

namespace {

std::string read_all(int fd) {
  std::string text;
  char buffer[256];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
  return text;
}

TEST(SpawnProgram, ArgumentsArriveUnchangedAndStatusComesBack) {
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  // Shell characters, blanks and quotes are plain data for the started program.
  pid_t pid = spawn_program(
      "/bin/sh", {"sh", "-c", "printf '[%s]' \"$@\"; exit 3", "sh", "a b", "$(x)", "'\";", ""},
      {.stdout_fd = out[1]});
  ASSERT_GT(pid, 0);
  close(out[1]);
  EXPECT_EQ(read_all(out[0]), "[a b][$(x)]['\";][]");
  close(out[0]);
  EXPECT_EQ(wait_program(pid), 3);
}

TEST(SpawnProgram, SignalsAndMissingProgramsAreFailures) {
  pid_t killed = spawn_program("/bin/sh", {"sh", "-c", "kill -TERM $$"});
  EXPECT_EQ(wait_program(killed), 128 + SIGTERM);
  pid_t missing = spawn_program("/no/such/program", {"x"});
  EXPECT_EQ(wait_program(missing), 127);
}

TEST(SpawnProgram, IgnoredSignalsAreRestoredInTheChild) {
  signal(SIGPIPE, SIG_IGN);
  pid_t pid = spawn_program("/bin/sh", {"sh", "-c", "kill -PIPE $$"});
  EXPECT_EQ(wait_program(pid), 128 + SIGPIPE);
  signal(SIGPIPE, SIG_DFL);
}

TEST(SpawnProgram, ChildCanKeepOnlyTheEffectiveIds) {
  if (geteuid() != 0) GTEST_SKIP() << "needs the superuser to swap identities";
  // Like a privileged agent after swapping: real ids privileged, effective the user's.
  pid_t parent = fork();
  ASSERT_GE(parent, 0);
  if (parent == 0) {
    if (setregid(0, 65534) != 0 || setreuid(0, 65534) != 0) _exit(10);
    int out[2];
    if (pipe(out) != 0) _exit(11);
    pid_t pid = spawn_program("/bin/sh", {"sh", "-c", "echo $(id -ru) $(id -u) $(id -rg) $(id -g)"},
                              {.stdout_fd = out[1], .effective_ids_only = true});
    close(out[1]);
    std::string ids = read_all(out[0]);
    _exit(wait_program(pid) == 0 && ids == "65534 65534 65534 65534\n" ? 0 : 12);
  }
  EXPECT_EQ(wait_program(parent), 0);
}

}  // namespace
