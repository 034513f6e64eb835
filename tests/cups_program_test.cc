// The road of a job under a real CUPS scheduler: the suite installed into a staging
// tree, a cupsd of its own (configuration, spool, state, cache and log below one
// temporary directory, listening on 127.0.13.1 only) that runs the suite's backend
// with QUINTARO_ROOT, devices and queues made with the suite's scripts, and test
// printers on 127.0.14.x. The machine's own CUPS is never touched.
#include <arpa/inet.h>
#include <dirent.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/peers.h"
#include "tests/support/program.h"

namespace fs = std::filesystem;

namespace {

const std::string kCupsd = "/usr/sbin/cupsd";
const std::string kCupsLib = "/usr/lib/cups";
const std::string kAddress = "127.0.13.1";

// A port on `address` that nothing listens on now.
int free_port(const std::string& address) {
  UniqueFd probe = listen_on(address, 0);
  sockaddr_in in{};
  socklen_t size = sizeof in;
  getsockname(probe.get(), reinterpret_cast<sockaddr*>(&in), &size);
  return ntohs(in.sin_port);
}

// The processes whose program lies below `dir` (the staged suite and backend).
std::vector<std::string> programs_below(const std::string& dir) {
  std::vector<std::string> found;
  if (DIR* proc = opendir("/proc")) {
    while (dirent* entry = readdir(proc)) {
      std::error_code error;
      fs::path exe = fs::read_symlink(fs::path("/proc") / entry->d_name / "exe", error);
      if (!error && exe.string().rfind(dir, 0) == 0) found.push_back(exe.string());
    }
    closedir(proc);
  }
  return found;
}

class CupsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (access(kCupsd.c_str(), X_OK) != 0 || access((kCupsLib + "/daemon").c_str(), R_OK) != 0) {
      skip_ = "no cupsd installed (" + kCupsd + "): install cups-daemon and cups-client";
      return;
    }
    dir_ = new TempTree;
    // The scheduler runs the backend as its user lp, who must reach the whole tree.
    chmod(dir_->root().c_str(), 0755);
    RunResult installed =
        run_program(CMAKE_COMMAND, {"--install", BUILD_DIR}, {.env = {"DESTDIR=" + stage()}});
    ASSERT_EQ(installed.status, 0) << installed.out << installed.err;
    // CUPS's helper programs, with the suite's backend as the only backend.
    const std::string bin = dir_->path("serverbin");
    fs::create_directories(bin + "/backend");
    for (const char* part : {"daemon", "filter", "monitor", "notifier"}) {
      if (fs::exists(kCupsLib + "/" + part)) {
        fs::copy(kCupsLib + "/" + part, bin + "/" + part,
                 fs::copy_options::recursive | fs::copy_options::copy_symlinks);
      }
    }
    fs::copy_file(stage() + "/usr/lib/cups/backend/quintaro", bin + "/backend/quintaro");
    for (const char* sub : {"etc", "spool/tmp", "state", "cache", "log"}) {
      fs::create_directories(dir_->path(sub));
    }
    const std::string root = dir_->root();
    port_ = free_port(kAddress);
    dir_->write("etc/cups-files.conf",
                "ServerRoot " + root + "/etc\nServerBin " + bin + "\nRequestRoot " + root +
                    "/spool\nTempDir " + root + "/spool/tmp\nStateDir " + root +
                    "/state\nCacheDir " + root + "/cache\nAccessLog " + root +
                    "/log/access_log\nErrorLog " + root + "/log/error_log\nPageLog " + root +
                    "/log/page_log\nUser lp\nGroup lp\nSystemGroup root\nSetEnv QUINTARO_ROOT " +
                    stage() + "\n");
    dir_->write("etc/cupsd.conf", "Listen " + kAddress + ":" + std::to_string(port_) +
                                      "\nLogLevel debug\nMaxLogSize 0\nBrowsing No\n"
                                      "WebInterface No\nDefaultAuthType None\n"
                                      "<Location />\n  Order allow,deny\n  Allow all\n"
                                      "</Location>\n<Policy default>\n  <Limit All>\n"
                                      "    Order deny,allow\n    Allow all\n  </Limit>\n"
                                      "</Policy>\n");
    cupsd_ = fork();
    ASSERT_GE(cupsd_, 0);
    if (cupsd_ == 0) {
      // A test that dies leaves no scheduler behind.
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      exec_program(
          kCupsd,
          {kCupsd, "-f", "-c", root + "/etc/cupsd.conf", "-s", root + "/etc/cups-files.conf"},
          test_environment({}));
    }
    bool running = eventually(
        [] {
          int status = 0;
          if (waitpid(cupsd_, &status, WNOHANG) == cupsd_) {
            cupsd_ = -1;
            return true;
          }
          return run_program("/usr/bin/lpstat", {"-r"}, {.env = cups_env()}).out ==
                 "scheduler is running\n";
        },
        15000);
    if (!running || cupsd_ < 0) {
      skip_ = "cupsd could not be started: " + read_file(root + "/log/error_log");
    }
  }

  static void TearDownTestSuite() {
    if (cupsd_ > 0) {
      kill(cupsd_, SIGTERM);
      waitpid(cupsd_, nullptr, 0);
      cupsd_ = -1;
    }
    delete dir_;
    dir_ = nullptr;
  }

  void SetUp() override {
    if (!skip_.empty()) GTEST_SKIP() << skip_;
  }

  static std::string stage() { return dir_->path("stage"); }
  static std::vector<std::string> cups_env() {
    return {"CUPS_SERVER=" + kAddress + ":" + std::to_string(port_), "QUINTARO_ROOT=" + stage()};
  }
  // Runs a program with the test's scheduler, unless `options.env` names another.
  static RunResult run(const std::string& program, const std::vector<std::string>& args,
                       RunOptions options = {}) {
    for (const std::string& entry : cups_env()) {
      std::string name = entry.substr(0, entry.find('=') + 1);
      if (std::none_of(options.env.begin(), options.env.end(),
                       [&](const std::string& given) { return given.rfind(name, 0) == 0; })) {
        options.env.push_back(entry);
      }
    }
    return run_program(program, args, options);
  }
  static RunResult script(const std::string& name, const std::vector<std::string>& args,
                          const std::vector<std::string>& env = {}) {
    return run(stage() + "/usr/quintaro/bin/.scripts/" + name + ".sh", args, {.env = env});
  }
  // A device for the printer at `address` and a queue QUEUE on it, made with the
  // suite's scripts (which also make the CUPS queue).
  static void make_queue(const std::string& queue, const std::string& address,
                         const std::vector<std::string>& keys = {}) {
    std::vector<std::string> args = {"dev_" + queue, "network", address};
    args.insert(args.end(), keys.begin(), keys.end());
    RunResult device = script("portcreate", args);
    ASSERT_EQ(device.status, 0) << device.err;
    RunResult made = script("lanecreate", {"-s", "pcl", queue, "dev_" + queue, "generic_pcl.b"});
    ASSERT_EQ(made.status, 0) << made.err;
  }
  // Submits a job with lp; gives its number (0 when lp refused it).
  static int submit(const std::vector<std::string>& args, RunOptions options = {}) {
    RunResult r = run("/usr/bin/lp", args, options);
    EXPECT_EQ(r.status, 0) << r.err;
    size_t dash = r.out.find('-');
    return dash == std::string::npos ? 0 : std::atoi(r.out.c_str() + dash + 1);
  }
  // Waits until the scheduler's log says `what` about job `job`.
  static bool job_logged(int job, const std::string& what, int timeout_ms = 20000) {
    std::string line = "[Job " + std::to_string(job) + "] " + what;
    return eventually(
        [&] { return read_file(dir_->path("log/error_log")).find(line) != std::string::npos; },
        timeout_ms);
  }
  static std::string printer_status(const std::string& queue) {
    return run("/usr/bin/lpstat", {"-l", "-p", queue}).out;
  }
  // What the staged formatter writes for the job.
  static std::string formatted(const std::vector<std::string>& args, const std::string& file) {
    RunResult r = run(stage() + "/usr/quintaro/bin/jobshaper", args, {.input_file = file});
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out;
  }

  static TempTree* dir_;
  static pid_t cupsd_;
  static int port_;
  static std::string skip_;
};
TempTree* CupsTest::dir_ = nullptr;
pid_t CupsTest::cupsd_ = -1;
int CupsTest::port_ = 0;
std::string CupsTest::skip_;

