// Runs the built netfeeder against test printers on loopback addresses (127.0.5.x, a
// distinct one per test) and a temporary tree, and checks the bytes the printer
// receives, the acknowledgements, the log, mail, terminal and console messages, the
// output and the exit status.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <termios.h>
#include <utmp.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <memory>
#include <thread>

#include "tests/support/peers.h"
#include "tests/support/program.h"
#include "tests/support/recorders.h"

namespace {

const std::string kProgram = NETFEEDER_PATH;
const std::string kUsage =
    "\nUSAGE:\n"
    "    netfeeder [-u user] [-a admin] [-l logfile] [-j job_name]\n"
    "       [-n printer_name] [-m opt] [-w opt] [-r]\n"
    "       [-f filename] [-h hostname] [-p port] hostname\n"
    "\nTry 'netfeeder -H' for more information\n\n";
// Time texts in headers and log records ("Tue Dec  8 00:04:50 2026"), made comparable.
std::string untimed(const std::string& text) {
  auto time_at = [&](size_t at) {
    auto digit = [&](size_t i) { return std::isdigit(static_cast<unsigned char>(text[at + i])); };
    return at + 24 <= text.size() && std::isupper(static_cast<unsigned char>(text[at])) &&
           text[at + 3] == ' ' && text[at + 7] == ' ' && digit(9) && text[at + 10] == ' ' &&
           text[at + 13] == ':' && text[at + 16] == ':' && text[at + 19] == ' ' && digit(20) &&
           digit(23);
  };
  std::string result;
  for (size_t at = 0; at < text.size();) {
    if (time_at(at)) {
      result += 'T';
      at += 24;
    } else {
      result += text[at++];
    }
  }
  return result;
}

std::string notification(const std::string& header, const std::string& host,
                         const std::string& condition) {
  return header + "Printer intervention required: " + host +
         "\nPrinter condition:             " + condition;
}

std::string mail_of(const std::string& subject, const std::string& from, const std::string& body) {
  return "subject: " + subject + "\n" + (from.empty() ? "" : "from: " + from + "\n") + "\n" + body +
         "\n.\n";
}

bool is_link(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// Process ids whose parent is this process (the daemon, once its parent has gone).
std::vector<pid_t> own_children() {
  std::vector<pid_t> children;
  DIR* proc = opendir("/proc");
  while (dirent* entry = proc ? readdir(proc) : nullptr) {
    pid_t pid = std::atoi(entry->d_name);
    if (pid <= 0) continue;
    std::string stat = read_file("/proc/" + std::string(entry->d_name) + "/stat");
    size_t close_paren = stat.rfind(')');
    if (close_paren == std::string::npos) continue;
    char state;
    int parent = 0;
    if (std::sscanf(stat.c_str() + close_paren + 1, " %c %d", &state, &parent) == 2 &&
        parent == getpid()) {
      children.push_back(pid);
    }
  }
  if (proc) closedir(proc);
  return children;
}

class NetfeederTest : public ::testing::Test {
 protected:
  // The agent runs below the temporary tree and skips its real waits (before linking
  // the device path, between connection attempts).
  std::vector<std::string> environment() const {
    return {"QUINTARO_ROOT=" + tree.root(), "QUINTARO_SKIP_WAITS=1"};
  }
  RunResult run(const std::vector<std::string>& args, RunOptions options = {}) {
    for (const std::string& entry : environment()) options.env.push_back(entry);
    return run_program(kProgram, args, options, "netfeeder");
  }
  std::unique_ptr<AgentProcess> start(const std::vector<std::string>& args) {
    return std::make_unique<AgentProcess>(kProgram, args, environment(), tree.root());
  }
  void install_mail_program() { install_mail_recorder(tree.root()); }
  std::string log() { return untimed(tree.read("log")); }

  TempTree tree;
};

TEST_F(NetfeederTest, OptionAndSetUpErrorsPrintTheirMessagesAndExit) {
  tree.write("dev/taken", "");
  const std::string no_host = "You must specify the printer hostname or IP address\n\n";
  auto bad_port = [](const std::string& value) {
    return "Invalid port number : " + value +
           "\nThe IR port (9200 plus the port number) must lie between 0 and 65535.\n";
  };
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err;
  };
  const Case cases[] = {
      {{}, 255, no_host, kUsage},
      {{"laser1", "laser2"}, 255, no_host, kUsage},
      {{""}, 255, no_host, kUsage},
      {{"-q", "laser1"}, 255, "", "netfeeder: invalid option -- 'q'\n"},
      {{"-m", "il", "laser1"}, 255, "No user type specified.\nUse u or a.\n", ""},
      {{"-m", "x", "laser1"}, 255, "Unknown Message type :x\nUse i or l.\n", ""},
      {{"-w", "iz", "laser1"}, 255, "Unknown user type: z\nUse u or a.\n", ""},
      {{"-m", "iux", "laser1"}, 255, "Extra characters at end of iux : x\n", ""},
      {{"-r", "-d", "lp9", "laser1"}, 255, "-r and -d can not be used at the same time.\n", ""},
      {{"-p", "56336", "laser1"}, 255, bad_port("56336"), ""},
      {{"-p", "99999999999999999999", "laser1"}, 255, bad_port("99999999999999999999"), ""},
      {{"-p", "-9201", "laser1"}, 255, bad_port("-9201"), ""},
      {{"-w", "iu", "laser1"}, 255, "You must specify a user.\n", ""},
      {{"-m", "lu", "-a", "root", "laser1"}, 255, "You must specify a user.\n", ""},
      {{"-f", "/nonexistent/job", "laser1"},
       1,
       "",
       "/nonexistent/job: No such file or directory\n"},
      {{"-d", "taken", "laser1"},
       255,
       "Could not create " + tree.path("dev/taken") +
           ".\nThis file already exists.  Please remove it or specify another device name.\n",
       ""},
  };
  for (const Case& c : cases) {
    std::string name;
    for (const std::string& a : c.args) name += "[" + a + "]";
    RunResult r = run(c.args);
    EXPECT_EQ(r.status, c.status) << name;
    EXPECT_EQ(r.out, c.out) << name;
    EXPECT_EQ(r.err, c.err) << name;
  }
  EXPECT_TRUE(tree.exists("dev/taken"));
}

TEST_F(NetfeederTest, HelpTextDocumentsTheOptions) {
  RunResult r = run({"-H"});
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err.rfind("\nnetfeeder\n\n    Sends data to a network printer and receives\n"
                        "    printer responses and Intervention Required(IR)\n    conditions.\n"
                        "\nUSAGE:\n    netfeeder [-u user]",
                        0),
            0u);
  for (const char* text :
       {"\n    -a admin\n", "\n    -c host\n", "\n    -S server\n", "\n    -w opt\n", "%eth0\n",
        "Serial port", "$ netfeeder -f /etc/motd -h laser1\n",
        "$ cat /etc/motd | netfeeder laser1\n"}) {
    EXPECT_NE(r.err.find(text), std::string::npos) << text;
  }
  EXPECT_EQ(r.err.find("\n    -z"), std::string::npos);
}

