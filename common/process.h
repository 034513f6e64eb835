// Starting other programs without a shell: every argument reaches the program as
// exactly one argument, whatever characters it holds.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

struct SpawnOptions {
  // Descriptors the child gets as its standard input, output and error; -1 keeps
  // the caller's. A descriptor given here is not closed in the caller.
  int stdin_fd = -1;
  int stdout_fd = -1;
  int stderr_fd = -1;
  // The child takes the caller's effective user and group ids as its real ids too,
  // so that a program started by a process with a privileged real identity (one
  // that swapped its ids) cannot regain it. A child that cannot do so exits 127.
  bool effective_ids_only = false;
};

// Starts `path` with the argument vector `argv` (argv[0] included) and the caller's
// environment. Signals the caller ignores or catches are back to their defaults in
// the child. Gives the child's process id, or -1 (errno set) when it could not be
// started; a program that cannot be executed shows up as exit status 127.
pid_t spawn_program(const std::string& path, const std::vector<std::string>& argv,
                    const SpawnOptions& options = {});

// Waits for `pid`; gives its exit status, 128 + the signal number when a signal
// ended it, or -1 when waiting fails.
int wait_program(pid_t pid);
