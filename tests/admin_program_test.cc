// The suite as an administrator meets it: installed into a staging directory (its
// layout and modes checked against a listing), then driven with its own scripts
// below that directory (QUINTARO_ROOT): devices and queues created, listed, used to
// print a job on a loopback test printer (127.0.12.x), and removed.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/peers.h"
#include "tests/support/program.h"

namespace fs = std::filesystem;

namespace {

// Installs the suite below one staging directory for all tests of this file.
class AdminTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    stage_ = new TempTree;
    RunResult r = run_program(CMAKE_COMMAND, {"--install", BUILD_DIR},
                              {.env = {"DESTDIR=" + stage_->root()}});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
  }
  static void TearDownTestSuite() {
    delete stage_;
    stage_ = nullptr;
  }
  void TearDown() override {
    // Each test starts without queues and devices.
    for (const char* dir : {"var/spool/printer/unix_prt_drivers/vir_queues",
                            "var/spool/corvane/unix_prt_drivers/vir_queues",
                            "var/spool/corvane/unix_prt_drivers/vir_devices"}) {
      for (const auto& entry : fs::directory_iterator(stage_->path(dir))) fs::remove_all(entry);
    }
  }

  static std::string bin(const std::string& name) {
    return stage_->path("usr/quintaro/bin/" + name);
  }
  // Runs an installed script or program below the staging directory.
  RunResult run(const std::string& path, const std::vector<std::string>& args,
                const std::string& input = "") {
    return run_program(path, args, {.env = {"QUINTARO_ROOT=" + stage_->root()}, .input = input});
  }
  RunResult script(const std::string& name, const std::vector<std::string>& args) {
    return run(bin(".scripts/" + name + ".sh"), args);
  }

  static TempTree* stage_;
};
TempTree* AdminTest::stage_ = nullptr;

TEST_F(AdminTest, InstallLaysOutTheSuiteWithItsModes) {
  std::vector<std::string> listing;
  for (const auto& entry : fs::recursive_directory_iterator(stage_->root())) {
    struct stat st;
    ASSERT_EQ(lstat(entry.path().c_str(), &st), 0);
    std::string path = entry.path().string().substr(stage_->root().size());
    char mode[16];
    snprintf(mode, sizeof mode, "%04o", st.st_mode & 07777);
    if (S_ISLNK(st.st_mode)) {
      listing.push_back(path + " -> " + fs::read_symlink(entry.path()).string());
    } else {
      listing.push_back(path + " " + mode + (S_ISDIR(st.st_mode) ? "/" : ""));
    }
  }
  std::sort(listing.begin(), listing.end());
  std::string text;
  for (const std::string& line : listing) text += line + "\n";
  std::string golden = read_file(std::string(SOURCE_DIR) + "/tests/golden/install_layout.txt");
  if (geteuid() != 0) GTEST_SKIP() << "set-user-id bits are only kept when installed as root";
  EXPECT_EQ(text, golden);
}

TEST_F(AdminTest, DevicesAreDefinedCheckedAndRemoved) {
  RunResult created = script("portcreate", {"laser1", "network", "127.0.12.1", "logfile=/tmp/l.log",
                                            "administrator=root", "ir_user=mail"});
  EXPECT_EQ(created.status, 0) << created.err;
  EXPECT_EQ(stage_->read("var/spool/corvane/unix_prt_drivers/vir_devices/laser1"),
            "transport_type=network\nnetwork_host=127.0.12.1\nlogfile=/tmp/l.log\n"
            "administrator=root\nir_user=mail\n");
  EXPECT_EQ(run(bin("linebuilder"), {"-v", "laser1"}).out,
            stage_->root() +
                "/usr/corvtools/bin/netfeeder -u @ -n '' -l /tmp/l.log -a root -miu -j \"\" "
                "127.0.12.1\n");
  const struct {
    std::vector<std::string> args;
    int status;
    std::string err;
  } refusals[] = {
      {{"laser1", "serial", "/dev/ttyS0"},
       1,
       "portcreate: device 'laser1' exists already (use -f to replace it)\n"},
      {{"--", "-bad", "network", "h"},
       1,
       "portcreate: invalid device name '-bad': use letters, digits, '.', '_' and '-', not "
       "starting with '.' or '-'\n"},
      {{"../up", "network", "h"},
       1,
       "portcreate: invalid device name '../up': use letters, digits, '.', '_' and '-', not "
       "starting with '.' or '-'\n"},
      {{"d2", "fax", "h"},
       1,
       "portcreate: invalid device type 'fax': use network, serial, parallel or usb\n"},
      {{"d2", "network", "h; rm -rf /"},
       1,
       "portcreate: invalid value 'h; rm -rf /' for network_host: use letters, digits and . _ @ "
       "% "
       "+ = : , / -\n"},
      {{"d2", "network", "h", "colour=red"}, 1, "portcreate: unknown key 'colour'\n"},
      {{"d2", "network"}, 2, "portcreate: NAME, TYPE and TARGET are needed (try portcreate -h)\n"},
  };
  for (const auto& r : refusals) {
    RunResult result = script("portcreate", r.args);
    EXPECT_EQ(result.status, r.status) << r.args[0];
    EXPECT_EQ(result.err, r.err) << r.args[0];
  }
  EXPECT_EQ(script("portcreate", {"-f", "laser1", "usb", "/dev/usb/lp0"}).status, 0);
  EXPECT_EQ(script("portremove", {"laser1"}).status, 0);
  RunResult gone = script("portremove", {"laser1"});
  EXPECT_EQ(gone.status, 1);
  EXPECT_EQ(gone.err, "portremove: device 'laser1' does not exist\n");
}

