// Runs the built hostsweep against print servers that SNMP does not identify (real
// SNMP agents whose card code matches neither known one) and that then answer the
// NPA dialogue through the test print server, on 127.0.10.x; checks the requests on
// the wire, the acknowledgements, standard output and the output file.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/npa_simulator.h"
#include "tests/support/program.h"
#include "tests/support/snmp_agent.h"

namespace {

using namespace std::string_literals;

const std::string kProgram = HOSTSWEEP_PATH;

const std::string kMaker = ".1.3.6.1.4.1.40599.";
const std::string kC1 = "\xD7\x00\x06\x15"s;
const std::string kC2 = "\xD7\x00\x06\x0C"s;

// An external adapter with `ports` ports whose card code is neither known one.
std::vector<SnmpServedValue> unidentified_adapter(int ports) {
  return {{kMaker + "1.1.1.0", SnmpServedValue::INTEGER, std::to_string(ports)},
          {kMaker + "1.2.15.0", SnmpServedValue::STRING, "NetPort card"},
          {kMaker + "1.2.14.0", SnmpServedValue::STRING, "firmware 2.1"},
          {kMaker + "1.2.3.0", SnmpServedValue::STRING, "CX-9999"}};
}

// A request as sent: INA header with packet id `id`, NPA header with flags 0x50.
std::string request(uint32_t id, const std::string& subcommand_and_data) {
  return "\x00\x05\x29\x00\x00\x00"s + static_cast<char>(id) + "\xA5\x00"s +
         static_cast<char>(subcommand_and_data.size() + 2) + "\x50\xE0"s + subcommand_and_data;
}

// A plain reply entry: V, a byte, one status byte, two bytes, the value's length, value.
std::string entry(uint8_t v, const std::string& value) {
  return std::string{static_cast<char>(v),           '\x02', '\x01', '\0', '\0', '\0',
                     static_cast<char>(value.size())} +
         value;
}

std::string pad(const std::string& text, size_t width) {
  return text + std::string(width > text.size() ? width - text.size() : 0, ' ');
}

// A line of the column style.
std::string column_line(const std::string& address, int port, const std::string& adapter,
                        const std::string& model) {
  return pad(address, 16) + " " + std::to_string(port) + " " + pad("tessel", 10) + " " +
         pad("tessel", 10) + " " + pad(adapter, 20) + " " + pad(address, 35) + " " + model + "\n";
}

std::vector<std::string> sorted_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::vector<std::string> wire(const NpaSimulator& sim, size_t from = 0) {
  std::vector<std::string> bytes;
  for (const auto& datagram : sim.requests()) bytes.push_back(datagram.bytes);
  return {bytes.begin() + static_cast<long>(std::min(from, bytes.size())), bytes.end()};
}

class HostsweepNpaTest : public ::testing::Test {
 protected:
  void SetUp() override { tree.write("usr/quintaro/etc/hsweep.cmib", read_file(HSWEEP_CMIB_PATH)); }
  RunResult run(const std::vector<std::string>& args) {
    return run_program(kProgram, args, {.env = {"QUINTARO_ROOT=" + tree.root()}}, "hostsweep");
  }
  // Starts an SNMP agent and an NPA print server on `address`; false (and the test
  // is skipped) where no agent can run.
  NpaSimulator* start(const std::string& address, int ports) {
    agents.push_back(std::make_unique<SnmpAgent>(address, unidentified_adapter(ports)));
    if (!agents.back()->available()) return nullptr;
    servers.push_back(std::make_unique<NpaSimulator>(address));
    return servers.back().get();
  }

