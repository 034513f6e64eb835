// Runs the built hostsweep with -P (the prescan) against the SNMP responder farm on
// loopback addresses (127.0.20.0 to 127.0.23.255, a quarter per test), and checks
// that it finds what a search without it finds, recovers a lost request on its
// second pass, keeps to its rate, and refuses bad rates and too many addresses.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/program.h"
#include "tests/support/snmp_farm.h"

namespace {

const std::string kProgram = HOSTSWEEP_PATH;

const std::string kMaker = ".1.3.6.1.4.1.40599.";
const std::string kSecondVendor = ".1.3.6.1.4.1.674.10898.100.";

std::vector<SnmpServedValue> print_server(const std::string& name) {
  return {{kMaker + "1.1.1.0", SnmpServedValue::INTEGER, "1"},
          {kMaker + "1.2.15.0", SnmpServedValue::STRING, "NetPort card"},
          {kMaker + "1.2.14.0", SnmpServedValue::STRING, "firmware 2.1"},
          {kMaker + "1.2.3.0", SnmpServedValue::STRING, "CX-1001"},
          {kMaker + "2.1.1.1.2.1", SnmpServedValue::STRING, name}};
}

std::vector<SnmpServedValue> internal_adapter(const std::string& name) {
  // A card model whose second byte has bit 0x04, and model code "IL100" in UTF-16LE.
  return {
      {kMaker + "1.1.1.0", SnmpServedValue::INTEGER, "1"},
      {kMaker + "1.2.15.0", SnmpServedValue::HEX_STRING, std::string("\x01\x04\x00", 3)},
      {kMaker + "1.2.14.0", SnmpServedValue::HEX_STRING, std::string("I\0L\0001\0000\0000\0", 10)},
      {kMaker + "1.2.3.0", SnmpServedValue::STRING, "unused"},
      {kMaker + "2.1.1.1.2.1", SnmpServedValue::STRING, name}};
}

std::vector<SnmpServedValue> second_vendor(const std::string& model) {
  std::vector<SnmpServedValue> values = {
      {kSecondVendor + "2.1.2.1.2.1", SnmpServedValue::STRING, model}};
  for (const char* oid : {"1.6.1.0", "1.1.15.0", "1.1.14.0", "1.1.11.0"}) {
    values.push_back({kSecondVendor + oid, SnmpServedValue::STRING, "x"});
  }
  return values;
}

// The request with its request id (a 4-byte INTEGER in what hostsweep sends) blanked.
std::string without_request_id(std::string bytes, long id) {
  std::string encoded = {static_cast<char>(id >> 24), static_cast<char>(id >> 16),
                         static_cast<char>(id >> 8), static_cast<char>(id)};
  size_t at = bytes.find("\x02\x04" + encoded);
  if (at != std::string::npos) bytes.replace(at + 2, 4, "????");
  return bytes;
}

class HostsweepPrescanTest : public ::testing::Test {
 protected:
  void SetUp() override { tree.write("usr/quintaro/etc/hsweep.cmib", read_file(HSWEEP_CMIB_PATH)); }
  RunResult run(const std::vector<std::string>& args) {
    return run_program(kProgram, args, {.env = {"QUINTARO_ROOT=" + tree.root()}}, "hostsweep");
  }
  // Starts the farm; false (and the test is skipped) where it cannot run.
  bool start(SnmpFarmSettings settings) {
    farm = std::make_unique<SnmpFarm>(std::move(settings));
    return farm->available();
  }
  std::vector<SnmpFarm::Request> requests_to(const std::string& address) {
    std::vector<SnmpFarm::Request> found;
    for (const auto& request : farm->requests()) {
      if (request.to == address) found.push_back(request);
    }
    return found;
  }

