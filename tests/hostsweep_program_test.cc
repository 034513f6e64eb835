// Runs the built hostsweep against real SNMP agents playing the maker's adapters and a
// second vendor's printer on loopback addresses (127.0.8.x), with the compiled MIB in
// a temporary tree, and checks standard output, the output file and the status.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/program.h"
#include "tests/support/snmp_agent.h"

namespace {

const std::string kProgram = HOSTSWEEP_PATH;

// The maker's variables.
const std::string kMaker = ".1.3.6.1.4.1.40599.";
const std::string kPorts = kMaker + "1.1.1.0";
const std::string kCardModel = kMaker + "1.2.15.0";
const std::string kFirmware = kMaker + "1.2.14.0";
const std::string kCardCode = kMaker + "1.2.3.0";
const std::string kPrinterName = kMaker + "2.1.1.1.2.1";
const std::string kSecondVendor = ".1.3.6.1.4.1.674.10898.100.";

// "IL100" in UTF-16LE: the model code of the internal adapter with index 23.
const std::string kModelCodeA = std::string(
    "I\0L\0"
    "1\0"
    "0\0"
    "0\0",
    10);

std::vector<SnmpServedValue> print_server(const std::string& card_code, const std::string& name) {
  return {{kPorts, SnmpServedValue::INTEGER, "1"},
          {kCardModel, SnmpServedValue::STRING, "NetPort card"},
          {kFirmware, SnmpServedValue::STRING, "firmware 2.1"},
          {kCardCode, SnmpServedValue::STRING, card_code},
          {kPrinterName, SnmpServedValue::STRING, name}};
}

std::vector<SnmpServedValue> internal_adapter(const std::string& name) {
  // A card model whose second byte has bit 0x04: an internal adapter.
  return {{kPorts, SnmpServedValue::INTEGER, "1"},
          {kCardModel, SnmpServedValue::HEX_STRING, std::string("\x01\x04\x00", 3)},
          {kFirmware, SnmpServedValue::HEX_STRING, kModelCodeA},
          {kCardCode, SnmpServedValue::STRING, "unused"},
          {kPrinterName, SnmpServedValue::STRING, name}};
}

std::vector<SnmpServedValue> second_vendor(const std::string& model) {
  return {{kSecondVendor + "2.1.2.1.2.1", SnmpServedValue::STRING, model},
          {kSecondVendor + "1.6.1.0", SnmpServedValue::STRING, "x"},
          {kSecondVendor + "1.1.15.0", SnmpServedValue::STRING, "x"},
          {kSecondVendor + "1.1.14.0", SnmpServedValue::STRING, "x"},
          {kSecondVendor + "1.1.11.0", SnmpServedValue::STRING, "x"}};
}

std::vector<std::string> sorted_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

class HostsweepTest : public ::testing::Test {
 protected:
  void SetUp() override { tree.write("usr/quintaro/etc/hsweep.cmib", read_file(HSWEEP_CMIB_PATH)); }
  RunResult run(const std::vector<std::string>& args, std::vector<std::string> env = {}) {
    env.push_back("QUINTARO_ROOT=" + tree.root());
    return run_program(kProgram, args, {.env = env}, "hostsweep");
  }
  // Starts an agent; false (and the test is skipped) where none can run.
  bool start(const std::string& address, const std::vector<SnmpServedValue>& values,
             const std::vector<std::string>& communities = {"tessel"}) {
    agents.push_back(std::make_unique<SnmpAgent>(address, values, communities));
    return agents.back()->available();
  }