TEST_F(CupsTest, PrintsJobsThroughTheSuitesQueueAndListsIt) {
  make_queue("q1", "127.0.14.1");
  EXPECT_EQ(run("/usr/bin/lpstat", {"-v", "q1"}).out, "device for q1: quintaro:/q1\n");
  std::string devices = run("/usr/sbin/lpinfo", {"-l", "-v"}).out;
  EXPECT_NE(devices.find("Device: uri = quintaro:/q1\n        class = network\n        info = "
                         "q1 (dev_q1)\n        make-and-model = generic_pcl.b\n"),
            std::string::npos)
      << devices;

  TestPrinterPort printer("127.0.14.1", 9100);
  std::string job = dir_->write("job.txt", "the job\n", 0644);
  struct {
    std::vector<std::string> lp;
    RunOptions lp_options;
    std::vector<std::string> formatter;
    std::string shows;
  } jobs[] = {
      {{"-d", "q1", "-t", "Title", "-o", "orientation=landscape", "-o", "media=a4", job},
       {},
       {"-q", "q1", "-s", "Title", "-u", "root", "-h", "localhost", "-p", "orientation=landscape"},
       "@PJL SET JOBNAME = \"Title\"\n@PJL SET USERNAME = \"root\"\n@PJL LJOBINFO USERID = "
       "\"root\" HOSTID = \"localhost\"\n@PJL SET ORIENTATION = LANDSCAPE\n"},
      // On standard input, two copies, which this queue makes itself.
      {{"-d", "q1", "-n", "2"},
       {.input = "the job\n"},
       {"-q", "q1", "-s", "(stdin)", "-u", "root", "-h", "localhost", "-p", "copies=2"},
       "@PJL SET COPIES = 2\n"},
  };
  for (auto& j : jobs) {
    std::string received;
    std::thread serve([&] {
      UniqueFd connection = printer.accept_connection(20000);
      if (connection.valid()) received = read_until_eof(connection.get());
    });
    int id = submit(j.lp, j.lp_options);
    serve.join();
    EXPECT_EQ(received, formatted(j.formatter, job));
    EXPECT_NE(received.find(j.shows), std::string::npos) << received;
    EXPECT_TRUE(
        received.ends_with("the job\n\x1b"
                           "E\x1b%-12345X@PJL EOJ\n\x1b%-12345X"));
    EXPECT_TRUE(job_logged(id, "Job completed.")) << read_file(dir_->path("log/error_log"));
    EXPECT_NE(run("/usr/bin/lpstat", {"-W", "completed", "-o", "q1"})
                  .out.find("q1-" + std::to_string(id) + " "),
              std::string::npos);
  }

  EXPECT_EQ(script("laneremove", {"q1"}).status, 0);
  EXPECT_EQ(run("/usr/bin/lpstat", {"-v", "q1"}).out, "");

  // Without a scheduler that answers, the scripts keep to the suite's own queues.
  const std::vector<std::string> no_cups = {"CUPS_SERVER=127.0.13.2:9"};
  EXPECT_EQ(script("lanecreate", {"-s", "pcl", "q1", "dev_q1", "generic_pcl.b"}, no_cups).status,
            0);
  EXPECT_EQ(run("/usr/bin/lpstat", {"-v", "q1"}).out, "");
  EXPECT_EQ(script("laneremove", {"q1"}, no_cups).status, 0);
  // A CUPS queue of that name that prints elsewhere is not the scripts' to change.
  ASSERT_EQ(run("/usr/sbin/lpadmin", {"-p", "q1", "-v", "quintaro:/other", "-E"}).status, 0);
  RunResult taken = script("lanecreate", {"-s", "pcl", "q1", "dev_q1", "generic_pcl.b"});
  EXPECT_EQ(taken.status, 1);
  EXPECT_EQ(taken.err,
            "lanecreate: CUPS queue 'q1' exists already and prints to quintaro:/other (use -f to "
            "replace it)\n");
  EXPECT_FALSE(dir_->exists("stage/var/spool/printer/unix_prt_drivers/vir_queues/q1"));
}