TEST_F(NetfeederTest, PrinterRefusingPort9400GetsTheJobUnchangedOn9100) {
  TestPrinterPort raw("127.0.5.3", 9100);
  std::string job;
  for (int i = 0; i < 3000; ++i) job += static_cast<char>(i * 7);
  auto agent = start({"127.0.5.3"});
  agent->write_input(job);
  agent->close_input();
  UniqueFd data = raw.accept_connection();
  EXPECT_EQ(read_until_eof(data.get()), job);
  data.reset();
  EXPECT_EQ(agent->wait(), 0);
  EXPECT_EQ(agent->out(), "");
  EXPECT_EQ(agent->err(), "");
}

TEST_F(NetfeederTest, MultiPortServerOn9400GetsThePortHeaderFirst) {
  TestPrinterPort server("127.0.5.4", 9400);
  auto agent = start({"-s", "ws1", "-j", "Report", "-u", "alice", "-n", "q1", "127.0.5.4"});
  agent->write_input("job\n");
  agent->close_input();
  UniqueFd data = server.accept_connection();
  EXPECT_EQ(read_until_eof(data.get()), std::string("\x00\x1f\x00\x08"
                                                    "1\x00\x01\x00"
                                                    "ws1\x00"
                                                    "Report\x00"
                                                    "alice\x00"
                                                    "q1\x00"
                                                    "\xff\xff\xff\xff\xff\xff\x00"
                                                    "job\n",
                                                    39));
  data.reset();
  EXPECT_EQ(agent->wait(), 0);
}

