// Runs the built linebuilder against temporary trees and checks the exact command
// line on standard output, the messages on standard error, the debug listing and
// the status.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/support/program.h"

namespace {

const std::string kProgram = LINEBUILDER_PATH;
const std::string kUsage =
    "\nUSAGE:\n"
    "    linebuilder -v name [-j job] [-u user] [-h host] [-d number -t file]\n"
    "    linebuilder -q name [-j job] [-u user] [-h host] [-d number -t file]\n"
    "    linebuilder -H\n"
    "\nTry 'linebuilder -H' for more information\n\n";
const std::string kTransportFailed = "\nlinebuilder: transport failed. Program aborted.\n\n";
const std::string kQueues = "var/spool/corvane/unix_prt_drivers/vir_queues/";
const std::string kDevices = "var/spool/corvane/unix_prt_drivers/vir_devices/";
const std::string kSpecDevice =
    "transport_type=network\nnetwork_host=laser1\n"
    "logfile=/tmp/logfile\nadministrator=root\n";

class LinebuilderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    write_queue("test_pcl", "device_name=laser_dev\n");
    write_device("laser_dev", kSpecDevice);
  }

  RunResult run(const std::vector<std::string>& args) {
    return run_program(kProgram, args, {.env = {"QUINTARO_ROOT=" + tree.root()}});
  }
  void write_queue(const std::string& name, const std::string& vqd) {
    tree.write(kQueues + name + "/." + name, vqd);
  }
  void write_device(const std::string& name, const std::string& vdd) {
    tree.write(kDevices + name, vdd);
  }
  std::string agent(const std::string& name) { return tree.root() + "/usr/corvtools/bin/" + name; }

  TempTree tree;
};

TEST_F(LinebuilderTest, NetworkCommands) {
  struct Case {
    std::string vdd;
    std::vector<std::string> args;
    std::string command;  // after the agent's path
  };
  const std::vector<std::string> spec_args = {"-q", "test_pcl", "-u", "user1", "-h", "localhost"};
  const Case cases[] = {
      {kSpecDevice, spec_args,
       " -u user1@localhost -n test_pcl -l /tmp/logfile -a root -j \"\" laser1"},
      {"transport_type=network\nlogfile=none\nadministrator=none\nalt_mail_hostname=none\n"
       "network_host=laser1\n",
       spec_args, " -u user1@localhost -n test_pcl -c none -j \"\" laser1"},
      {"transport_type=network\nir_admin=mail\n", spec_args,
       " -u user1@localhost -n test_pcl -mia -mla -j \"\""},
      {"transport_type=network\nir_user=write\npr_user=mail\nir_admin=write\n", spec_args,
       " -u user1@localhost -n test_pcl -wiu -mlu -wia -wla -j \"\""},
      // Every key, in the order the agent's options are added.
      {"network_host=h1\ntarragon_ports=2\nalt_ov_server_hostname=alt\nalt_mail_hostname=mh\n"
       "ir_admin=mail\npr_user=mail\nir_user=mail\nadministrator=adm\nov_server_hostname=ov\n"
       "logfile=/var/log/q\ntransport_type=network\n",
       {"-q", "test_pcl", "-u", "u", "-h", "h", "-j", "Report 7"},
       " -u u@h -n test_pcl -l /var/log/q -S ov -a adm -miu -mlu -mia -mla -c mh -S alt"
       " -j \"Report 7\" -p 2 h1"},
      // The device named directly: no queue name, and no user or host.
      {kSpecDevice, {"-v", "laser_dev"}, " -u @ -n '' -l /tmp/logfile -a root -j \"\" laser1"},
      // Values from the VDD are the administrator's and stay as they are.
      {"transport_type=network\nlogfile=/tmp/a b\nnetwork_host=laser1\n", spec_args,
       " -u user1@localhost -n test_pcl -l /tmp/a b -j \"\" laser1"},
  };
  for (const Case& c : cases) {
    write_device("laser_dev", c.vdd);
    RunResult r = run(c.args);
    EXPECT_EQ(r.status, 0) << c.vdd << r.err;
    EXPECT_EQ(r.err, "") << c.vdd;
    EXPECT_EQ(r.out, agent("netfeeder") + c.command + "\n") << c.vdd;
  }
}

