// Temporary trees and program runs for program-level tests.
#include "tests/support/program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

TempTree::TempTree() {
  std::string pattern = (fs::temp_directory_path() / "quintaro-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
}

TempTree::~TempTree() {
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

std::string TempTree::path(const std::string& relative) const {
  if (!relative.empty() && relative[0] == '/') return root_ + relative;
  return root_ + "/" + relative;
}

std::string TempTree::write(const std::string& relative, const std::string& content,
                            int mode) const {
  std::string full = path(relative);
  fs::create_directories(fs::path(full).parent_path());
  {
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out << content;
  }
  chmod(full.c_str(), static_cast<mode_t>(mode));
  return full;
}

std::string TempTree::read(const std::string& relative) const { return read_file(path(relative)); }

bool TempTree::exists(const std::string& relative) const {
  struct stat st;
  return lstat(path(relative).c_str(), &st) == 0;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> test_environment(const std::vector<std::string>& extra) {
  std::vector<std::string> env = {"PATH=/usr/bin:/bin", "LANG=C"};
  for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS"}) {
    if (const char* value = getenv(name)) env.push_back(std::string(name) + "=" + value);
  }
  env.insert(env.end(), extra.begin(), extra.end());
  return env;
}

void exec_program(const std::string& program, std::vector<std::string> argv_text,
                  std::vector<std::string> env_text) {
  std::vector<char*> argv, envp;
  for (auto& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto& e : env_text) envp.push_back(e.data());
  envp.push_back(nullptr);
  execve(program.c_str(), argv.data(), envp.data());
  _exit(127);
}

namespace {

void set_nonblocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

}  // namespace

RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const RunOptions& options, const std::string& argv0) {
  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (pipe(in_pipe) != 0 || pipe(out_pipe) != 0 || pipe(err_pipe) != 0) {
    throw std::runtime_error("pipe failed");
  }
  std::vector<std::string> argv_text;
  argv_text.push_back(argv0.empty() ? program : argv0);
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<std::string> env_text = test_environment(options.env);

  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    if (!options.input_file.empty()) {
      int fd = open(options.input_file.c_str(), O_RDONLY);
      if (fd < 0) _exit(127);
      dup2(fd, 0);
      close(fd);
    } else {
      dup2(in_pipe[0], 0);
    }
    if (!options.output_file.empty()) {
      int fd = open(options.output_file.c_str(), O_WRONLY);
      if (fd < 0) _exit(127);
      dup2(fd, 1);
      close(fd);
    } else {
      dup2(out_pipe[1], 1);
    }
    dup2(err_pipe[1], 2);
    for (int fd : {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) {
      close(fd);
    }
    exec_program(program, std::move(argv_text), std::move(env_text));
  }
  close(in_pipe[0]);
  close(out_pipe[1]);
  close(err_pipe[1]);
  if (options.close_stdout_early) {
    close(out_pipe[0]);
    out_pipe[0] = -1;
  }
  // Feed the input and drain both outputs together so that no pipe fills up.
  signal(SIGPIPE, SIG_IGN);
  set_nonblocking(in_pipe[1]);
  size_t written = 0;
  int in_fd = in_pipe[1];
  if (!options.input_file.empty() || options.input.empty()) {
    close(in_fd);
    in_fd = -1;
  }
  RunResult result;
  int out_fd = out_pipe[0], err_fd = err_pipe[0];
  while (out_fd >= 0 || err_fd >= 0) {
    struct pollfd fds[3];
    int n = 0;
    if (in_fd >= 0) fds[n++] = {in_fd, POLLOUT, 0};
    if (out_fd >= 0) fds[n++] = {out_fd, POLLIN, 0};
    if (err_fd >= 0) fds[n++] = {err_fd, POLLIN, 0};
    if (poll(fds, static_cast<nfds_t>(n), 30000) <= 0) break;
    for (int i = 0; i < n; ++i) {
      if (fds[i].revents == 0) continue;
      if (fds[i].fd == in_fd) {
        ssize_t w = write(in_fd, options.input.data() + written, options.input.size() - written);
        if (w > 0) written += static_cast<size_t>(w);
        if (w < 0 && errno != EAGAIN) written = options.input.size();
        if (written >= options.input.size()) {
          close(in_fd);
          in_fd = -1;
        }
        continue;
      }
      char buffer[65536];
      ssize_t r = read(fds[i].fd, buffer, sizeof buffer);
      std::string& sink = fds[i].fd == out_fd ? result.out : result.err;
      if (r > 0) {
        sink.append(buffer, static_cast<size_t>(r));
      } else if (r == 0 || errno != EINTR) {
        close(fds[i].fd);
        (fds[i].fd == out_fd ? out_fd : err_fd) = -1;
      }
    }
  }
  if (in_fd >= 0) close(in_fd);
  if (out_fd >= 0) close(out_fd);
  if (err_fd >= 0) close(err_fd);
  int status = 0;
  waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}
