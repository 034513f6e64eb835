// Starting other programs with fork and exec.
#include "common/process.h"

#include <errno.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

pid_t spawn_program(const std::string& path, const std::vector<std::string>& argv,
                    const SpawnOptions& options) {
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  pid_t pid = fork();
  if (pid != 0) return pid;

  // Child: only async-signal-safe calls from here on.
  const int targets[3] = {0, 1, 2};
  const int sources[3] = {options.stdin_fd, options.stdout_fd, options.stderr_fd};
  for (int i = 0; i < 3; ++i) {
    if (sources[i] >= 0 && sources[i] != targets[i] && dup2(sources[i], targets[i]) < 0) {
      _exit(127);
    }
  }
  if (options.effective_ids_only) {
    gid_t gid = getegid();
    uid_t uid = geteuid();
    if (setregid(gid, gid) != 0 || setreuid(uid, uid) != 0) _exit(127);
  }
  for (int sig = 1; sig < NSIG; ++sig) signal(sig, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  execv(path.c_str(), args.data());
  _exit(127);
}

int wait_program(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}