TEST_F(LinebuilderTest, SerialParallelAndUsbCommands) {
  struct Case {
    std::string vdd;
    std::string command;  // after the tool directory's bin/
  };
  const Case cases[] = {
      {"transport_type=serial\nserial_device=/dev/ttyS0\nbaud_rate=9600\ndata_bits=8\n"
       "parity=none\nserial_protocol=xon\n",
       "serfeeder -d /dev/ttyS0 -b 9600 -c 8 -p none -s xon"},
      {"transport_type=serial\nserial_device=other\nother_serial_device=/dev/ttyUSB1\n"
       "baud_rate=none\ndata_bits=\nserial_protocol=none\n",
       "serfeeder -d /dev/ttyUSB1"},
      {"transport_type=parallel\nparallel_device=other\nother_parallel_device=/dev/lp1\n",
       "parfeeder -d /dev/lp1"},
      {"transport_type=parallel\nparallel_device=/dev/lp0\nbpp_device=yes\n",
       "parfeeder -d /dev/lp0 -o"},
      {"transport_type=usb\nusb_device=/dev/usb/lp0\nbpp_device=yes\n",
       "usbfeeder -d /dev/usb/lp0 -o"},
      {"transport_type=usb\nother_usb_device=/dev/usb/lp9\nbpp_device=no\n",
       "usbfeeder -d /dev/usb/lp9"},
  };
  for (const Case& c : cases) {
    write_device("dev", c.vdd);
    // The job's details do not reach the sibling agents.
    RunResult r = run({"-v", "dev", "-u", "u", "-h", "h", "-j", "j"});
    EXPECT_EQ(r.status, 0) << c.vdd << r.err;
    EXPECT_EQ(r.err, "") << c.vdd;
    EXPECT_EQ(r.out, agent(c.command) + "\n") << c.vdd;
  }
}

TEST_F(LinebuilderTest, HostileJobDataStaysInert) {
  write_queue("my q", "device_name=laser_dev\n");
  const std::string job = "$(touch pwned) `touch pwned` \"; touch pwned; \" \\ $HOME";
  const std::string user = "x'; touch pwned; '";
  const std::string host = "h;touch pwned";
  RunResult r = run({"-q", "my q", "-u", user, "-h", host, "-j", job});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, agent("netfeeder") +
                       " -u 'x'\\''; touch pwned; '\\'''@'h;touch pwned' -n 'my q'"
                       " -l /tmp/logfile -a root"
                       " -j \"\\$(touch pwned) \\`touch pwned\\` \\\"; touch pwned; \\\" \\\\ "
                       "\\$HOME\" laser1\n");

  // Run through a shell, the line gives the agent each value as one argument.
  tree.write("usr/corvtools/bin/netfeeder", "#!/bin/sh\nfor a; do printf '[%s]\\n' \"$a\"; done\n",
             0755);
  std::string line = r.out.substr(0, r.out.size() - 1);
  RunResult shell = run_program("/bin/sh", {"-c", "cd \"$0\" && " + line, tree.root()});
  EXPECT_EQ(shell.status, 0) << shell.err;
  EXPECT_EQ(shell.out, "[-u]\n[" + user + "@" + host +
                           "]\n[-n]\n[my q]\n[-l]\n[/tmp/logfile]\n"
                           "[-a]\n[root]\n[-j]\n[" +
                           job + "]\n[laser1]\n");
  EXPECT_FALSE(tree.exists("pwned"));
}

