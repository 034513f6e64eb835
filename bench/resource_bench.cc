// resource_bench NETFEEDER HOSTSWEEP CMIB [JOBS] [NETWORK]: run by hand. Sends JOBS
// (default 10,000) small jobs through one netfeeder in device mode to a loopback
// printer, and sweeps a /16 of silent loopback addresses with hostsweep (time-out
// 1 s, one transmission), sampling each program's open descriptors and resident
// memory, and reports whether either grows.
#include <dirent.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "tests/support/peers.h"
#include "tests/support/program.h"

namespace {

struct Usage {
  int descriptors = 0;
  long resident_kib = 0;
};

Usage usage_of(pid_t pid) {
  Usage u;
  std::string fd_dir = "/proc/" + std::to_string(pid) + "/fd";
  if (DIR* dir = opendir(fd_dir.c_str())) {
    while (dirent* entry = readdir(dir)) u.descriptors += entry->d_name[0] != '.';
    closedir(dir);
  }
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) u.resident_kib = std::atol(line.c_str() + 6);
  }
  return u;
}

// The process the agent runs as (the only child of this process that execs it).
pid_t child_named(const std::string& name) {
  DIR* proc = opendir("/proc");
  pid_t found = -1;
  while (dirent* entry = proc ? readdir(proc) : nullptr) {
    pid_t pid = std::atoi(entry->d_name);
    if (pid <= 0) continue;
    std::ifstream comm("/proc/" + std::string(entry->d_name) + "/comm");
    std::string text;
    std::getline(comm, text);
    std::ifstream stat("/proc/" + std::string(entry->d_name) + "/stat");
    std::string stat_text;
    std::getline(stat, stat_text);
    size_t paren = stat_text.rfind(')');
    int parent = paren == std::string::npos ? 0 : std::atoi(stat_text.c_str() + paren + 4);
    if (text == name && parent == getpid()) found = pid;
  }
  if (proc) closedir(proc);
  return found;
}

void device_mode(const std::string& netfeeder, int jobs) {
  TempTree tree;
  tree.write("dev/.keep", "");
  const std::string address = "127.0.16.1";
  TestPrinterPort printer(address, 9100);
  std::atomic<bool> done{false};
  std::atomic<long long> received{0};
  std::thread sink([&] {
    while (!done) {
      UniqueFd connection = printer.accept_connection(200);
      if (connection.valid())
        received += static_cast<long long>(read_until_eof(connection.get(), 2000).size());
    }
  });
  AgentProcess agent(netfeeder, {"-x", "-d", "benchdev", address},
                     {"QUINTARO_ROOT=" + tree.root(), "QUINTARO_SKIP_WAITS=1"}, tree.root());
  std::string device = tree.path("dev/benchdev");
  eventually([&] { return access(device.c_str(), F_OK) == 0; }, 10000);
  pid_t pid = child_named("netfeeder");
  std::string job(1000, 'j');
  Usage early{}, late{};
  for (int i = 1; i <= jobs; ++i) {
    int fd = open(device.c_str(), O_WRONLY | O_NOCTTY);
    if (fd >= 0) {
      if (write(fd, job.data(), job.size()) < 0) std::perror("write");
      close(fd);
    }
    if (i == 100) early = usage_of(pid);
  }
  usleep(500000);
  late = usage_of(pid);
  agent.send_signal(SIGTERM);
  agent.wait(5000);
  done = true;
  sink.join();
  std::printf("== netfeeder in device mode, %d jobs of %zu bytes\n", jobs, job.size());
  std::printf("  bytes at the printer  %lld of %lld\n", received.load(),
              static_cast<long long>(jobs) * static_cast<long long>(job.size()));
  std::printf("  descriptors          %d after 100 jobs, %d after %d\n", early.descriptors,
              late.descriptors, jobs);
  std::printf("  resident memory      %ld KiB after 100 jobs, %ld KiB after %d\n",
              early.resident_kib, late.resident_kib, jobs);
}

void sweep(const std::string& hostsweep, const std::string& cmib, const std::string& network) {
  TempTree tree;
  tree.write("usr/quintaro/etc/hsweep.cmib", read_file(cmib));
  auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    int null_fd = open("/dev/null", O_WRONLY);
    dup2(null_fd, 1);
    exec_program(hostsweep, {"hostsweep", "-I", "-t", "1,1", "-n", network, tree.path("found")},
                 test_environment({"QUINTARO_ROOT=" + tree.root()}));
  }
  Usage peak{};
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    Usage now = usage_of(pid);
    peak.descriptors = std::max(peak.descriptors, now.descriptors);
    peak.resident_kib = std::max(peak.resident_kib, now.resident_kib);
    usleep(100000);
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("== hostsweep over %s/16 (silent, time-out 1 s, one transmission)\n",
              network.c_str());
  std::printf("  exit status          %d\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1);
  std::printf("  wall time            %.1f s\n", seconds);
  std::printf("  peak descriptors     %d\n", peak.descriptors);
  std::printf("  peak resident memory %ld KiB\n", peak.resident_kib);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s NETFEEDER HOSTSWEEP CMIB [JOBS] [NETWORK]\n", argv[0]);
    return 2;
  }
  int jobs = argc > 4 ? std::atoi(argv[4]) : 10000;
  std::string network = argc > 5 ? argv[5] : "127.78.0.0";
  device_mode(argv[1], jobs);
  sweep(argv[2], argv[3], network);
  return 0;
}