TEST_F(NetfeederTest, PortNumberThreeUses9400AndIrPort9203) {
  TestPrinterPort server("127.0.5.5", 9400);
  TestPrinterPort ir_port("127.0.5.5", 9203);
  auto agent = start({"-p", "3", "-l", tree.path("log"), "127.0.5.5"});
  UniqueFd data = server.accept_connection();
  UniqueFd ir = ir_port.accept_connection();
  ASSERT_TRUE(ir.valid());
  send_bytes(ir.get(), std::string("\x03\x00\x00", 3));  // "Clear": acknowledged, not reported
  EXPECT_EQ(read_bytes(ir.get(), 3), std::string("\x03\x00\xff", 3));
  agent->write_input("job");
  agent->close_input();
  EXPECT_EQ(read_until_eof(data.get()), std::string("\x00\x13\x00\x08"
                                                    "3\x00\x01\x00"
                                                    " \x00 \x00 \x00 \x00"
                                                    "\xff\xff\xff\xff\xff\xff\x00"
                                                    "job",
                                                    26));
  ir.reset();
  data.reset();
  EXPECT_EQ(agent->wait(), 0);
  EXPECT_EQ(log(), "--- T ---\n--- T ---\n");
}

TEST_F(NetfeederTest, ResponsesDuringAndAfterTheJob) {
  install_mail_program();
  TestPrinterPort raw("127.0.5.6", 9100);
  auto agent =
      start({"-r", "-l", tree.path("log"), "-m", "lu", "-u", "alice", "-n", "q1", "127.0.5.6"});
  UniqueFd data = raw.accept_connection();
  agent->write_input("part one\n");
  EXPECT_EQ(read_bytes(data.get(), 9), "part one\n");
  send_bytes(data.get(), "PJL OK\r\n");
  EXPECT_TRUE(eventually([&] { return agent->out() == "PJL OK\r\n"; }));
  agent->close_input();
  EXPECT_EQ(read_until_eof(data.get()), "");  // the write side is shut at end of input
  send_bytes(data.get(),
             "\x1b"
             "E late\n");  // the printer still answers
  data.reset();
  EXPECT_EQ(agent->wait(), 0);
  EXPECT_EQ(agent->out(),
            "PJL OK\r\n\x1b"
            "E late\n");
  EXPECT_EQ(log(), "--- T ---\nPrinter responses:\nPJL OK^M\n\n--- T ---\n");
  EXPECT_EQ(tree.read("usr/lib/mail.args"), "alice\n--\n");
  const std::string header = "Message from queue: q1 [ T ] ...";
  EXPECT_EQ(untimed(tree.read("usr/lib/mail.input")),
            mail_of(header, "q1", header + "\nPrinter response: \nPJL OK^M\n"));
}

