// The transport agent against printers that misbehave, one scripted loopback printer
// per case (127.0.15.x): whatever happens, no job byte is lost, duplicated or
// reordered without the exit status saying so, and the status and the log are as
// designed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "tests/support/peers.h"
#include "tests/support/program.h"

namespace {

const std::string kProgram = NETFEEDER_PATH;

std::string job_bytes(size_t size) {
  std::string job;
  for (size_t i = 0; i < size; ++i) job += static_cast<char>((i * 2654435761u) >> 11);
  return job;
}

// What a scripted printer did with the job.
struct Printer {
  std::string address;
  std::string received;  // every byte the printer read, in order, over all connections
  AgentProcess* agent = nullptr;
};

struct Case {
  const char* name;
  // Plays the printer; runs in its own thread while the test feeds the job.
  std::function<void(Printer&)> play;
  size_t job_size;
  int status;          // the agent's exit status
  bool whole_job;      // the printer got every byte
  const char* logged;  // a text the log must hold ("" for none)
};

// Accepts one connection on `port` of the printer's address.
UniqueFd accept_on(Printer&, TestPrinterPort& port) { return port.accept_connection(20000); }

void read_all_then_close(Printer& p, TestPrinterPort& port) {
  UniqueFd data = accept_on(p, port);
  p.received += read_until_eof(data.get());
}

TEST(NetfeederFaults, NoJobByteIsLostWithoutTheStatusSayingSo) {
  const Case cases[] = {
      {"refused, then accepted",
       [](Printer& p) {
         usleep(300000);  // the agent keeps trying meanwhile
         TestPrinterPort port(p.address, 9100);
         read_all_then_close(p, port);
       },
       100000, 0, true, ""},
      {"reset before the data",
       [](Printer& p) {
         TestPrinterPort port(p.address, 9100);
         UniqueFd data = accept_on(p, port);
         reset_connection(data);
       },
       300000, 255, false, ""},
      {"reset during the data",
       [](Printer& p) {
         TestPrinterPort port(p.address, 9100);
         UniqueFd data = accept_on(p, port);
         p.received += read_bytes(data.get(), 65536);
         reset_connection(data);
       },
       3000000, 255, false, "Connection to printer was lost.\n"},
      {"reset after the data",
       [](Printer& p) {
         TestPrinterPort port(p.address, 9100);
         UniqueFd data = accept_on(p, port);
         p.received += read_until_eof(data.get());
         reset_connection(data);
       },
       // The log closed at the end of the input, before the reset.
       100000, 255, true, ""},
      {"closing mid-job, the rest on a new connection",
       [](Printer& p) {
         TestPrinterPort port(p.address, 9100);
         UniqueFd first = accept_on(p, port);
         p.received += read_bytes(first.get(), 65536);
         shutdown(first.get(), SHUT_WR);
         UniqueFd second = accept_on(p, port);
         p.received += read_until_eof(first.get());
         p.received += read_until_eof(second.get());
       },
       3000000, 0, true, ""},
      {"stops reading, then resumes",
       [](Printer& p) {
         TestPrinterPort port(p.address, 9100);
         UniqueFd data = accept_on(p, port);
         p.received += read_bytes(data.get(), 1024);
         usleep(500000);  // the agent blocks with its buffers full
         p.received += read_until_eof(data.get());
       },
       3000000, 0, true, ""},
      {"a silent IR port",
       [](Printer& p) {
         TestPrinterPort ir(p.address, 9200);
         TestPrinterPort port(p.address, 9100);
         UniqueFd ir_connection = accept_on(p, ir);
         read_all_then_close(p, port);
       },
       300000, 0, true, ""},
      {"IR garbage",
       [](Printer& p) {
         TestPrinterPort ir(p.address, 9200);
         TestPrinterPort port(p.address, 9100);
         UniqueFd ir_connection = accept_on(p, ir);
         std::string garbage = job_bytes(20000);
         send_bytes(ir_connection.get(), garbage);
         read_all_then_close(p, port);
       },
       300000, 0, true, ""},
  };
  int next = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempTree tree;
    Printer printer{"127.0.15." + std::to_string(next++)};
    std::string job = job_bytes(c.job_size);
    AgentProcess agent(kProgram,
                       {"-l", tree.path("log"), "-f", tree.write("job", job), printer.address},
                       {"QUINTARO_ROOT=" + tree.root(), "QUINTARO_SKIP_WAITS=1"}, tree.root());
    printer.agent = &agent;
    std::thread play([&] { c.play(printer); });
    int status = agent.wait();
    play.join();
    EXPECT_EQ(status, c.status);
    // Never more, never other bytes than the job's, in their order.
    ASSERT_LE(printer.received.size(), job.size());
    EXPECT_TRUE(job.compare(0, printer.received.size(), printer.received) == 0);
    if (c.whole_job) {
      EXPECT_EQ(printer.received.size(), job.size());
    } else {
      EXPECT_LT(printer.received.size(), job.size());
    }
    if (*c.logged) {
      EXPECT_NE(tree.read("log").find(c.logged), std::string::npos) << tree.read("log");
    }
    if (status == 0) {
      EXPECT_TRUE(c.whole_job);  // success means the job arrived
    }
  }
}

