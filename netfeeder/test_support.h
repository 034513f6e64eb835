// Support shared by the agent's unit tests: a scripted dialer that records its waits,
// loopback listeners, and reading what a peer sent.
#pragma once

#include <arpa/inet.h>
#include <errno.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <deque>
#include <string>
#include <vector>

#include "common/unique_fd.h"
#include "netfeeder/connect.h"

// Answers each connect with the next scripted error number (0 connects for real),
// and records the waits instead of waiting.
class ScriptedDialer : public Dialer {
 public:
  explicit ScriptedDialer(std::deque<int> script) : script_(std::move(script)) {}
  int connect_socket(int fd, const sockaddr* address, socklen_t length) override {
    addresses.emplace_back(reinterpret_cast<const char*>(address), length);
    if (script_.empty()) return ECONNREFUSED;
    int error = script_.front();
    script_.pop_front();
    if (error == 0) return Dialer::connect_socket(fd, address, length);
    return error;
  }
  void sleep_seconds(unsigned seconds) override { sleeps.push_back(seconds); }

  std::vector<std::string> addresses;  // one per attempt
  std::vector<unsigned> sleeps;

 private:
  std::deque<int> script_;
};

// A listening socket on a loopback address.
inline UniqueFd listen_on(const char* address, int port) {
  UniqueFd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  int one = 1;
  setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in in{};
  in.sin_family = AF_INET;
  in.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, address, &in.sin_addr);
  if (bind(fd.get(), reinterpret_cast<sockaddr*>(&in), sizeof in) != 0 ||
      listen(fd.get(), 4) != 0) {
    ADD_FAILURE() << "cannot listen on " << address << ":" << port;
  }
  return fd;
}

// Reads until `want` bytes arrived, or until a read gives nothing.
inline std::string read_available(int fd, size_t want) {
  std::string got;
  char buffer[2048];
  while (got.size() < want) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    got.append(buffer, static_cast<size_t>(n));
  }
  return got;
}