TEST_F(LinebuilderTest, CommandsAndPathsAreLimitedTo255Characters) {
  // "/usr/corvtools/bin/netfeeder -u u@h -n test_pcl -j \"\" " is 54 characters.
  for (size_t host_length : {201u, 202u}) {
    write_device("laser_dev",
                 "transport_type=network\nnetwork_host=" + std::string(host_length, 'h') + "\n");
    RunResult r = run({"-q", "test_pcl", "-u", "u", "-h", "h"});
    if (host_length == 201) {
      EXPECT_EQ(r.status, 0) << r.err;
      EXPECT_EQ(r.out.size() - tree.root().size(), 256u);  // 255 and the newline
    } else {
      EXPECT_EQ(r.status, 255);
      EXPECT_EQ(r.err, kTransportFailed);
      EXPECT_EQ(r.out, "");
    }
  }

  // The device path ".../corvane/unix_prt_drivers//vir_devices/" is 49 characters.
  const std::string fits(206, 'd'), too_long(207, 'd');
  write_device(fits, "transport_type=parallel\nparallel_device=/dev/lp0\n");
  RunResult ok = run({"-v", fits});
  EXPECT_EQ(ok.status, 0) << ok.err;
  EXPECT_EQ(ok.out, agent("parfeeder") + " -d /dev/lp0\n");
  RunResult refused = run({"-v", too_long});
  EXPECT_EQ(refused.status, 255);
  EXPECT_EQ(refused.err, kTransportFailed);
  EXPECT_EQ(refused.out, "");
}

TEST_F(LinebuilderTest, Errors) {
  write_queue("ghost_q", "device_name=ghost\n");
  write_queue("blank_q", "device_name=\n");
  write_device("untyped", "network_host=laser1\n");
  write_device("ethernet", "transport_type=ethernet\n");
  write_device("par_none",
               "transport_type=parallel\nparallel_device=other\n"
               "other_parallel_device=none\n");
  write_device("usb_none", "transport_type=usb\n");
  write_device("ser_none", "transport_type=serial\nserial_device=other\n");
  const std::string untyped_shown =
      tree.root() + "/var/spool/corvane/unix_prt_drivers//vir_devices/untyped";
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const Case cases[] = {
      {{}, kUsage},
      {{"-x"}, kProgram + ": invalid option -- 'x'\n" + kUsage},
      {{"-d", "2", "-q", "test_pcl"},
       kUsage + "Missing [-t] option, specify a debug filename.\n\n"},
      {{"-q", "test_pcl", "-v", "laser_dev"},
       kUsage + "Options [ -q|-v ] are mutually exclusive, use one option only.\n\n"},
      {{"-q", "test_pcl", "-t", tree.path("no/dir/debug")},
       "\nlinebuilder: Can't Open debug file '" + tree.path("no/dir/debug") + "' for writing.\n\n"},
      {{"-q", "nosuch"}, kUsage + "\nERROR: Queue Name [ nosuch ] does not exist.\n\n"},
      {{"-u", "user1"}, kUsage + "\nERROR: Queue Name [  ] does not exist.\n\n"},
      {{"-v", "nosuch"}, kUsage + "\nERROR: Device Name [ nosuch ] does not exist.\n\n"},
      {{"-q", "ghost_q"}, kUsage + "\nERROR: Device Name [ ghost ] does not exist.\n\n"},
      {{"-q", "blank_q"}, kUsage + "\nERROR: Device Name [  ] does not exist.\n\n"},
      {{"-v", "untyped"},
       "\n\nlinebuilder:  ERROR\n\nCould not find 'transport_type' in '" + untyped_shown +
           "'\n\tMissing 'transport_type' field in " + untyped_shown + "\n\n"},
      {{"-v", "ethernet"}, kTransportFailed},
      {{"-v", "par_none"},
       "\n\nERROR\n\nCould not find 'other_parallel_device''\n" + kTransportFailed},
      {{"-v", "usb_none"}, "\n\nERROR\n\nCould not find 'other_usb_device''\n" + kTransportFailed},
      {{"-v", "ser_none"},
       "\n\nlinebuilder:  ERROR\n\nCould not find 'other_serial_device'\n" + kTransportFailed},
  };
  for (const Case& c : cases) {
    RunResult r = run(c.args);
    EXPECT_EQ(r.status, 255) << testing::PrintToString(c.args);
    EXPECT_EQ(r.err, c.err) << testing::PrintToString(c.args);
    EXPECT_EQ(r.out, "") << testing::PrintToString(c.args);
  }
}

// The listing of each network step: the step's line, then the command so far.
std::string network_steps(std::string command,
                          const std::vector<std::pair<std::string, std::string>>& steps) {
  std::string listing;
  for (const auto& [step, piece] : steps) {
    command += piece;
    listing += step + "\t\t" + command + "\n";
  }
  return listing;
}