// The spooler cancels a job with a signal: at every stage the agent ends at once
// with the status its design gives a signal (0; SIGPIPE 255) and leaves nothing
// behind.
TEST(NetfeederFaults, SignalsEndTheAgentAtEveryStage) {
  struct Stage {
    const char* name;
    bool printer_listens;  // else the agent is still trying to connect
    bool printer_closes;   // else it keeps the connection open after the end of input
    bool end_input;
  };
  const Stage stages[] = {
      {"while connecting", false, false, false},
      {"during the data", true, true, false},
      {"after the end of input, the printer never closing", true, false, true},
  };
  int next = 20;
  for (const Stage& stage : stages) {
    for (int signal_number : {SIGTERM, SIGHUP}) {
      SCOPED_TRACE(std::string(stage.name) + " " + strsignal(signal_number));
      TempTree tree;
      std::string address = "127.0.15." + std::to_string(next++);
      AgentProcess agent(kProgram, {"-l", tree.path("log"), address},
                         {"QUINTARO_ROOT=" + tree.root(), "QUINTARO_SKIP_WAITS=1"}, tree.root());
      std::unique_ptr<TestPrinterPort> port;
      UniqueFd data;
      if (stage.printer_listens) {
        port = std::make_unique<TestPrinterPort>(address, 9100);
        data = port->accept_connection(20000);
        ASSERT_TRUE(data.valid());
        agent.write_input("part of a job\n");
        EXPECT_EQ(read_bytes(data.get(), 14), "part of a job\n");
        if (stage.end_input) {
          agent.close_input();
          EXPECT_EQ(read_until_eof(data.get()), "");  // the agent waits for the printer
        }
      } else {
        usleep(200000);
      }
      agent.send_signal(signal_number);
      EXPECT_EQ(agent.wait(5000), 0);
    }
  }
  // In device mode (kept in the foreground by -x) the device path goes with the agent.
  for (int signal_number : {SIGTERM, SIGHUP}) {
    SCOPED_TRACE(std::string("device mode ") + strsignal(signal_number));
    TempTree tree;
    tree.write("dev/.keep", "");
    std::string address = "127.0.15." + std::to_string(next++);
    TestPrinterPort port(address, 9100);
    AgentProcess agent(kProgram, {"-x", "-d", "lp9", address},
                       {"QUINTARO_ROOT=" + tree.root(), "QUINTARO_SKIP_WAITS=1"}, tree.root());
    struct stat st;
    auto linked = [&] { return lstat(tree.path("dev/lp9").c_str(), &st) == 0; };
    ASSERT_TRUE(eventually(linked, 10000));
    agent.send_signal(signal_number);
    EXPECT_EQ(agent.wait(5000), 0);
    EXPECT_FALSE(linked());
  }
}

}  // namespace
