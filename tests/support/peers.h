// Test support: loopback peers. Listening sockets and test printer ports on loopback
// addresses, reading and sending what a peer exchanges, and a program (the transport
// agent) run in the background with an input the test feeds and closes itself.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <string>
#include <string_view>
#include <vector>

#include "common/unique_fd.h"

// A listening socket on a loopback address; throws when it cannot listen.
UniqueFd listen_on(const std::string& address, int port);
// Reads until `want` bytes arrived, or until a read gives nothing (blocking reads).
std::string read_available(int fd, size_t want);

// One listening port of a test printer.
class TestPrinterPort {
 public:
  TestPrinterPort(const std::string& address, int port);
  // The next connection, or an invalid descriptor after `timeout_ms`.
  UniqueFd accept_connection(int timeout_ms = 20000);

 private:
  UniqueFd listener_;
};

// Reads until the peer closes its side (or the time-out passes).
std::string read_until_eof(int fd, int timeout_ms = 20000);
// Reads until `size` bytes arrived (or the time-out passes).
std::string read_bytes(int fd, size_t size, int timeout_ms = 20000);
void send_bytes(int fd, std::string_view bytes);
// Closes with a reset instead of an orderly end.
void reset_connection(UniqueFd& connection);
// Waits until `predicate` holds, polling every 10 ms; false after `timeout_ms`.
template <typename Predicate>
bool eventually(Predicate predicate, int timeout_ms = 20000);

// The agent started in the background; standard output and error go to files.
class AgentProcess {
 public:
  AgentProcess(const std::string& program, const std::vector<std::string>& args,
               const std::vector<std::string>& env, const std::string& output_dir);
  ~AgentProcess();

  void write_input(std::string_view bytes);
  void close_input();
  // The exit status (128 + signal); kills the agent and gives -1 after `timeout_ms`.
  int wait(int timeout_ms = 30000);
  void send_signal(int signal_number);
  std::string out() const;
  std::string err() const;

 private:
  pid_t pid_ = -1;
  UniqueFd input_;
  std::string out_path_, err_path_;
};

template <typename Predicate>
bool eventually(Predicate predicate, int timeout_ms) {
  for (int waited = 0; waited < timeout_ms; waited += 10) {
    if (predicate()) return true;
    usleep(10000);
  }
  return predicate();
}