TEST_F(NetfeederTest, IrConditionsAreAcknowledgedLoggedMailedAndShownRaw) {
  install_mail_program();
  TestPrinterPort raw("127.0.5.7", 9100);
  TestPrinterPort ir_port("127.0.5.7", 9200);
  auto agent =
      start({"-r", "-l", tree.path("log"), "-m", "iu", "-u", "alice", "-n", "q1", "127.0.5.7"});
  UniqueFd data = raw.accept_connection();
  UniqueFd ir = ir_port.accept_connection();
  ASSERT_TRUE(ir.valid());
  send_bytes(ir.get(), std::string("\x05\x10\x00\x41\x42", 5));  // Paper Jam
  EXPECT_EQ(read_bytes(ir.get(), 5), "\x05\x10\xff\x41\x42");
  send_bytes(ir.get(), std::string("\x01\x03\x00\x00", 4));  // length byte 1 is dropped
  EXPECT_EQ(read_bytes(ir.get(), 3), std::string("\x03\x00\xff", 3));
  send_bytes(ir.get(), std::string("\x04\x2c\x00", 3));  // Toner Low, in two pieces
  usleep(50000);
  send_bytes(ir.get(), "\x09");
  EXPECT_EQ(read_bytes(ir.get(), 4), "\x04\x2c\xff\x09");
  send_bytes(ir.get(), "\x08\x2f");  // cut short by the end of the connection: not reported
  ir.reset();
  agent->write_input("job");
  agent->close_input();
  EXPECT_EQ(read_until_eof(data.get()), "job");
  data.reset();
  EXPECT_EQ(agent->wait(), 0);

  const std::string header = "Message from queue: q1 [ T ] ...";
  std::string jam = notification(header + "\n", "127.0.5.7", "Paper Jam\n");
  std::string toner = notification(header + "\n", "127.0.5.7", "Toner Low\n");
  EXPECT_EQ(untimed(agent->err()), jam + toner);
  EXPECT_EQ(log(), "--- T ---\nPrinter responses:\n" + jam + "\nPrinter responses:\n" + toner +
                       "\n--- T ---\n");
  EXPECT_EQ(tree.read("usr/lib/mail.args"), "alice\n--\nalice\n--\n");
  EXPECT_EQ(untimed(tree.read("usr/lib/mail.input")),
            mail_of(header, "q1", jam) + mail_of(header, "q1", toner));
}

TEST_F(NetfeederTest, IrPeerThatNeverReadsItsAcknowledgementsDoesNotHoldUpTheJob) {
  TestPrinterPort raw("127.0.5.17", 9100);
  TestPrinterPort ir_port("127.0.5.17", 9200);
  auto agent = start({"-r", "127.0.5.17"});
  UniqueFd data = raw.accept_connection();
  UniqueFd ir = ir_port.accept_connection();
  ASSERT_TRUE(ir.valid());
  // "Clear" messages whose acknowledgements are more than the socket buffers of both
  // sides hold (about 4 MiB on loopback), then a "Paper Jam" the agent reports.
  std::string clear(127, 'c');
  clear[0] = 127;
  clear[1] = clear[2] = 0;
  std::string flood;
  for (int i = 0; i < 50000; ++i) flood += clear;
  flood.append("\x03\x10\x00", 3);
  timeval patience{20, 0};  // an agent that stops reading fails the test, not hangs it
  setsockopt(ir.get(), SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience);
  send_bytes(ir.get(), flood);
  ASSERT_TRUE(eventually([&] { return agent->err().find("Paper Jam\n") != std::string::npos; }));
  std::string job;
  for (size_t i = 0; i < 300000; ++i) job += static_cast<char>(i * 31 / 7);
  agent->write_input(job);
  agent->close_input();
  std::string received = read_until_eof(data.get());
  data.reset();
  EXPECT_EQ(agent->wait(), 0);
  EXPECT_EQ(received.size(), job.size());
  EXPECT_TRUE(received == job);
}

