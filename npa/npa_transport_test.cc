// Tests of the NPA client against the test print server on loopback (127.0.11.1 to
// 127.0.11.6, one address per test as tests run side by side), with a fake seconds
// clock for the timers: datagrams on the wire, the queue per destination, resends
// and time-outs, reassembly, acknowledgements, drops and session flags.
#include "npa/npa_transport.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/capture.h"
#include "tests/support/npa_simulator.h"

namespace {

using namespace std::string_literals;

class FakeClock : public Clock {
 public:
  time_t now() override { return seconds; }
  time_t seconds = 1000;
};

struct Done {
  int status;
  std::string reply;
  time_t at;
  uint8_t subcommand;
  size_t blocks;
};

// The client and a simulated print server, both driven by the test.
class Exchange {
 public:
  explicit Exchange(const std::string& address, int debug_level = DEBUG_NPA)
      : sim(address), npa(NpaDebug{debug_level, debug}, clock) {
    EXPECT_EQ(npa.npa_init(), NPA_OK);
    to.sin_family = AF_INET;
    to.sin_port = htons(NPA_UDP_PORT);
    inet_pton(AF_INET, address.c_str(), &to.sin_addr);
  }
  ~Exchange() { std::fclose(debug); }

  void send(uint8_t subcommand, const std::string& data, uint8_t flags = 1,
            uint8_t reply_wanted = 1, uint8_t command = NPA_CORVANE_EXTENSION) {
    std::vector<uint8_t> bytes(data.begin(), data.end());
    ASSERT_EQ(npa.npa_send(
                  to, 0x29, flags, command, subcommand, bytes, reply_wanted,
                  [this](NpaSession& s) {
                    auto reply = s.reply();
                    done.push_back({s.status, std::string(reply.begin(), reply.end()),
                                    clock.seconds, s.subcommand, s.blocks.size()});
                  },
                  nullptr),
              0);
  }
  // Lets datagrams travel both ways for `ms` milliseconds, or until `completions`.
  void pump(int ms, size_t completions = SIZE_MAX) {
    auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (done.size() < completions && std::chrono::steady_clock::now() < limit) {
      sim.serve(1);
      pollfd ready{npa.fd(), POLLIN, 0};
      while (poll(&ready, 1, 1) == 1) npa.npa_read();
    }
    sim.serve(5);  // the acknowledgements
  }
  std::string trace() {
    std::fflush(debug);
    return read_all(fileno(debug));
  }