TEST_F(CupsTest, UnreachablePrintersRetryAndRefusedOptionsCancel) {
  // Nothing listens on 127.0.14.2: the agent keeps trying, no byte moves.
  make_queue("q2", "127.0.14.2", {"stall_timeout=1"});
  std::string job = dir_->write("job2.txt", "the job\n", 0644);
  int retried = submit({"-d", "q2", job});
  EXPECT_TRUE(job_logged(retried, "Backend returned status 6 (retry job later)"));
  EXPECT_NE(run("/usr/bin/lpstat", {"-o", "q2"}).out.find("q2-" + std::to_string(retried) + " "),
            std::string::npos);
  EXPECT_NE(printer_status("q2").find("The printer took no data for 1 seconds"), std::string::npos);
  EXPECT_EQ(run("/usr/bin/cancel", {"-a", "q2"}).status, 0);

  int refused = submit({"-d", "q2", "-o", "orientation=sideways", job});
  EXPECT_TRUE(job_logged(refused, "Backend returned status 5 (cancel job)"));
  EXPECT_NE(printer_status("q2").find("The value 'sideways' of option orientation is not valid "
                                      "for queue q2 (see settingsview -q q2)"),
            std::string::npos);
}

TEST_F(CupsTest, PrinterConditionsShowWhileTheyLast) {
  make_queue("q3", "127.0.14.3");
  TestPrinterPort data("127.0.14.3", 9100), ir("127.0.14.3", 9200);
  std::atomic<bool> seen{false};
  std::string received;
  std::thread serve([&] {
    UniqueFd connection = data.accept_connection(20000);
    UniqueFd ir_connection = ir.accept_connection(20000);
    if (!connection.valid() || !ir_connection.valid()) return;
    received = read_until_eof(connection.get());
    send_bytes(ir_connection.get(), std::string("\x03\x10\x00", 3));  // Paper Jam
    read_bytes(ir_connection.get(), 3);
    eventually([&] { return seen.load(); });
  });
  int id = submit({"-d", "q3", dir_->write("job3.txt", "jammed\n", 0644)});
  bool jammed = eventually([&] {
    std::string status = printer_status("q3");
    return status.find("media-jam") != std::string::npos &&
           status.find("Printer condition: Paper Jam (media-jam)") != std::string::npos;
  });
  seen = true;
  serve.join();
  EXPECT_TRUE(jammed) << printer_status("q3");
  EXPECT_NE(received.find("jammed\n"), std::string::npos);
  EXPECT_TRUE(job_logged(id, "Job completed."));
  EXPECT_EQ(printer_status("q3").find("media-jam"), std::string::npos) << printer_status("q3");
}