TEST_F(AdminTest, QueuesAreDefinedListedUsedToPrintAndRemoved) {
  ASSERT_EQ(script("portcreate", {"dev1", "network", "127.0.12.2"}).status, 0);
  RunResult created = script("lanecreate", {"-s", "pcl", "q1", "dev1", "generic_pcl.b",
                                            "pcl_orientation=landscape", "copies=2"});
  ASSERT_EQ(created.status, 0) << created.err;
  const std::string vqd =
      "pdd=generic_pcl.b\ndevice_name=dev1\nds_list=pcl\npcl_jobname=on\npcl_userinfo=on\n"
      "pcl_orientation=landscape\npcl_copies=2\npcl_paper_size=letter\npcl_resolution=600\n"
      "pcl_pitch=10.00\n";
  EXPECT_EQ(stage_->read("var/spool/printer/unix_prt_drivers/vir_queues/q1/.q1"), vqd);
  EXPECT_EQ(stage_->read("var/spool/corvane/unix_prt_drivers/vir_queues/q1/.q1"), vqd);

  // The queue formats a job as a queue written by hand with the same settings does.
  stage_->write("var/spool/printer/unix_prt_drivers/vir_queues/hand/.hand", vqd);
  RunResult by_script = run(bin("jobshaper"), {"-q", "q1", "-s", "T", "-u", "al"}, "the job\n");
  RunResult by_hand = run(bin("jobshaper"), {"-q", "hand", "-s", "T", "-u", "al"}, "the job\n");
  EXPECT_EQ(by_script.status, 0) << by_script.err;
  EXPECT_EQ(by_script.out, by_hand.out);
  EXPECT_NE(by_script.out.find("LANDSCAPE"), std::string::npos);
  fs::remove_all(stage_->path("var/spool/printer/unix_prt_drivers/vir_queues/hand"));

  EXPECT_EQ(script("quintaro", {"list"}).out,
            "QUEUE                DEVICE               PDD                  STREAM\n"
            "q1                   dev1                 generic_pcl.b        pcl\n"
            "\nDEVICE               TYPE       TARGET\n"
            "dev1                 network    127.0.12.2\n");

  EXPECT_EQ(script("pact_notice", {}).out.rfind("Quintaro printer driver suite ", 0), 0u);
  EXPECT_EQ(script("quintspool", {}).out,
            "QUEUE                DEVICE               PRINTER\n"
            "q1                   dev1                 does not answer on 127.0.12.2:9100\n");
  {
    TestPrinterPort answering("127.0.12.2", 9100);
    EXPECT_EQ(script("quintspool", {}).out,
              "QUEUE                DEVICE               PRINTER\n"
              "q1                   dev1                 answers on 127.0.12.2:9100\n");
  }

  // The filter prints the job on the device's printer and says so with status 0.
  TestPrinterPort printer("127.0.12.2", 9100);
  std::string received;
  std::thread serve([&] {
    // Reads the job until the agent shuts its side, then closes: the job is done.
    UniqueFd connection = printer.accept_connection(20000);
    if (connection.valid()) received = read_until_eof(connection.get());
  });
  std::string job = stage_->write("job.txt", "the job\n");
  RunResult printed = run(bin("jobgate.sh"), {"q1", "-s", "T", "-u", "al", job});
  serve.join();
  EXPECT_EQ(received, by_hand.out);
  EXPECT_EQ(printed.status, 0) << printed.err;

  const struct {
    std::string name;
    std::vector<std::string> args;
    int status;
    std::string err;
  } refusals[] = {
      {"lanecreate", {"q2", "dev1", "generic_pcl.b", "-s"}, 1, ""},
      {"lanecreate",
       {"q1", "dev1", "generic_pcl.b"},
       1,
       "lanecreate: queue 'q1' exists already (use -f to replace it)\n"},
      {"lanecreate",
       {"q2", "nodev", "generic_pcl.b"},
       1,
       "lanecreate: device 'nodev' does not exist\n"},
      {"lanecreate",
       {"q2", "dev1", "../etc/passwd"},
       1,
       "lanecreate: invalid PDD '../etc/passwd': give the name of a file in " +
           stage_->path("usr/quintaro/etc/printers/bin") + "\n"},
      {"portremove", {"dev1"}, 1, "portremove: device 'dev1' is used by queue 'q1'\n"},
      {"laneremove", {"q9"}, 1, "laneremove: queue 'q9' does not exist\n"},
  };
  for (const auto& r : refusals) {
    RunResult result = script(r.name, r.args);
    EXPECT_EQ(result.status, r.status) << r.name << " " << r.args[0];
    if (!r.err.empty()) {
      EXPECT_EQ(result.err, r.err) << r.name << " " << r.args[0];
    }
  }
  // A pair the formatter would refuse is refused, and nothing is written.
  RunResult bad =
      script("lanecreate", {"-s", "pcl", "q2", "dev1", "generic_pcl.b", "pcl_copies=0"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("pcl_copies"), std::string::npos) << bad.err;
  EXPECT_FALSE(stage_->exists("var/spool/printer/unix_prt_drivers/vir_queues/q2/.q2"));
  // The filter never reports a job it could not format as printed.
  RunResult unknown = run(bin("jobgate.sh"), {"q9", job});
  EXPECT_EQ(unknown.status, 1);

  EXPECT_EQ(script("laneremove", {"q1"}).status, 0);
  EXPECT_FALSE(stage_->exists("var/spool/corvane/unix_prt_drivers/vir_queues/q1"));
  EXPECT_EQ(script("portremove", {"dev1"}).status, 0);
}

}  // namespace
