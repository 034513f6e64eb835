// A fake dialer for the agent's unit tests: connects as scripted and records its waits
// instead of waiting.
#pragma once

#include <errno.h>
#include <sys/socket.h>

#include <deque>
#include <string>
#include <vector>

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