TEST_F(NetfeederTest, IrConditionsReachTheUsersTerminalAndTheConsole) {
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  std::string slave_name = ptsname(master);
  UniqueFd slave(open(slave_name.c_str(), O_RDWR | O_NOCTTY));
  termios mode;
  tcgetattr(slave.get(), &mode);
  cfmakeraw(&mode);
  tcsetattr(slave.get(), TCSANOW, &mode);
  tree.write("var/run/utmp", login_records({{"bob", "tty7"}, {"alice", slave_name.substr(5)}}));
  tree.write("dev/console", "");

  TestPrinterPort raw("127.0.5.8", 9100);
  TestPrinterPort ir_port("127.0.5.8", 9200);
  // Administrator delivery without -a goes to the console.
  auto agent = start({"-w", "iua", "-u", "alice", "127.0.5.8"});
  UniqueFd data = raw.accept_connection();
  UniqueFd ir = ir_port.accept_connection();
  ASSERT_TRUE(ir.valid());
  send_bytes(ir.get(), std::string("\x03\x2d\x00", 3));  // Cover Open
  EXPECT_EQ(read_bytes(ir.get(), 3), "\x03\x2d\xff");
  std::string expected =
      notification("Message from printer [ T ] ...\n", "127.0.5.8", "Cover Open\n");
  // The time text has 24 characters where `expected` has "T".
  EXPECT_EQ(untimed(read_bytes(master, 2 + expected.size() + 23 + 7)),
            "\a\n" + expected + "\n<EOT>\n");
  EXPECT_TRUE(eventually([&] {
    return untimed(tree.read("dev/console")) == "\n\a" + expected + "\n";
  })) << tree.read("dev/console");
  agent->close_input();
  read_until_eof(data.get());
  data.reset();
  EXPECT_EQ(agent->wait(), 0);
  close(master);
}

TEST_F(NetfeederTest, RemoteUsersAreMailedAndOptionLikeRecipientsRefused) {
  install_mail_program();
  TestPrinterPort raw("127.0.5.9", 9100);
  TestPrinterPort ir_port("127.0.5.9", 9200);
  auto agent = start({"-l", tree.path("log"), "-w", "iu", "-u", "alice@elsewhere.example", "-m",
                      "ia", "-a", "-oQ/tmp", "-c", "mailhub", "127.0.5.9"});
  UniqueFd data = raw.accept_connection();
  UniqueFd ir = ir_port.accept_connection();
  ASSERT_TRUE(ir.valid());
  send_bytes(ir.get(), std::string("\x03\x10\x00", 3));
  EXPECT_EQ(read_bytes(ir.get(), 3), "\x03\x10\xff");
  agent->close_input();
  read_until_eof(data.get());
  data.reset();
  EXPECT_EQ(agent->wait(), 0);
  EXPECT_EQ(tree.read("usr/lib/mail.args"), "alice@elsewhere.example\n--\n");
  EXPECT_NE(log().find("Mail recipient refused : -oQ/tmp@mailhub\n"), std::string::npos) << log();
}

TEST_F(NetfeederTest, PrinterClosingMidJobIsReopenedForTheNextBlock) {
  TestPrinterPort raw("127.0.5.10", 9100);
  auto agent = start({"-x", "-l", tree.path("log"), "127.0.5.10"});
  UniqueFd first = raw.accept_connection();
  agent->write_input("first block\n");
  EXPECT_EQ(read_bytes(first.get(), 12), "first block\n");
  first.reset();
  EXPECT_TRUE(eventually([&] { return log().find("Printer closed\n") != std::string::npos; }));
  agent->write_input("second block\n");
  UniqueFd second = raw.accept_connection();
  agent->close_input();
  EXPECT_EQ(read_until_eof(second.get()), "second block\n");
  second.reset();
  EXPECT_EQ(agent->wait(), 0);
  std::string listing = log();
  EXPECT_EQ(listing.rfind("--- T ---\nHost = 127.0.5.10\nIR port = 9200\nResp port = 9100\n"
                          "logfile = " +
                              tree.path("log") +
                              "\nuser = \nadmin = \n"
                              "Write options :\nMail options :\nir_sd = -1\ndata_sd = ",
                          0),
            0u)
      << listing;
  EXPECT_NE(listing.find("Reopening printer\n"), std::string::npos);
  // Once the log is closed at the end of the input, debug output goes to standard error.
  EXPECT_EQ(agent->err(), "shutdown returned : 0\nPrinter closed\nConnection closed, exiting.\n");
}

