// Connection policies with a scripted dialer, the port header, IR messages and their
// acknowledgements, condition names, response texts and the hex dump.
#include "netfeeder/port_protocol.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <deque>
#include <vector>

namespace {

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
UniqueFd listen_on(const char* address, int port) {
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

TEST(ConnectHost, PoliciesRetryWaitAndGiveUpAsScripted) {
  UniqueFd listener = listen_on("127.0.6.1", 9100);
  struct Case {
    const char* name;
    ConnectPolicy policy;
    std::deque<int> script;
    bool connects;
    std::vector<unsigned> sleeps;
    size_t attempts;
  };
  const Case cases[] = {
      {"probe refused", PROBE, {ECONNREFUSED}, false, {}, 1},
      {"persistent refused twice", PERSISTENT, {ECONNREFUSED, ECONNREFUSED, 0}, true, {15, 15}, 3},
      {"single refused", SINGLE, {ECONNREFUSED}, false, {}, 1},
      {"probe timeouts use 3 retries",
       PROBE,
       {ETIMEDOUT, ETIMEDOUT, ETIMEDOUT, ETIMEDOUT},
       false,
       {5, 5, 5},
       4},
      {"persistent unreachable host", PERSISTENT, {EHOSTUNREACH, 0}, true, {5}, 2},
      {"persistent mixes",
       PERSISTENT,
       {ETIMEDOUT, ECONNREFUSED, EHOSTUNREACH, 0},
       true,
       {5, 15, 5},
       4},
      {"single timeout", SINGLE, {ETIMEDOUT}, false, {}, 1},
      {"probe interrupted", PROBE, {EINTR, 0}, true, {}, 2},
      {"single interrupted", SINGLE, {EINTR}, false, {}, 1},
      {"other error", PERSISTENT, {EINVAL}, false, {}, 1},
  };
  for (const Case& c : cases) {
    ScriptedDialer dialer(c.script);
    int fd = connect_host("127.0.6.1", 9100, c.policy, dialer);
    EXPECT_EQ(fd >= 0, c.connects) << c.name;
    if (fd >= 0) close(fd);
    EXPECT_EQ(dialer.sleeps, c.sleeps) << c.name;
    EXPECT_EQ(dialer.addresses.size(), c.attempts) << c.name;
  }
}

TEST(ConnectHost, ResolutionAndUnreachableNetworkEndTheJob) {
  auto failure_of = [](const char* host, std::deque<int> script) {
    ScriptedDialer dialer(std::move(script));
    try {
      connect_host(host, 9100, PERSISTENT, dialer);
    } catch (const HostFailure& failure) {
      EXPECT_EQ(failure.host, host);
      return static_cast<int>(failure.kind);
    }
    return -1;
  };
  EXPECT_EQ(failure_of("127.0.6.1", {ENETUNREACH}), HostFailure::UNREACHABLE);
  // A name the resolver rejects without asking anyone.
  EXPECT_EQ(failure_of("bad host!", {}), HostFailure::UNRESOLVED);
}

TEST(ConnectHost, AddressFormsAndPortsReachConnect) {
  ScriptedDialer dialer({ECONNREFUSED, ECONNREFUSED});
  EXPECT_EQ(connect_host("127.0.6.1", 65536 + 9400, PROBE, dialer), -1);
  EXPECT_EQ(connect_host("fe80::1%lo", 9200, SINGLE, dialer), -1);
  ASSERT_EQ(dialer.addresses.size(), 2u);
  const auto* in = reinterpret_cast<const sockaddr_in*>(dialer.addresses[0].data());
  EXPECT_EQ(in->sin_family, AF_INET);
  EXPECT_EQ(ntohs(in->sin_port), 9400);  // the port as an unsigned 16-bit value
  const auto* in6 = reinterpret_cast<const sockaddr_in6*>(dialer.addresses[1].data());
  EXPECT_EQ(in6->sin6_family, AF_INET6);
  EXPECT_EQ(ntohs(in6->sin6_port), 9200);
  EXPECT_EQ(in6->sin6_scope_id, if_nametoindex("lo"));
}

TEST(PortHeader, BytesForDefaultAndLongestSettings) {
  Settings s;
  s.server_port = 1;
  EXPECT_EQ(build_port_header(s), std::string("\x00\x13\x00\x08"
                                              "1\x00\x01\x00"
                                              " \x00 \x00 \x00 \x00"
                                              "\xff\xff\xff\xff\xff\xff\x00",
                                              23));
  s.server_port = 3;
  s.header_host = "ws1";
  s.job_name = "";
  s.user = "alice";
  s.printer_name = "q1";
  EXPECT_EQ(build_port_header(s), std::string("\x00\x19\x00\x08"
                                              "3\x00\x01\x00"
                                              "ws1\x00\x00"
                                              "alice\x00q1\x00"
                                              "\xff\xff\xff\xff\xff\xff\x00",
                                              29));
  s.header_host = s.job_name = s.user = s.printer_name = std::string(NAME_LIMIT, 'x');
  std::string longest = build_port_header(s);
  EXPECT_EQ(longest.size(), 8 + 4 * (NAME_LIMIT + 1) + 7);
  EXPECT_EQ(longest.substr(0, 2), "\x04\x07");  // 1031 bytes after the first four
}

TEST(PrinterLink, DetectsTheMultiPortServerOnlyOnTheFirstOpen) {
  UniqueFd raw = listen_on("127.0.6.2", RAW_PORT);
  Settings s;
  s.host = "127.0.6.2";
  ScriptedDialer dialer({ECONNREFUSED, 0, 0});  // 9400 refused, then 9100 twice
  Trace trace;
  PrinterLink link(s, dialer, trace);
  UniqueFd first = link.open_printer();
  UniqueFd tarragon = listen_on("127.0.6.2", TARRAGON_PORT);
  UniqueFd second = link.open_printer();
  EXPECT_TRUE(first.valid() && second.valid());
  EXPECT_FALSE(s.tarragon);
  ASSERT_EQ(dialer.addresses.size(), 3u);
  EXPECT_EQ(ntohs(reinterpret_cast<const sockaddr_in*>(dialer.addresses[2].data())->sin_port),
            RAW_PORT);

  Settings detected;
  detected.host = "127.0.6.2";
  detected.user = "bob";
  ScriptedDialer pass({0});
  PrinterLink tarragon_link(detected, pass, trace);
  UniqueFd data = tarragon_link.open_printer();
  EXPECT_TRUE(detected.tarragon);
  EXPECT_EQ(detected.server_port, 1);
  UniqueFd accepted(accept(tarragon.get(), nullptr, nullptr));
  EXPECT_EQ(read_available(accepted.get(), 25), build_port_header(detected));
  EXPECT_NE(fcntl(data.get(), F_GETFL) & O_NONBLOCK, 0);
}

TEST(PrinterLink, WaitsBetweenRoundsThatFindNoAddressAtAll) {
  UniqueFd raw = listen_on("127.0.6.3", RAW_PORT);
  Settings s;
  s.host = "127.0.6.3";
  // 9400 and 9100 fail outright, a wait, then the probe is refused and 9100 connects.
  ScriptedDialer dialer({EINVAL, EADDRNOTAVAIL, ECONNREFUSED, 0});
  Trace trace;
  PrinterLink link(s, dialer, trace);
  EXPECT_TRUE(link.open_printer().valid());
  EXPECT_EQ(dialer.sleeps, std::vector<unsigned>{RETRY_WAIT_SECONDS});
  EXPECT_EQ(dialer.addresses.size(), 4u);
}

TEST(IrReader, MessagesInPiecesAndMalformedLengths) {
  struct Step {
    std::string bytes;  // written before the read
    IrReader::Status status;
    int code;
    std::string ack;
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
    bool close_after = false;
  };
  const std::string msg16("\x05\x10\x00\xaa\xbb", 5);
  const Case cases[] = {
      {"whole", {{msg16, IrReader::MESSAGE, 16, std::string("\x05\x10\xff\xaa\xbb", 5)}}},
      {"in pieces",
       {{"\x05", IrReader::PENDING, 0, ""},
        {std::string("\x10\x00", 2), IrReader::PENDING, 0, ""},
        {"\xaa\xbb", IrReader::MESSAGE, 16, std::string("\x05\x10\xff\xaa\xbb", 5)}}},
      {"code 200 is negative",
       {{std::string("\x03\xc8\x07", 3), IrReader::MESSAGE, -56, "\x03\xc8\xff"}}},
      {"length 1", {{"\x01", IrReader::DISCARDED, 0, ""}}},
      {"length 2, its second byte later",
       {{"\x02", IrReader::PENDING, 0, ""},
        {"\x05", IrReader::DISCARDED, 0, ""},
        {std::string("\x03\x10\x00", 3), IrReader::MESSAGE, 16, "\x03\x10\xff"}}},
      {"negative length", {{"\x90", IrReader::DISCARDED, 0, ""}}},
      {"cut short", {{"\x09\x10", IrReader::PENDING, 0, ""}, {"", IrReader::CLOSED, 0, ""}}, true},
      {"end of file", {{"", IrReader::CLOSED, 0, ""}}, true},
  };
  for (const Case& c : cases) {
    int pair[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    UniqueFd agent(pair[0]), printer(pair[1]);
    set_nonblocking(agent.get());
    set_nonblocking(printer.get());
    IrReader reader;
    for (size_t i = 0; i < c.steps.size(); ++i) {
      const Step& step = c.steps[i];
      if (c.close_after && i + 1 == c.steps.size()) printer.reset();
      if (!step.bytes.empty()) {
        ASSERT_GT(write(printer.get(), step.bytes.data(), step.bytes.size()), 0);
      }
      IrReader::Result r = reader.read_ir_message(agent.get());
      EXPECT_EQ(r.status, step.status) << c.name << " step " << i;
      if (r.status == IrReader::MESSAGE) {
        EXPECT_EQ(r.code, step.code) << c.name;
      }
      if (printer.valid()) {
        char ack[256];
        ssize_t n = read(printer.get(), ack, sizeof ack);
        EXPECT_EQ(n > 0 ? std::string(ack, static_cast<size_t>(n)) : "", step.ack) << c.name;
      }
    }
  }
}

TEST(IrReader, AcknowledgementsWaitInABoundedBacklogUntilThePeerReads) {
  int pair[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
  UniqueFd agent(pair[0]), printer(pair[1]);
  set_nonblocking(agent.get());
  set_nonblocking(printer.get());
  size_t filled = 0;  // the way to the printer is full before the first message
  for (size_t chunk : {4096, 1}) {
    std::string junk(chunk, 'j');
    for (ssize_t n; (n = write(agent.get(), junk.data(), chunk)) > 0;) filled += n;
  }
  std::string message(127, '\0'), acks;
  message[0] = 127;
  IrReader reader;
  for (int i = 0; i < 9; ++i) {
    message[3] = static_cast<char>(i);
    ASSERT_EQ(write(printer.get(), message.data(), message.size()), 127);
    IrReader::Result r = reader.read_ir_message(agent.get());
    EXPECT_EQ(r.status, IrReader::MESSAGE) << i;
    EXPECT_EQ(r.ack_dropped, i == 8) << i;  // eight fit in 1024 bytes, the ninth does not
    if (i < 8) acks += message.substr(0, 2) + "\xff" + message.substr(3);
  }
  EXPECT_TRUE(reader.wants_write());
  EXPECT_EQ(read_available(printer.get(), filled).size(), filled);
  reader.flush_acks(agent.get());
  EXPECT_FALSE(reader.wants_write());
  EXPECT_EQ(read_available(printer.get(), acks.size() + 1), acks);
}

TEST(ConditionName, TableBoundaries) {
  const std::pair<int, const char*> cases[] = {
      {0, "Clear"},
      {1, "Service Printer"},
      {14, "Service Printer"},
      {15, "Job Error"},
      {16, "Paper Jam"},
      {17, "Change Paper"},
      {18, "Output Full"},
      {21, "Printer Error"},
      {24, "Service Printer"},
      {32, "Service Printer"},
      {33, "Disk Failure"},
      {36, "Disk Failure"},
      {37, "Job Error"},
      {38, "Printer Error"},
      {42, "Paper Jam"},
      {43, "Load Paper"},
      {44, "Toner Low"},
      {46, "Cover Open"},
      {47, "Off line"},
      {48, "Unknown Problem"},
      {64, "Printer Error"},
      {66, "Unknown Problem"},
      {112, "Busy"},
      {127, "Port Timeout"},
      {-56, "Unknown Problem"},
      {-1, "Unknown Problem"},
  };
  for (const auto& [code, name] : cases) EXPECT_STREQ(condition_name(code), name) << code;
}

TEST(ResponseText, ControlBytesBecomeCaretPairs) {
  const std::pair<std::string, std::string> cases[] = {
      {"\x1b\x45\x0d\x0a", "^[E^M\n"},
      {std::string("\x00\x1f", 2), "^@^_"},
      {"READY \x7f\xc8", "READY \x7f\xc8"},
      {"", ""},
  };
  for (const auto& [bytes, text] : cases) {
    EXPECT_EQ(response_text(bytes.data(), bytes.size()), text);
  }
}

TEST(HexDump, RowsOfSixteenWithPaddedLastRow) {
  std::string bytes = "ABCDEFGHIJKLMNOP\x01\xff";
  EXPECT_EQ(hex_dump(bytes),
            "| 41 42 43 44 45 46 47 48 49 4a 4b 4c 4d 4e 4f 50 \tABCDEFGHIJKLMNOP\n"
            "| 01 ff " +
                std::string(42, ' ') + "\t..\n");
}

}  // namespace
