// Fuzz target of the NPA client's receive path: the input scripts commands sent to a
// print server on a loopback socket, the datagrams that server sends back, and the
// passing of time (a fake clock). Checks that every command that wants a reply gets
// one completion (at most one when it leaves the queue at its send; at least one when
// its session stays), once every timer has run out.
//
// Input: a sequence of operations, one byte each with arguments after it:
//   0 f s o n   npa_send with session flags f, subcommand s, options o (bit 0 reply
//               wanted, bit 1 INA port 0, bit 2 the completion sends a command, bits 3
//               and 4 the command: alert reset, alert, else the extension) and n data
//               bytes taken from the input (more than NPA_MAX_DATA is refused)
//   1 h l       the server sends a datagram of the next 8h + l bytes of the input
//   2 t         t seconds pass (npa_expire)
//   3           npa_prepare
//   4           the server drains the requests it received
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include <cstdint>
#include <cstdio>
#include <deque>
#include <vector>

#include "npa/npa_transport.h"

namespace {

class FakeClock : public Clock {
 public:
  time_t now() override { return seconds; }
  time_t seconds = 1000;
};

struct Command {
  uint8_t flags = 0;
  bool follow_up = false;
  bool wants_completion = false;
  int completions = 0;
};

class Exchange {
 public:
  Exchange() : npa_(NpaDebug{-1, null_file()}, clock_) {
    if (npa_.npa_init() != NPA_OK) __builtin_trap();
    server_.reset(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof server_address_;
    if (!server_.valid() || bind(server_.get(), reinterpret_cast<sockaddr*>(&any), sizeof any) ||
        getsockname(server_.get(), reinterpret_cast<sockaddr*>(&server_address_), &length)) {
      __builtin_trap();
    }
    length = sizeof client_address_;
    if (getsockname(npa_.fd(), reinterpret_cast<sockaddr*>(&client_address_), &length)) {
      __builtin_trap();
    }
    client_address_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  }

  void send(uint8_t flags, uint8_t subcommand, uint8_t options, std::span<const uint8_t> data) {
    uint8_t command = (options & 8)    ? NPA_ALERT_RESET_COMMAND
                      : (options & 16) ? NPA_ALERT_COMMAND
                                       : NPA_CORVANE_EXTENSION;
    bool reply_wanted = options & 1;
    size_t index = commands_.size();
    commands_.push_back({flags, (options & 4) != 0, reply_wanted});
    int result = npa_.npa_send(
        server_address_, (options & 2) ? 0 : 0x29, flags, command, subcommand, data, reply_wanted,
        [this, index](NpaSession& session) { completed(index, session); }, nullptr);
    if ((result != 0) != (data.size() > NPA_MAX_DATA)) __builtin_trap();
    if (result != 0) commands_[index].wants_completion = false;
  }

  void datagram(std::span<const uint8_t> bytes) {
    sendto(server_.get(), bytes.data(), bytes.size(), 0,
           reinterpret_cast<const sockaddr*>(&client_address_), sizeof client_address_);
    read_all();
  }

  void pass(time_t seconds) {
    clock_.seconds += seconds;
    npa_.npa_expire();
  }

  void prepare() {
    fd_set read;
    FD_ZERO(&read);
    int nfds = 0;
    timeval timeout{};
    bool block = true;
    npa_.npa_prepare(nfds, read, timeout, block);
    read_all();
  }

  void drain_requests() {
    uint8_t buffer[NPA_MAX_DATAGRAM];
    while (recv(server_.get(), buffer, sizeof buffer, 0) > 0) {
    }
  }

  // Runs every timer out, then checks the completions.
  void finish() {
    for (int i = 0; i < 100000; ++i) {
      time_t wait = npa_.npa_expire();
      if (wait == 0) break;
      clock_.seconds += wait;
      drain_requests();
    }
    for (const Command& c : commands_) {
      if (!c.wants_completion) {
        if (c.completions != 0) __builtin_trap();
      } else if (c.flags & NPA_KEEP_SESSION) {
        if (c.completions < 1 && (c.flags & NPA_DEQUEUE_AT_SEND) == 0) __builtin_trap();
      } else if (c.flags & NPA_DEQUEUE_AT_SEND) {
        if (c.completions > 1) __builtin_trap();
      } else if (c.completions != 1) {
        __builtin_trap();
      }
    }
  }

 private:
  static FILE* null_file() {
    static FILE* file = std::fopen("/dev/null", "w");
    return file;
  }

  void read_all() {
    pollfd ready{npa_.fd(), POLLIN, 0};
    for (int i = 0; i < 8 && poll(&ready, 1, 0) == 1; ++i) npa_.npa_read();
  }

  void completed(size_t index, NpaSession& session) {
    Command& c = commands_[index];
    ++c.completions;
    (void)session.reply();
    if (c.follow_up && c.completions == 1) {
      static constexpr uint8_t kData[] = {0x00, 0x06, 0x15};
      send(kProbeFlags, 0xD7, 1, kData);
    }
  }

  static constexpr uint8_t kProbeFlags = 1;  // as the printer identification sends

  FakeClock clock_;
  NpaTransport npa_;
  UniqueFd server_;
  sockaddr_in server_address_{};
  sockaddr_in client_address_{};
  std::deque<Command> commands_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Exchange exchange;
  size_t at = 0;
  auto next = [&]() -> uint8_t { return at < size ? data[at++] : 0; };
  auto take = [&](size_t n) {
    n = std::min(n, size - at);
    std::span<const uint8_t> bytes(data + at, n);
    at += n;
    return bytes;
  };
  while (at < size) {
    switch (next() % 5) {
      case 0: {
        uint8_t flags = next(), subcommand = next(), options = next();
        exchange.send(flags, subcommand, options, take(next() + (options & 0x80 ? 256 : 0)));
        break;
      }
      case 1: {
        size_t length = 8 * size_t{next()};
        exchange.datagram(take(length + next()));
        break;
      }
      case 2:
        exchange.pass(next());
        break;
      case 3:
        exchange.prepare();
        break;
      case 4:
        exchange.drain_requests();
        break;
    }
  }
  exchange.finish();
  return 0;
}