TEST_F(NetfeederTest, BytesHeldWhenThePrinterClosesAreSentOnTheNewConnection) {
  TestPrinterPort raw("127.0.5.12", 9100);
  std::string job;
  for (size_t i = 0; i < (16u << 20); ++i) job += static_cast<char>((i * 2654435761u) >> 13);
  auto agent = start({"-f", tree.write("job", job), "127.0.5.12"});
  UniqueFd first = raw.accept_connection();
  usleep(300000);  // the agent fills the connection and waits with a block in hand
  shutdown(first.get(), SHUT_WR);
  UniqueFd second = raw.accept_connection();
  ASSERT_TRUE(second.valid());
  std::string received = read_until_eof(first.get());
  received += read_until_eof(second.get());
  second.reset();
  EXPECT_EQ(agent->wait(), 0);
  EXPECT_EQ(received.size(), job.size());
  EXPECT_TRUE(received == job);
}

TEST_F(NetfeederTest, BrokenStandardOutputEndsTheAgentWithStatus255) {
  TestPrinterPort raw("127.0.5.16", 9100);
  std::thread printer([&] {
    UniqueFd data = raw.accept_connection();
    read_until_eof(data.get());
    send_bytes(data.get(), "response\n");
  });
  RunResult r = run({"-r", "127.0.5.16"}, {.input = "job", .close_stdout_early = true});
  printer.join();
  EXPECT_EQ(r.status, 255);
}

TEST_F(NetfeederTest, ConnectionSelectCannotTakeEndsTheJobWithStatus255) {
  rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  if (saved.rlim_max < FD_SETSIZE + 64) GTEST_SKIP() << "the descriptor limit is too low";
  rlimit raised = saved;
  raised.rlim_cur = std::max<rlim_t>(saved.rlim_cur, FD_SETSIZE + 64);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &raised), 0);
  // Inherited by the agent, so that its data connection gets a number above them.
  std::vector<UniqueFd> filler;
  while (filler.size() < FD_SETSIZE) filler.emplace_back(open("/dev/null", O_RDONLY));
  TestPrinterPort raw("127.0.5.18", 9100);
  std::thread printer([&] {  // so that an agent that goes on with the job ends too
    UniqueFd data = raw.accept_connection();
    read_until_eof(data.get());
  });
  RunResult r = run({"127.0.5.18"}, {.input = "job"});
  printer.join();
  filler.clear();
  setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "netfeeder: descriptor out of range for select\n");
}

TEST_F(NetfeederTest, PrinterResetMidJobEndsTheJobWithTheLostConnectionNotice) {
  TestPrinterPort raw("127.0.5.11", 9100);
  auto agent = start({"-l", tree.path("log"), "127.0.5.11"});
  UniqueFd data = raw.accept_connection();
  agent->write_input("first\n");
  EXPECT_EQ(read_bytes(data.get(), 6), "first\n");
  reset_connection(data);
  EXPECT_EQ(agent->wait(), 255);
  EXPECT_EQ(log(), "--- T ---\nPrinter responses:\n" +
                       notification("Message from printer [ T ] ...\n", "127.0.5.11",
                                    "Connection to printer was lost.\n") +
                       "\n--- T ---\n");
}