TEST_F(CupsTest, APrinterThatNeverEndsTheJobHasItAfterTheBoundedWait) {
  make_queue("q6", "127.0.14.6", {"end_timeout=1"});
  TestPrinterPort printer("127.0.14.6", 9100);
  std::atomic<bool> done{false};
  std::string received;
  std::thread serve([&] {
    UniqueFd connection = printer.accept_connection(20000);
    if (connection.valid()) received = read_until_eof(connection.get());
    eventually([&] { return done.load(); });  // and never closes
  });
  int id = submit({"-d", "q6", dir_->write("job6.txt", "kept\n", 0644)});
  EXPECT_TRUE(job_logged(id, "Job completed."));
  done = true;
  serve.join();
  EXPECT_NE(received.find("kept\n"), std::string::npos);
  EXPECT_TRUE(job_logged(id,
                         "The printer did not end the job within 1 seconds after its last "
                         "byte; the job was sent"));
  EXPECT_TRUE(programs_below(stage()).empty());
}

TEST_F(CupsTest, StalledAndCancelledJobsLeaveNoProcessBehind) {
  make_queue("q4", "127.0.14.4", {"stall_timeout=2"});
  make_queue("q5", "127.0.14.5", {"stall_timeout=60"});
  std::string big = dir_->write("big.txt", std::string(8 << 20, 'x'), 0644);
  enum Way { STALLED, CANCELLED_IN_CUPS, TERMINATED };
  for (Way way : {STALLED, CANCELLED_IN_CUPS, TERMINATED}) {
    // The printer takes a little of the job, then stops reading; a small receive buffer
    // keeps what the way to it holds well below the job's size.
    std::string address = way == STALLED ? "127.0.14.4" : "127.0.14.5";
    std::string queue = way == STALLED ? "q4" : "q5";
    UniqueFd listener = listen_on(address, 9100);
    int small = 4096;
    setsockopt(listener.get(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    std::atomic<bool> reading{false}, done{false};
    std::thread serve([&] {
      pollfd ready{listener.get(), POLLIN, 0};
      if (poll(&ready, 1, 20000) != 1) return;
      UniqueFd connection(accept(listener.get(), nullptr, nullptr));
      read_bytes(connection.get(), 1000);
      reading = true;
      eventually([&] { return done.load(); }, 30000);
    });
    auto job_running = [&] { return reading.load(); };
    if (way == STALLED) {
      int id = submit({"-d", queue, big});
      EXPECT_TRUE(job_logged(id, "Backend returned status 6 (retry job later)"));
      EXPECT_NE(printer_status(queue).find("The printer stopped taking data for 2 seconds"),
                std::string::npos)
          << printer_status(queue);
      EXPECT_EQ(run("/usr/bin/cancel", {"-a", queue}).status, 0);
    } else if (way == CANCELLED_IN_CUPS) {
      int id = submit({"-d", queue, big});
      EXPECT_TRUE(eventually(job_running));
      EXPECT_EQ(run("/usr/bin/cancel", {queue + "-" + std::to_string(id)}).status, 0);
    } else {
      // The backend alone, as CUPS runs it, told to stop by SIGTERM.
      AgentProcess backend(
          stage() + "/usr/lib/cups/backend/quintaro", {"9", "root", "T", "1", "", big},
          {"DEVICE_URI=quintaro:/" + queue, "QUINTARO_ROOT=" + stage()}, dir_->root());
      EXPECT_TRUE(eventually(job_running));
      backend.send_signal(SIGTERM);
      EXPECT_EQ(backend.wait(), 1);
      EXPECT_NE(backend.err().find("ERROR: The job was stopped by signal 15\n"), std::string::npos)
          << backend.err();
    }
    EXPECT_TRUE(eventually([&] { return programs_below(stage()).empty(); }, 10000))
        << ::testing::PrintToString(programs_below(stage()));
    EXPECT_TRUE(
        eventually([&] { return programs_below(dir_->path("serverbin/backend")).empty(); }, 10000));
    done = true;
    serve.join();
  }
}

}  // namespace