TEST_F(LinebuilderTest, DebugListing) {
  const std::string vqd = tree.path(kQueues + "test_pcl/.test_pcl");
  const std::string missing = tree.path(kQueues + "nosuch/.nosuch");
  const std::string vdd = tree.root() + "/var/spool/corvane/unix_prt_drivers//vir_devices/";
  const std::string header =
      "\n-------------------- DEBUGGING OUTPUT ------------------------\n"
      "Program        : linebuilder\n";
  const std::string footer = "\n--------------------------------------------------------------\n\n";
  const std::string opened =
      "Successfully opened the virtual device def file.\n"
      "Successfully read the virtual device def file.\n";
  const std::string debug = tree.path("debug.txt");
  write_device("usb", "transport_type=usb\nusb_device=/dev/u0\nbpp_device=yes\n");
  write_device("eth", "transport_type=ethernet\n");

  const std::string network = agent("netfeeder") +
                              " -u user1@localhost -n test_pcl -l /tmp/logfile -a root -j \"\" "
                              "laser1\n";
  const std::string usb = agent("usbfeeder") + " -d /dev/u0 -o\n";
  struct Case {
    std::vector<std::string> args;  // besides -t
    std::string listing;
  };
  const Case cases[] = {
      // A debug file alone selects the listing.
      {{"-q", "test_pcl", "-u", "user1", "-h", "localhost"},
       header + "Queue name     : " + vqd +
           "\nHostname       : localhost\nUsername       : user1\n" + footer +
           "Virtual Queue Def \t= " + vqd +
           "\nSuccessfully opened the virtual queue def file.\nvdd_filename \t= " + vdd +
           "laser_dev\n" + opened + "transport_type \t= network\nStart of setup_network_device\n" +
           network_steps(agent("netfeeder"), {{"\tAdded transport\n", ""},
                                              {"\tAdded user @ host \n", " -u user1@localhost"},
                                              {"\tAdded queue name \n", " -n test_pcl"},
                                              {"\tAdded logfile \n", " -l /tmp/logfile"},
                                              {"\tAdded administrator \n", " -a root"},
                                              {"\tAdded IR/PR options \n", ""},
                                              {"\tAdded Job Info\n", " -j \"\""},
                                              {"\tAdded Network Host\n", " laser1"}}) +
           "\tcommand: " + network + "End of setup_network_device\ncommand_line\t= " + network},
      // USB devices are listed under the parallel names.
      {{"-v", "usb", "-d", "6"},
       header + "Virtual Device : " + vdd + "usb\n" + footer + opened +
           "transport_type \t= usb\nStart of setup_parallel_device\n"
           "\tAdded parallel_device\ncommand\t: " +
           agent("usbfeeder") +
           " -d /dev/u0\n"
           "\tAdded bpp_device\ncommand\t: " +
           usb + "\tcommand\t: " + usb + "End of setup_parallel_device\ncommand_line\t= " + usb},
      {{"-q", "nosuch", "-d", "2"},
       header + "Queue name     : " + missing + "\n" + footer + "\n\nCan't Open " + missing +
           "\n\n"},
      {{"-v", "eth"},
       header + "Virtual Device : " + vdd + "eth\n" + footer + opened +
           "transport_type \t= ethernet\nERROR !!. Got a NULL for cmd_line\n"},
      // Without bit 2 the file is made but stays empty.
      {{"-q", "test_pcl", "-d", "4"}, ""},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"-t", debug});
    run(args);
    EXPECT_EQ(read_file(debug), c.listing) << testing::PrintToString(c.args);
  }
}

TEST_F(LinebuilderTest, HelpGoesToStandardErrorAndFails) {
  RunResult r = run({"-H"});
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err.rfind("\nlinebuilder\n\nThis program generates the command line arguments for "
                        "transport agents\nsuch as netfeeder, parfeeder, usbfeeder, and serfeeder\n"
                        "based on the virtual device configuration file.\n",
                        0),
            0u);
  EXPECT_NE(r.err.find("\n    -d number\n       Specify the debug number. Valid options are 2 "
                       "or 4.\n"),
            std::string::npos);
  EXPECT_NE(r.err.find(agent("netfeeder") + " -u user1@localhost -r -l /tmp/logfile -a root "
                                            "laser1\n"),
            std::string::npos);
}

}  // namespace