  TempTree tree;
  std::vector<std::unique_ptr<SnmpAgent>> agents;
  std::vector<std::unique_ptr<NpaSimulator>> servers;
};

TEST_F(HostsweepNpaTest, TwoPortServerInBothStyles) {
  NpaSimulator* sim = start("127.0.10.1", 2);
  if (!sim) GTEST_SKIP() << agents.back()->unavailable_reason();
  // Adapter code 130 (index 2), two type-1 ports, and printers in a reply split over
  // three datagrams sent as 2, 0, 0 (again), 1.
  sim->answer(kC1, {.data = "\x00\x06\x15\x01\x00\x82"s});
  sim->answer(kC2, {.data = "\x00\x06\x0C\x01\x01\x00\x01\x00\xFF\x00\xFF\x00\xFF\x00\xFF\x00\xFF"
                            "\x00\xFF"s});
  sim->answer("",
              {.data = "\x00"s + entry(0x91, "x") + entry(0x81, "Laser A") + entry(0x82, "Laser B"),
               .split = {9, 8},
               .order = {2, 0, 0, 1}});
  sim->start();

  const std::string c3 = "\xD7\x00\x81\x02\x81\x01\x82\x02\x82\x01"s;
  const std::string column = column_line("127.0.10.1", 1, "Corvane NetPort 2P", "Laser A") +
                             column_line("127.0.10.1", 2, "Corvane NetPort 2P", "Laser B");
  const std::string colon =
      "127.0.10.1:127.0.10.1:Laser A:Corvane NetPort 2P:1:2\n"
      "127.0.10.1:127.0.10.1:Laser B:Corvane NetPort 2P:2:2\n";
  for (bool colon_style : {false, true}) {
    size_t seen = sim->requests().size();
    size_t acked = sim->acks().size();
    std::vector<std::string> args = {"-I", "-d", "1", "-f", tree.path("debug"), "-h", "127.0.10.1"};
    if (colon_style) args.push_back("-x");
    args.push_back(tree.path("found"));
    RunResult r = run(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string& list = colon_style ? colon : column;
    EXPECT_EQ(sorted_lines(r.out), sorted_lines(list));
    EXPECT_EQ(tree.read("found"), list);
    EXPECT_EQ(wire(*sim, seen),
              (std::vector<std::string>{request(1, kC1), request(2, kC2), request(3, c3)}));
    // One acknowledgement per datagram, the repeated one included.
    std::vector<std::string> acks = sim->acks();
    EXPECT_EQ(std::vector<std::string>(acks.begin() + static_cast<long>(acked), acks.end()),
              (std::vector<std::string>{"\x00\x07"s, "\x00\x07"s, "\x00\x09"s, "\x00\x07"s,
                                        "\x00\x07"s, "\x00\x08"s}));
  }
  std::string debug = tree.read("debug");
  for (const char* lines :
       {"| INA Header:  len 5  port (')',0x29)\n"
        "| NPA Header:  Len(6)  Flag(01010000)  Command(e0)  Subcommand(d7)\n"
        "| NPAP\n| COMPLETE\n| REPLY\n| Corvane Extension, Tarragon Internal Var Manager\n",
        "| INA Receive Header:  Len(9)  ACK(9)  Seq(2)  port(')',0x29)\n",
        "| Already recieved this packet\n"}) {
    EXPECT_NE(debug.find(lines), std::string::npos) << lines << "\nin\n" << debug;
  }
}

TEST_F(HostsweepNpaTest, ShortRepliesIndexedRepliesAndErrors) {
  // 127.0.10.2: a C1 reply too short for the adapter code (index 3 with one port), a
  //   C2 reply that ends after the first port type (type 2), and a name whose byte
  //   count reaches past the reply.
  // 127.0.10.3: adapter code 134 (index 30), one type-5 port: an indexed C3, whose
  //   second printer has no model (reported as -x ignores the adapter status).
  // 127.0.10.4: C2 answered with a data error: the dialogue ends there.
  NpaSimulator* short_replies = start("127.0.10.2", 1);
  NpaSimulator* indexed = short_replies ? start("127.0.10.3", 1) : nullptr;
  NpaSimulator* failing = indexed ? start("127.0.10.4", 1) : nullptr;
  if (!failing) GTEST_SKIP() << agents.back()->unavailable_reason();
  short_replies->answer(kC1, {.data = "\x00\x06\x15\x04"s});
  short_replies->answer(kC2, {.data = "\x00\x06\x0C\x00\x02\x00"s});
  short_replies->answer("", {.data = "\x00"s + entry(0x10, "") + "\x06\x22\x40"s +
                                     "L\0a\0s\0e\0r\0 \0E\0t\0h\0e\0r\0n\0e\0t\0"s});
  indexed->answer(kC1, {.data = "\x00\x06\x15\x01\x00\x86"s});
  indexed->answer(kC2, {.data = "\x00\x06\x0C\x00\x05"s});
  indexed->answer("", {.data = "\x00\x06\x4C\x01\x00\x01\x02\x06\x4B\x01\x00\x09Inkjet 55"
                               "\x06\x4B\x02\x00\x00"s});
  failing->answer(kC1, {.data = "\x00\x06\x15\x01\x00\x82"s});
  failing->answer(kC2, {.data = "\x00\x06\x0C\x01\x01"s, .flags = 0xD4});
  failing->answer("", {.data = "\x00"s + entry(0x81, "Never")});
  for (auto& server : servers) server->start();

  RunResult r = run({"-I", "-r", "127.0.10.2-127.0.10.4", "-x", tree.path("found")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string list =
      "127.0.10.2:127.0.10.2:Laser:Corvane NetPort 1/2:1:2\n"
      "127.0.10.3:127.0.10.3:Inkjet 55:Corvane NetPort 400:1:1\n"
      "127.0.10.3:127.0.10.3:Unknown Printer:Corvane NetPort 400:2:1\n";
  EXPECT_EQ(sorted_lines(r.out), sorted_lines(list));
  EXPECT_EQ(tree.read("found"), list);
  // Packet ids count across the three servers: the NPA parts are compared.
  auto npa_parts = [](const NpaSimulator& sim) {
    std::vector<std::string> parts;
    for (const std::string& bytes : wire(sim)) parts.push_back(bytes.substr(7));
    return parts;
  };
  auto npa_part = [](const std::string& subcommand_and_data) {
    return request(0, subcommand_and_data).substr(7);
  };
  EXPECT_EQ(npa_parts(*short_replies),
            (std::vector<std::string>{npa_part(kC1), npa_part(kC2),
                                      npa_part("\xD7\x00\x10\x03\x10\x02\x06\x22"s)}));
  EXPECT_EQ(npa_parts(*indexed),
            (std::vector<std::string>{npa_part(kC1), npa_part(kC2),
                                      npa_part("\xD9\x00\x06\x4C\xFF\x06\x4B\xFF"s)}));
  EXPECT_EQ(wire(*failing).size(), 2u);
}

}  // namespace
