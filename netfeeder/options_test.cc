// The delivery-flag grammar, the port selection and the limits of the settings.
#include "netfeeder/options.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/capture.h"

namespace {

// Parses a command line; gives parse_options' result.
int parse(std::vector<std::string> args, Settings& s) {
  args.insert(args.begin(), "netfeeder");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  UniqueFd input;
  return parse_options(static_cast<int>(args.size()), argv.data(), s, input);
}

TEST(DeliverySpec, GrammarGivesBitsOrTheExactMessage) {
  struct Case {
    const char* spec;
    int flags;
    const char* message;
  };
  const Case cases[] = {
      {"iu", 1, ""},
      {"ia", 2, ""},
      {"lu", 4, ""},
      {"la", 8, ""},
      {"ilua", 15, ""},
      {"liau", 15, ""},
      {"lua", 12, ""},
      {"iau", 3, ""},
      {"il", 0, "No user type specified.\nUse u or a.\n"},
      {"i", 0, "No user type specified.\nUse u or a.\n"},
      {"xu", 0, "Unknown Message type :x\nUse i or l.\n"},
      {"iz", 0, "Unknown user type: z\nUse u or a.\n"},
      {"ii", 0, "Unknown user type: i\nUse u or a.\n"},
      {"iux", 0, "Extra characters at end of iux : x\n"},
      {"iuu", 0, "Extra characters at end of iuu : u\n"},
  };
  for (const Case& c : cases) {
    int flags = 0;
    EXPECT_EQ(parse_delivery_spec(c.spec, flags), c.message) << c.spec;
    EXPECT_EQ(flags, c.flags) << c.spec;
  }
}

TEST(DeliverySpec, RepeatedOptionsAccumulate) {
  Settings s;
  EXPECT_EQ(parse({"-m", "iu", "-m", "la", "-w", "ia", "-w", "lu", "-u", "x", "h"}, s), -1);
  EXPECT_EQ(s.mail_flags, 9);
  EXPECT_EQ(s.write_flags, 6);
}

TEST(Ports, PrintServerPortNumberChoosesPortsAndTarragonMode) {
  struct Case {
    std::vector<std::string> args;
    int ir_port;
    int response_port;
    bool tarragon;
    int server_port;
  };
  const Case cases[] = {
      {{"h"}, 9200, 9100, false, -1},
      {{"-p", "1", "h"}, 9200, 9400, true, 1},
      {{"-p", "2", "h"}, 9202, 9400, true, 2},
      {{"-p", "3", "h"}, 9203, 9400, true, 3},
      {{"-p", "56335", "h"}, 65535, 9400, true, 56335},  // the highest IR port
      {{"-p", " -9200x", "h"}, 0, 9400, true, -9200},    // read as atoi reads it
      {{"-p", "i9300", "h"}, 9300, 9100, false, -1},
      {{"-p", "l9101", "h"}, 9200, 9101, false, -1},
      {{"-p", "i9300", "-p", "2", "h"}, 9202, 9400, true, 2},
  };
  for (const Case& c : cases) {
    Settings s;
    ASSERT_EQ(parse(c.args, s), -1);
    compute_ports(s);
    EXPECT_EQ(s.ir_port, c.ir_port) << c.args[1];
    EXPECT_EQ(s.response_port, c.response_port) << c.args[1];
    EXPECT_EQ(s.tarragon, c.tarragon) << c.args[1];
    EXPECT_EQ(s.server_port, c.server_port) << c.args[1];
  }
}

TEST(Settings, DefaultsLimitsAndExtraOptions) {
  Settings s;
  ASSERT_EQ(parse({"laser1"}, s), -1);
  EXPECT_EQ(s.host, "laser1");
  EXPECT_EQ(s.header_host, " ");
  EXPECT_EQ(s.job_name, " ");

  std::string long_name(600, 'n'), long_path(2000, 'p');
  Settings cut;
  ASSERT_EQ(parse({"-s", long_name, "-j", long_name, "-u", long_name, "-a", long_name,
                   "-n", long_name, "-l", long_path, "-z", long_path, "-S", "mgr",
                   "-c", "mailhub", "-W", "ignored", "-D", long_name},
                  cut),
            -1);
  EXPECT_EQ(cut.host.size(), HOST_LIMIT);
  for (const std::string* v :
       {&cut.header_host, &cut.job_name, &cut.user, &cut.admin, &cut.printer_name}) {
    EXPECT_EQ(v->size(), NAME_LIMIT);
  }
  EXPECT_EQ(cut.log_path.size(), PATH_LIMIT);
  EXPECT_EQ(cut.progress_path.size(), PATH_LIMIT);
  EXPECT_EQ(cut.management_server, "mgr");
  EXPECT_EQ(cut.mail_host, "mailhub");
  EXPECT_TRUE(cut.debug);

  Settings by_h;
  ASSERT_EQ(parse({"-h", "printer2", "other", "operands"}, by_h), -1);
  EXPECT_EQ(by_h.host, "printer2");
}

TEST(Settings, ParsesAfreshAfterAParseThatStoppedInsideAGroup) {
  Settings stopped, next;
  {
    StderrCapture err;  // getopt names the unknown option
    EXPECT_EQ(parse({"-xQh", "laser1"}, stopped), NETFEEDER_FAILED);
  }
  ASSERT_EQ(parse({"-h", "printer2"}, next), -1);
  // Not "-h": the -h of the stopped group is not taken up by the next parse.
  EXPECT_EQ(next.host, "printer2");
}

}  // namespace