TEST_F(NetfeederTest, UnresolvableHostIsReportedAndTheJobDiscarded) {
  RunResult r = run({"-l", tree.path("log"), "-n", "q1", "bad host!"}, {.input = "job"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(log(), "--- T ---\nPrinter responses:\n" +
                       notification("Message from queue: q1 [ T ] ...\n", "bad host!",
                                    "Could not resolve bad host!.\nFlushing print data.  Please "
                                    "correct the problem and submit the job again.\n") +
                       "\n--- T ---\n");
}

TEST_F(NetfeederTest, ProgressLogCountsTheBytesRead) {
  TestPrinterPort raw("127.0.5.13", 9100);
  std::string job(2500, 'j');
  std::string job_file = tree.write("job", job);
  const std::string lines = "--- T ---\njob1:alice:1024:T\njob1:alice:2048:T\njob1:alice:2500:T\n";
  // A progress log that cannot be opened goes to standard error.
  for (bool can_open : {true, false}) {
    std::string progress = can_open ? tree.path("progress") : "/nonexistent/progress";
    auto agent = start({"-f", job_file, "-z", progress, "-j", "job1", "-u", "alice", "127.0.5.13"});
    UniqueFd data = raw.accept_connection();
    EXPECT_EQ(read_until_eof(data.get()), job);
    data.reset();
    EXPECT_EQ(agent->wait(), 0);
    EXPECT_EQ(untimed(can_open ? tree.read("progress") : agent->err()), lines);
  }
}

TEST_F(NetfeederTest, DeviceModeInTheForegroundPrintsWhatIsWrittenToTheDevice) {
  tree.write("dev/.keep", "");
  TestPrinterPort raw("127.0.5.14", 9100);
  auto agent = start({"-x", "-d", "nfdev", "-m", "la", "127.0.5.14"});
  std::string device = tree.path("dev/nfdev");
  ASSERT_TRUE(eventually([&] { return is_link(device); }));
  UniqueFd writer(open(device.c_str(), O_RDWR | O_NOCTTY));
  ASSERT_TRUE(writer.valid());
  const std::string job(
      "device job\n\x03\x1a\r\x00"
      "end",
      18);  // reaches the printer unchanged
  ASSERT_EQ(write(writer.get(), job.data(), job.size()), static_cast<ssize_t>(job.size()));
  UniqueFd data = raw.accept_connection();
  EXPECT_EQ(read_bytes(data.get(), job.size()), job);
  send_bytes(data.get(), "OK\n");  // the printer's answer comes back through the device
  EXPECT_EQ(read_bytes(writer.get(), 3), "OK\n");
  agent->send_signal(SIGTERM);
  EXPECT_EQ(agent->wait(), 0);
  EXPECT_FALSE(tree.exists("dev/nfdev"));
  EXPECT_EQ(agent->out().rfind("WARNING: The printer response will be ignored.\n"
                               "You cannot use this option in the device mode.\n"
                               "Slave name = /dev/pts/",
                               0),
            0u)
      << agent->out();
}

TEST_F(NetfeederTest, DeviceModeDaemonRunsBehindTheDevicePath) {
  ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);  // the daemon becomes our child
  tree.write("dev/.keep", "");
  TestPrinterPort raw("127.0.5.15", 9100);
  RunResult parent = run({"-d", "nfdaemon", "127.0.5.15"});
  EXPECT_EQ(parent.status, 0);
  EXPECT_EQ(parent.out, "");
  EXPECT_EQ(parent.err, "");
  std::string device = tree.path("dev/nfdaemon");
  ASSERT_TRUE(eventually([&] { return is_link(device); }));
  std::vector<pid_t> daemons = own_children();
  ASSERT_EQ(daemons.size(), 1u);
  {
    UniqueFd writer(open(device.c_str(), O_WRONLY | O_NOCTTY));
    ASSERT_EQ(write(writer.get(), "first job\n", 10), 10);
  }
  UniqueFd data = raw.accept_connection();
  EXPECT_EQ(read_bytes(data.get(), 10), "first job\n");
  kill(daemons[0], SIGTERM);
  int status = 0;
  ASSERT_EQ(waitpid(daemons[0], &status, 0), daemons[0]);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_FALSE(tree.exists("dev/nfdaemon"));
}

}  // namespace
