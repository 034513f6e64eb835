// The discovery command line: settings, mode rules and every refusal with its message
// and status.
#include "hostsweep/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/capture.h"

namespace {

struct Parsed {
  int status;
  std::string err;
  HostsweepSettings settings;
};

Parsed parse(std::vector<const char*> args) {
  std::vector<char*> argv = {const_cast<char*>("hostsweep")};
  for (const char* a : args) argv.push_back(const_cast<char*>(a));
  argv.push_back(nullptr);
  Parsed parsed;
  StderrCapture err;
  parsed.status = parse_options(static_cast<int>(argv.size()) - 1, argv.data(), parsed.settings);
  parsed.err = err.text();
  return parsed;
}

TEST(HostsweepOptions, RefusalsGiveTheirMessageAndStatus) {
  const std::string usage = usage_text();
  const struct {
    std::vector<const char*> args;
    int status;
    std::string err;
  } cases[] = {
      {{}, 255, usage},
      {{"out"}, 255, usage},
      {{"-x", "-i"}, 255, usage},
      {{"-s", "server", "-h", "10.0.0.1"}, 255, usage},
      {{"-h", "10.0.0.1", "-S", "server"}, 255, usage},
      {{"-q"}, 255, "hostsweep: invalid option -- 'q'\n" + usage},
      {{"-h"}, 255, "hostsweep: option requires an argument -- 'h'\n" + usage},
      {{"-n", "192.168.1"}, 102, "Invalid IP address: 192.168.1\n"},
      {{"-r", "10.0.0.1"}, 103, "Invalid IP address range: 10.0.0.1\n"},
      {{"-r", "10.0.0.1-10.0.0"}, 103, "Invalid IP address range: 10.0.0.1-10.0.0\n"},
      {{"-r", "10.0.0.9-10.0.0.1"}, 103, "Invalid range: 10.0.0.9-10.0.0.1\n"},
      {{"-h", "10.1.1.5", "-n", "10.0.0.0"},
       255,
       "Network 10.0.0.0 conflicts with one or more arguments.\n"},
      {{"-n", "10.0.0.0", "-h", "10.1.1.5"},
       255,
       "Host 10.1.1.5 conflicts with one or more arguments.\n"},
      {{"-n", "10.0.0.0", "-r", "10.1.3.1-10.1.3.9"},
       255,
       "Range 10.1.3.1-10.1.3.9 conflicts with one or more arguments.\n"},
      // 10.0.0.0 stands for 10.1.1.1 to 10.254.254.254: 10.0.0.5 lies outside it.
      {{"-n", "10.0.0.0", "-h", "10.0.0.5"}, -1, ""},
      {{"-P", "x", "-h", "10.0.0.1"}, 255, usage},
      {{"-h", "10.0.0.1", "-P", "-3"}, 255, usage},
      {{"-P", "2", "-S", "server"}, 255, usage},
      // 254^3 addresses are taken, 2 * 254^3 are not.
      {{"-P", "0", "-n", "10.0.0.0"}, -1, ""},
      {{"-P", "0", "-n", "10.0.0.0", "-n", "11.0.0.0"},
       255,
       "The prescan takes at most 16777216 addresses.\n"},
  };
  for (const auto& c : cases) {
    std::string name;
    for (const char* a : c.args) name += std::string(" ") + a;
    Parsed p = parse(c.args);
    EXPECT_EQ(p.status, c.status) << name;
    EXPECT_EQ(p.err, c.err) << name;
  }
  Parsed help = parse({"-H"});
  EXPECT_EQ(help.status, 255);
  EXPECT_EQ(help.err, help_text());
}

TEST(HostsweepOptions, SettingsFromTheCommandLine) {
  Parsed p = parse({"-i", "-x", "-c", "local", "-t", "5", "-o", "10", "-h", "10.0.0.7", "out"});
  ASSERT_EQ(p.status, -1) << p.err;
  EXPECT_EQ(p.settings.mode, Mode::SEARCH);
  EXPECT_EQ(p.settings.read_community, "local");
  EXPECT_EQ(p.settings.write_community, "tessel");
  EXPECT_EQ(p.settings.timeout_us, 5000000);
  EXPECT_EQ(p.settings.retries, 4);
  EXPECT_EQ(p.settings.max_connections, 240);
  EXPECT_TRUE(p.settings.colon && p.settings.ignore_adapter_status);
  EXPECT_EQ(p.settings.output_path, "out");

  p = parse({"-c", ",x", "-t", "5,1", "-o", "11", "-r", "10.0.0.1-10.0.0.1", "-I", "-p"});
  ASSERT_EQ(p.status, -1) << p.err;
  EXPECT_EQ(p.settings.read_community, "");
  EXPECT_EQ(p.settings.write_community, "x");
  EXPECT_EQ(p.settings.retries, 1);
  EXPECT_EQ(p.settings.max_connections, 11);
  EXPECT_TRUE(p.settings.no_lookup && p.settings.print_pid);
  EXPECT_EQ(p.settings.output_path, "/dev/null");
  EXPECT_EQ(p.settings.search_list.entries().size(), 1u);

  EXPECT_EQ(p.settings.prescan_rate, 0);
  EXPECT_EQ(parse({"-P", "0", "-h", "10.0.0.7"}).settings.prescan_rate, 2000);
  EXPECT_EQ(parse({"-P", "1000000", "-h", "10.0.0.7"}).settings.prescan_rate, 1000000);

  p = parse({"-S", "server", "list"});
  EXPECT_EQ(p.settings.mode, Mode::PRINTER_FILE);
  EXPECT_EQ(p.settings.server, "server");
}

}  // namespace
