// Test printer ports and the background agent.
#include "tests/support/peers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include "tests/support/program.h"

UniqueFd listen_on(const std::string& address, int port) {
  UniqueFd listener(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  int one = 1;
  setsockopt(listener.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in in{};
  in.sin_family = AF_INET;
  in.sin_port = htons(static_cast<uint16_t>(port));
  if (inet_pton(AF_INET, address.c_str(), &in.sin_addr) != 1 ||
      bind(listener.get(), reinterpret_cast<sockaddr*>(&in), sizeof in) != 0 ||
      listen(listener.get(), 8) != 0) {
    throw std::runtime_error("cannot listen on " + address + ":" + std::to_string(port));
  }
  return listener;
}

std::string read_available(int fd, size_t want) {
  std::string got;
  char buffer[2048];
  while (got.size() < want) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    got.append(buffer, static_cast<size_t>(n));
  }
  return got;
}

TestPrinterPort::TestPrinterPort(const std::string& address, int port)
    : listener_(listen_on(address, port)) {}

UniqueFd TestPrinterPort::accept_connection(int timeout_ms) {
  pollfd p{listener_.get(), POLLIN, 0};
  if (poll(&p, 1, timeout_ms) <= 0) return UniqueFd();
  return UniqueFd(accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
}

namespace {

// Reads what arrives within the time-out; false at end of file or time-out.
bool read_some(int fd, std::string& into, size_t limit, int timeout_ms) {
  pollfd p{fd, POLLIN, 0};
  if (poll(&p, 1, timeout_ms) <= 0) return false;
  char buffer[65536];
  ssize_t n = read(fd, buffer, std::min(sizeof buffer, limit));
  if (n <= 0) return false;
  into.append(buffer, static_cast<size_t>(n));
  return true;
}

}  // namespace

std::string read_until_eof(int fd, int timeout_ms) {
  std::string bytes;
  while (read_some(fd, bytes, 65536, timeout_ms)) {
  }
  return bytes;
}

std::string read_bytes(int fd, size_t size, int timeout_ms) {
  std::string bytes;
  while (bytes.size() < size && read_some(fd, bytes, size - bytes.size(), timeout_ms)) {
  }
  return bytes;
}

void send_bytes(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n <= 0) return;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}

void reset_connection(UniqueFd& connection) {
  linger now{1, 0};
  setsockopt(connection.get(), SOL_SOCKET, SO_LINGER, &now, sizeof now);
  connection.reset();
}

AgentProcess::AgentProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::vector<std::string>& env, const std::string& output_dir)
    : out_path_(output_dir + "/agent.out"), err_path_(output_dir + "/agent.err") {
  signal(SIGPIPE, SIG_IGN);
  int in[2];
  if (pipe2(in, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  std::vector<std::string> argv_text = {"netfeeder"};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<std::string> env_text = test_environment(env);
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    // A test that dies leaves no agent behind.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    int out = open(out_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(err_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0) _exit(127);
    dup2(in[0], 0);
    dup2(out, 1);
    dup2(err, 2);
    signal(SIGPIPE, SIG_DFL);
    exec_program(program, std::move(argv_text), std::move(env_text));
  }
  close(in[0]);
  input_.reset(in[1]);
}

AgentProcess::~AgentProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

void AgentProcess::write_input(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = write(input_.get(), bytes.data(), bytes.size());
    if (n <= 0) return;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}

void AgentProcess::close_input() { input_.reset(); }

int AgentProcess::wait(int timeout_ms) {
  int status = 0;
  bool done = eventually([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, timeout_ms);
  if (!done) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    return -1;
  }
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void AgentProcess::send_signal(int signal_number) {
  if (pid_ > 0) kill(pid_, signal_number);
}

std::string AgentProcess::out() const { return read_file(out_path_); }
std::string AgentProcess::err() const { return read_file(err_path_); }