  TempTree tree;
  std::vector<std::unique_ptr<SnmpAgent>> agents;
};

TEST_F(HostsweepTest, FindsTheMakersAdaptersAndASecondVendorsPrinter) {
  if (!start("127.0.8.1", print_server("CX-1001", "Laser One")) ||
      !start("127.0.8.2", internal_adapter("Inkjet Two")) ||
      !start("127.0.8.3", second_vendor("Vendor Three"))) {
    GTEST_SKIP() << agents.back()->unavailable_reason();
  }
  // 127.0.8.4 stays silent. (The adapters that need the NPA dialogue have tests of
  // their own, with a print-server simulator.)
  for (bool colon : {false, true}) {
    std::vector<std::string> args = {"-I", "-t", "1,1", "-r", "127.0.8.1-127.0.8.4"};
    if (colon) args.push_back("-x");
    args.push_back(tree.path("found"));
    RunResult r = run(args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    if (!colon) {
      const std::string list =
          "127.0.8.1        1 tessel     tessel     Corvane NetPort CX   127.0.8.1             "
          "              Laser One\n"
          "127.0.8.2        1 tessel     tessel     Corvane InLink A     127.0.8.2             "
          "              Inkjet Two\n"
          "127.0.8.3        1 tessel     tessel     Vendor Three Ethernet 127.0.8.3             "
          "              Vendor Three\n";
      EXPECT_EQ(sorted_lines(r.out), sorted_lines(list));
      EXPECT_EQ(tree.read("found"), list);
    } else {
      const std::string list =
          "127.0.8.1:127.0.8.1:Laser One:Corvane NetPort CX:1:0\n"
          "127.0.8.2:127.0.8.2:Inkjet Two:Corvane InLink A:1:0\n"
          "127.0.8.3:127.0.8.3:Vendor Three:Vendor Three Ethernet:1:0\n";
      EXPECT_EQ(sorted_lines(r.out), sorted_lines(list));
      EXPECT_EQ(tree.read("found"), list);
    }
  }
}

TEST_F(HostsweepTest, AllProbesAtOnceStillReportTheLastAnswer) {
  // -o 11: a limit of 7 and every probe started at once; the one printer is the last
  // probe open and must not be abandoned.
  if (!start("127.0.8.11", print_server("CX-2002", "Only One"))) {
    GTEST_SKIP() << agents.back()->unavailable_reason();
  }
  RunResult r = run({"-I", "-o", "11", "-d", "10", "-f", tree.path("debug"), "-h", "127.0.8.11",
                     tree.path("found")},
                    {"SUFFIX=1"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "127.0.8.11       1 tessel     tessel     Corvane NetPort DX   127.0.8.11            "
            "              Only One\n");
  std::string debug = tree.read("debug");
  for (const char* line : {"setrlimit was successfull\nMax_connections = 7\n"
                           "Send to 127.0.8.11, outstanding connections = 0\n",
                           "| Get the following SNMP Variables from 127.0.8.11:\n"
                           "| corvhdwrNumPorts.0\n",
                           "| Gets the following SNMP Variables from 127.0.8.11:\n"
                           "| prtcorePrinterName.1\n",
                           "| Got SNMP response from :127.0.8.11\n"}) {
    EXPECT_NE(debug.find(line), std::string::npos) << line << "\nin\n" << debug;
  }
}

TEST_F(HostsweepTest, OtherCommunitiesAndAgentsWithoutTheVariablesFindNothing) {
  std::vector<SnmpServedValue> router(1);
  router[0].oid = ".1.3.6.1.2.1.1.1.0";
  router[0].value = "a router";
  if (!start("127.0.8.21", print_server("CX-1001", "Hidden"), {"private"}) ||
      !start("127.0.8.22", router)) {
    GTEST_SKIP() << agents.back()->unavailable_reason();
  }
  RunResult r = run({"-I", "-t", "1,1", "-r", "127.0.8.21-127.0.8.22", tree.path("found")});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(tree.read("found"), "");
  // With the agent's community it answers, and -p shows the process id first.
  RunResult found = run({"-I", "-p", "-c", "private,x", "-h", "127.0.8.21", tree.path("found")});
  EXPECT_NE(found.out.find("\n127.0.8.21       1 private    x          Corvane NetPort CX"),
            std::string::npos)
      << found.out;
}

TEST_F(HostsweepTest, ErrorsOfTheRunAndPrinterFileMode) {
  std::string list = tree.write("list", "127.0.8.31 1 pub priv\n127.0.8.32\n");
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err;
  } cases[] = {
      {{"-S", "server", "-I", list}, 0, "", "Missing the printer port on line 2\n"},
      {{"-s", "server", tree.path("absent")},
       255,
       "",
       "Could not open " + tree.path("absent") + "\n"},
      {{"-h", "127.0.8.31", tree.path("no/such/dir/out")},
       255,
       "",
       "Could not open " + tree.path("no/such/dir/out") + " for writing.\n"},
      {{"-n", "10.0.0"}, 102, "", "Invalid IP address: 10.0.0\n"},
  };
  for (const auto& c : cases) {
    RunResult r = run(c.args);
    EXPECT_EQ(r.status, c.status) << c.args[0];
    EXPECT_EQ(r.out, c.out) << c.args[0];
    EXPECT_EQ(r.err, c.err) << c.args[0];
  }
  // A name that does not resolve, in a network namespace where no resolver can be
  // reached (where such a namespace can be made).
  if (run_program("/usr/bin/unshare", {"-n", "/bin/true"}).status == 0) {
    RunResult name = run_program("/usr/bin/unshare", {"-n", kProgram, "-h", "no-such-printer"},
                                 {.env = {"QUINTARO_ROOT=" + tree.root()}});
    EXPECT_EQ(name.status, 101);
    EXPECT_EQ(name.err, "Invalid Hostname or IP address: no-such-printer\n");
  }
  ASSERT_EQ(unlink(tree.path("usr/quintaro/etc/hsweep.cmib").c_str()), 0);
  RunResult no_mib = run({"-h", "127.0.8.31", tree.path("out")});
  EXPECT_EQ(no_mib.status, 2);
  EXPECT_EQ(no_mib.err, "Couldn't find " + tree.path("usr/quintaro/etc/hsweep.cmib") + " file\n");
}

}  // namespace