  TempTree tree;
  std::unique_ptr<SnmpFarm> farm;
};

TEST_F(HostsweepPrescanTest, FindsWhatTheSearchWithoutItFinds) {
  // Three kinds of printer, and an agent that answers noSuchName to everything: it
  // counts as alive but is no printer. The rest of the /23 is silent.
  if (!start({.printers = {{"127.0.20.9", print_server("Laser One")},
                           {"127.0.20.200", internal_adapter("Inkjet Two")},
                           {"127.0.21.3", {}},
                           {"127.0.21.77", second_vendor("Vendor Three")}}})) {
    GTEST_SKIP() << farm->unavailable_reason();
  }
  // Standard output in the order found; the file in the final order (the last byte
  // of the address first).
  const std::string laser =
      "127.0.20.9       1 tessel     tessel     Corvane NetPort CX   127.0.20.9                "
      "          Laser One\n";
  const std::string inkjet =
      "127.0.20.200     1 tessel     tessel     Corvane InLink A     127.0.20.200              "
      "          Inkjet Two\n";
  const std::string vendor =
      "127.0.21.77      1 tessel     tessel     Vendor Three Ethernet 127.0.21.77               "
      "          Vendor Three\n";
  for (bool prescan : {false, true}) {
    std::vector<std::string> args = {"-I", "-t", "1,1", "-r", "127.0.20.1-127.0.21.254"};
    if (prescan) args.insert(args.end(), {"-P", "0"});
    args.push_back(tree.path("found"));
    RunResult r = run(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, laser + inkjet + vendor) << prescan;
    EXPECT_EQ(tree.read("found"), laser + vendor + inkjet) << prescan;
  }
  // The prescan's request is the first request of the identification, request id
  // aside. The plain run asked the printer twice; then came the prescan's request,
  // from its single socket, and the identification's, from a session's own socket.
  std::vector<SnmpFarm::Request> got = requests_to("127.0.20.9");
  ASSERT_EQ(got.size(), 5u);
  const SnmpFarm::Request& prescan = got[2];  // after the plain run's two requests
  const SnmpFarm::Request& chain = got[3];
  EXPECT_NE(prescan.from_port, chain.from_port);
  EXPECT_EQ(without_request_id(prescan.bytes, prescan.request_id),
            without_request_id(chain.bytes, chain.request_id));
}

TEST_F(HostsweepPrescanTest, TheSecondPassRecoversALostRequest) {
  if (!start({.printers = {{"127.0.22.7", print_server("Lost Once")}}})) {
    GTEST_SKIP() << farm->unavailable_reason();
  }
  farm->drop_first("127.0.22.7", 1);
  RunResult r = run({"-I", "-t", "1,1", "-P", "0", "-d", "8", "-f", tree.path("debug"), "-r",
                     "127.0.22.1-127.0.22.20", tree.path("found")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "127.0.22.7       1 tessel     tessel     Corvane NetPort CX   127.0.22.7            "
            "              Lost Once\n");
  std::string debug = tree.read("debug");
  EXPECT_NE(debug.find("Prescan of 20 addresses at 2000 packets/s\n"), std::string::npos) << debug;
  EXPECT_NE(debug.find("Prescan: sent 20, resent 20, alive 1, not sent 0, "), std::string::npos)
      << debug;
  // Only the printer was probed further.
  EXPECT_NE(debug.find("Send to 127.0.22.7,"), std::string::npos) << debug;
  EXPECT_EQ(debug.find("Send to 127.0.22.8,"), std::string::npos) << debug;
  std::vector<SnmpFarm::Request> got = requests_to("127.0.22.7");
  ASSERT_GE(got.size(), 3u);
  EXPECT_TRUE(got[0].dropped);
  EXPECT_EQ(got[1].request_id, got[0].request_id + 1);  // the second pass, same socket
  EXPECT_EQ(got[1].from_port, got[0].from_port);
  EXPECT_FALSE(got[1].dropped);
}

TEST_F(HostsweepPrescanTest, KeepsToItsRateInAddressOrder) {
  // 254 addresses at 200 packets per second: every second of the first pass is full.
  if (!start({.printers = {{"127.0.23.40", print_server("One")}, {"127.0.23.41", {}}},
              .tap_network = "127.0.23.0",
              .tap_prefix = 24})) {
    GTEST_SKIP() << farm->unavailable_reason();
  }
  RunResult r = run({"-I", "-t", "1,1", "-P", "200", "-n", "127.0.23.0", tree.path("found")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Corvane NetPort CX"), std::string::npos) << r.out;
  std::vector<SnmpFarm::Tapped> tapped = farm->tapped();
  ASSERT_FALSE(tapped.empty());
  // The prescan's datagrams: those from the socket of the first one.
  std::vector<SnmpFarm::Tapped> prescan;
  for (const auto& t : tapped) {
    if (t.from_port == tapped.front().from_port) prescan.push_back(t);
  }
  EXPECT_EQ(farm->tap_drops(), 0u);
  ASSERT_EQ(prescan.size(), 254u + 252u);  // the second pass skips the two that answered
  EXPECT_LE(SnmpFarm::highest_rate(prescan), 200u);
  for (size_t i = 0; i < prescan.size(); ++i) {
    size_t n = i < 254 ? i + 1 : i - 254 + 1 + (i - 254 >= 39 ? 2 : 0);
    EXPECT_EQ(prescan[i].to, "127.0.23." + std::to_string(n)) << i;
  }
}

TEST_F(HostsweepPrescanTest, RefusesBadRatesAndTooManyAddresses) {
  const std::string usage = run({}).err;
  ASSERT_NE(usage.find("USAGE:"), std::string::npos);
  for (const char* rate : {"", "x", "-1", "1.5", "12a", " 5", "+5", "1000001", "99999999999"}) {
    RunResult r = run({"-P", rate, "-h", "127.0.22.200", tree.path("found")});
    EXPECT_EQ(r.status, 255) << rate;
    EXPECT_EQ(r.err, usage) << rate;
    EXPECT_EQ(r.out, "") << rate;
  }
  // Two /8 networks: 2 * 254^3 addresses. Refused before the output file is touched.
  RunResult r = run({"-P", "0", "-n", "10.0.0.0", "-n", "11.0.0.0", tree.path("found")});
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.err, "The prescan takes at most 16777216 addresses.\n");
  EXPECT_FALSE(tree.exists("found"));
}

}  // namespace