  FakeClock clock;
  FILE* debug = std::tmpfile();
  NpaSimulator sim;
  NpaTransport npa;
  sockaddr_in to{};
  std::vector<Done> done;
};

std::vector<std::string> wire(const NpaSimulator& sim) {
  std::vector<std::string> bytes;
  for (const auto& datagram : sim.requests()) bytes.push_back(datagram.bytes);
  return bytes;
}

const std::string kC1 = "\xD7\x00\x06\x15"s;
const std::string kC2 = "\xD7\x00\x06\x0C"s;

TEST(NpaTransport, OneCommandInFlightPerDestination) {
  struct Command {
    std::string request;  // subcommand and data
    uint8_t flags, reply_wanted;
  };
  const struct {
    const char* what;
    std::vector<Command> commands;
    size_t sent_at_once;
    std::vector<std::string> wire;
    size_t completions;
  } cases[] = {
      {"two replies wanted",
       {{kC1, 1, 1}, {kC2, 1, 1}},
       1,
       {"\x00\x05\x29\x00\x00\x00\x01\xA5\x00\x06\x50\xE0\xD7\x00\x06\x15"s,
        "\x00\x05\x29\x00\x00\x00\x02\xA5\x00\x06\x50\xE0\xD7\x00\x06\x0C"s},
       2},
      {"no reply wanted, then one",
       {{"\x03\x81"s, 1, 0}, {kC1, 1, 1}},
       2,
       {"\x00\x05\x29\x00\x00\x00\x01\xA5\x00\x04\x40\xE0\x03\x81"s,
        "\x00\x05\x29\x00\x00\x00\x02\xA5\x00\x06\x50\xE0\xD7\x00\x06\x15"s},
       1},
      {"leaves the queue once sent",
       {{kC1, NPA_DEQUEUE_AT_SEND, 1}, {kC2, 1, 1}},
       2,
       {"\x00\x05\x29\x00\x00\x00\x01\xA5\x00\x06\x50\xE0\xD7\x00\x06\x15"s,
        "\x00\x05\x29\x00\x00\x00\x02\xA5\x00\x06\x50\xE0\xD7\x00\x06\x0C"s},
       2},
  };
  for (const auto& c : cases) {
    Exchange x("127.0.11.1");
    x.sim.answer(kC1, {.data = "\x00\x06\x15\x00\x00\x82"s});
    x.sim.answer(kC2, {.data = "ports"});
    for (const Command& command : c.commands) {
      x.send(command.request[0], command.request.substr(1), command.flags, command.reply_wanted);
    }
    x.sim.serve(100);
    EXPECT_EQ(x.sim.requests().size(), c.sent_at_once) << c.what;
    x.pump(2000, c.completions);
    x.pump(20);
    EXPECT_EQ(wire(x.sim), c.wire) << c.what;
    ASSERT_EQ(x.done.size(), c.completions) << c.what;
    EXPECT_EQ(x.done.front().status, NPA_REPLY_RECEIVED) << c.what;
    EXPECT_EQ(x.done.back().reply, c.completions == 2 ? "ports" : "\x00\x06\x15\x00\x00\x82"s);
    EXPECT_EQ(x.sim.acks(), std::vector<std::string>(c.completions, "\x00\x07"s)) << c.what;
  }
  // Data that does not fit the one-byte length is refused.
  Exchange x("127.0.11.2");
  std::vector<uint8_t> long_data(NPA_MAX_DATA + 1);
  EXPECT_EQ(x.npa.npa_send(x.to, 0x29, 1, 0xE0, 0xD7, long_data, 1, nullptr, nullptr), -1);
  long_data.pop_back();
  EXPECT_EQ(x.npa.npa_send(x.to, 0x29, 1, 0xE0, 0xD7, long_data, 0, nullptr, nullptr), 0);
  x.sim.serve(100);
  ASSERT_EQ(x.sim.requests().size(), 1u);
  EXPECT_EQ(x.sim.requests()[0].bytes.size(), 13 + NPA_MAX_DATA);
  EXPECT_EQ(x.sim.requests()[0].bytes.substr(8, 2), "\x00\xFF"s);
}

TEST(NpaTransport, ResendsEveryFiveSecondsThenTimesOut) {
  const struct {
    const char* what;
    int ignore;  // requests the server leaves unanswered
    std::vector<time_t> sends;
    int status;
    time_t completed;
    size_t timers_due;
  } cases[] = {
      {"never answered", 100, {0, 5, 10, 15}, NPA_TIMEOUT, 20, 4},
      {"answered the second time", 1, {0, 5}, NPA_REPLY_RECEIVED, 5, 1},
  };
  for (const auto& c : cases) {
    Exchange x("127.0.11.3", DEBUG_NPA | DEBUG_NPA_TIMER);
    x.sim.answer("", {.data = "ok", .ignore = c.ignore});
    x.send(0xD7, "\x00\x06\x15"s);
    fd_set read;
    FD_ZERO(&read);
    int nfds = 0;
    timeval timeout{};
    bool block = true;
    x.npa.npa_prepare(nfds, read, timeout, block);
    EXPECT_FALSE(block);
    EXPECT_EQ(timeout.tv_sec, NPA_RESEND_SECONDS);
    EXPECT_EQ(nfds, x.npa.fd() + 1);

    std::vector<time_t> sends;
    for (time_t t = 0; t <= 25; ++t) {
      x.clock.seconds = 1000 + t;
      x.npa.npa_expire();
      size_t before = x.sim.requests().size();
      x.pump(15);
      if (x.sim.requests().size() > before || t == 0) sends.push_back(t);
    }
    EXPECT_EQ(sends, c.sends) << c.what;
    ASSERT_EQ(x.done.size(), 1u) << c.what;
    EXPECT_EQ(x.done[0].status, c.status) << c.what;
    EXPECT_EQ(x.done[0].at, 1000 + c.completed) << c.what;
    std::string trace = x.trace();
    size_t due = 0;
    for (size_t at = 0; (at = trace.find("| TIMEOUT a of session.\n", at)) != std::string::npos;
         ++at) {
      ++due;
    }
    EXPECT_EQ(due, c.timers_due) << c.what;
    EXPECT_EQ(trace.find("| Calling callback routine with NPA_TIMEOUT.\n") != std::string::npos,
              c.status == NPA_TIMEOUT)
        << c.what;
    block = true;
    x.npa.npa_prepare(nfds, read, timeout, block);
    EXPECT_TRUE(block) << c.what;
  }
}

TEST(NpaTransport, RepliesAreJoinedInSequenceOrderAndAcknowledged) {
  const std::string ten = "ABCDEFGHIJ";
  const struct {
    const char* what;
    NpaReply reply;
    int status;  // -1: none until the connection times out
    std::string joined;
    std::vector<std::string> acks;
    std::string trace;
  } cases[] = {
      {"2,0,1",
       {.data = ten, .split = {3, 4}, .order = {2, 0, 1}},
       0,
       ten,
       {"\x00\x09"s, "\x00\x07"s, "\x00\x08"s},
       "| INA Receive Header:  Len(9)  ACK(9)  Seq(2)"},
      {"duplicate",
       {.data = ten, .split = {5}, .order = {0, 0, 1}},
       0,
       ten,
       {"\x00\x07"s, "\x00\x07"s, "\x00\x08"s},
       "| Already recieved this packet\n"},
      {"data error",
       {.data = "err", .flags = 0xD4},
       NPA_DATA_ERROR,
       "err",
       {"\x00\x07"s},
       "| DATA ERROR\n"},
      {"no acknowledgement number", {.data = ten, .ident = 0}, 0, ten, {}, "ACK(0)  Seq(0)"},
      {"last datagram lost",
       {.data = ten, .split = {3, 4}, .order = {0, 1}},
       -1,
       "",
       {"\x00\x07"s, "\x00\x08"s},
       "| Calling callback routine with NPA_CONNECT_TIMEOUT.\n"},
  };
  for (const auto& c : cases) {
    Exchange x("127.0.11.4");
    x.sim.answer("", c.reply);
    x.send(0xD7, "\x00\x06\x15"s);
    x.pump(c.status < 0 ? 200 : 2000, 1);
    x.pump(30);  // anything more that would come
    if (c.status < 0) {
      EXPECT_TRUE(x.done.empty()) << c.what;
      x.clock.seconds += NPA_CONNECTION_SECONDS - 1;
      x.npa.npa_expire();
      EXPECT_TRUE(x.done.empty()) << c.what;
      x.clock.seconds += 1;
      x.npa.npa_expire();
      ASSERT_EQ(x.done.size(), 1u) << c.what;
      EXPECT_EQ(x.done[0].status, NPA_CONNECT_TIMEOUT) << c.what;
      x.pump(30);
      EXPECT_EQ(x.sim.requests().size(), 1u) << c.what;  // the first datagram stopped resends
    } else {
      ASSERT_EQ(x.done.size(), 1u) << c.what;
      EXPECT_EQ(x.done[0].status, c.status) << c.what;
      EXPECT_EQ(x.done[0].reply, c.joined) << c.what;
      EXPECT_EQ(x.done[0].blocks, 1u) << c.what;
    }
    EXPECT_EQ(x.sim.acks(), c.acks) << c.what;
    EXPECT_NE(x.trace().find(c.trace), std::string::npos) << c.what << "\n" << x.trace();
  }
}

TEST(NpaTransport, MalformedAndUnwantedDatagramsAreDroppedUnread) {
  // A reply to packet id 1 with data "xyz": 20 bytes, INA header length 9.
  const std::string good = npa_reply_datagram(1, 8, 0, 0x50, 0xD7, "xyz");
  const std::string fit = " does not fit the 20 bytes received.  DISCARDING\n";
  const std::string ina = "| INA Receive Header:  Len(9)  ACK(8)  Seq(0)  port(')',0x29)\n";
  const std::string shorter = "| SHORT PACKET DETECTED.  DISCARDING\n";
  const struct {
    std::string datagram;
    std::string trace;
  } cases[] = {
      // Nothing is read from a datagram shorter than its INA header.
      {"\x00\x28"s + good.substr(2), "| INA header length 40" + fit},
      {"\x30\x00"s + good.substr(2),
       "BAD BAD --> ina count = 12288.  bytes = 30 00\n| INA header length 12288" + fit},
      {"\x00\x07"s + good.substr(2), "| INA header length 7" + fit},
      {"\x00"s, shorter},
      // Nor from an NPA part shorter than its header.
      {good.substr(0, 15), ina + shorter},
      {npa_reply_datagram(1, 8, 0, 0x50, 0xD7, "", 0x29, 0xE0, 2).substr(0, 16), ina + shorter},
      {npa_reply_datagram(1, 8, 0, 0x50, 0xD7, "xyz", 0x29, 0xE0, 10),
       ina + "| NPA Length and packet length do not match.  NPA = 13, Packet = 9\n"
             "Len = 20, ina_header_len = 9\nDISCARDING\n"},
      {npa_reply_datagram(99, 8, 0, 0x50, 0xD7, "xyz"),
       ina +
           "| NPA Header:  Len(6)  Flag(01010000)  Command(e0)  Subcommand(d7)\n"
           "| NPAP\n| COMPLETE\n| REQUIRED RESPONSE\n"
           "| Corvane Extension, Tarragon Internal Var Manager\n| NPA Data:\n"
           "| 78 79 7a " +
           std::string(13 * 3, ' ') + "\txyz\nNo session wants this data!!!!!\n"},
  };
  Exchange x("127.0.11.5");
  x.send(0xD7, "\x00\x06\x15"s);
  x.sim.serve(100);
  for (const auto& c : cases) {
    size_t before = x.trace().size();
    x.sim.send_raw(c.datagram);
    x.pump(30);
    EXPECT_TRUE(x.done.empty());
    EXPECT_TRUE(x.sim.acks().empty());
    EXPECT_EQ(x.trace().substr(before), c.trace);
  }
  x.sim.send_raw(good);
  x.pump(2000, 1);
  ASSERT_EQ(x.done.size(), 1u);
  EXPECT_EQ(x.done[0].reply, "xyz");
  EXPECT_EQ(x.sim.acks(), std::vector<std::string>{"\x00\x08"s});
}

TEST(NpaTransport, SessionFlagsWidenMatchingAndKeepSessions) {
  auto reply = [](uint16_t ack, uint8_t flags, uint8_t subcommand, const std::string& data,
                  uint8_t ina_port = 0x29, uint16_t sequence = 0, uint8_t command = 0xE0) {
    return npa_reply_datagram(1, ack, sequence, flags, subcommand, data, ina_port, command);
  };
  const struct {
    const char* what;
    uint8_t flags;
    std::vector<std::string> datagrams;
    size_t completions;
    uint8_t subcommand;  // of the last completion
    size_t blocks;
    std::string trace;
    uint8_t command = NPA_CORVANE_EXTENSION;
    uint8_t request_subcommand = 0xD7;
  } cases[] = {
      {"another subcommand",
       1,
       {reply(7, 0x50, 0xD8, "a")},
       0,
       0,
       0,
       "No session wants this data!!!!!\n"},
      {"any subcommand", NPA_ANY_SUBCOMMAND, {reply(7, 0x50, 0xD8, "a")}, 1, 0xD8, 1, ""},
      {"INA port 0",
       1,
       {reply(7, 0x50, 0xD7, "a", 0)},
       0,
       0,
       0,
       "No session wants this data!!!!!\n"},
      {"any INA port", NPA_ANY_INA_PORT, {reply(7, 0x50, 0xD7, "a", 0)}, 1, 0xD7, 1, ""},
      {"blocks kept apart",
       NPA_SEPARATE_BLOCKS,
       {reply(7, 0x70, 0xD7, "AB"), reply(8, 0x50, 0xD7, "CD", 0x29, 1)},
       1,
       0xD7,
       2,
       ""},
      {"kept session, newer reply",
       NPA_KEEP_SESSION,
       {reply(3, 0x50, 0xD7, "a"), reply(5, 0x50, 0xD7, "b")},
       2,
       0xD7,
       1,
       ""},
      {"kept session, older reply",
       NPA_KEEP_SESSION,
       {reply(5, 0x50, 0xD7, "a"), reply(3, 0x50, 0xD7, "b")},
       1,
       0xD7,
       1,
       "| GOT AN OUT OF DATE DSA.  DISCARDING IT\n"},
      {"kept session, alert sequence reset",
       NPA_KEEP_SESSION,
       {reply(5, 0x50, 0x01, "a", 0x29, 0, 0xFF), reply(3, 0x50, 0x01, "b", 0x29, 0, 0xFF)},
       2,
       0x01,
       1,
       "",
       NPA_ALERT_RESET_COMMAND,
       0x01},
  };
  for (const auto& c : cases) {
    Exchange x("127.0.11.6");
    x.send(c.request_subcommand, "\x00\x06\x15"s, c.flags, 1, c.command);
    x.sim.serve(100);
    for (const std::string& datagram : c.datagrams) {
      x.sim.send_raw(datagram);
      x.pump(30);
    }
    ASSERT_EQ(x.done.size(), c.completions) << c.what;
    if (c.completions > 0) {
      EXPECT_EQ(x.done.back().subcommand, c.subcommand) << c.what;
      EXPECT_EQ(x.done.back().blocks, c.blocks) << c.what;
    }
    EXPECT_NE(x.trace().find(c.trace), std::string::npos) << c.what;
  }
}

}  // namespace
