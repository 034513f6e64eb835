// hostsweep_bench HOSTSWEEP CMIB: sweeps a loopback /24 (254 addresses) with real SNMP
// agents playing printers on a few addresses and the rest silent, at the default
// time-out and retries, and reports the wall time against the ideal schedule (as
// many 15-second slots as the connection limit needs for the silent addresses, plus
// the staged start) and the program's peak memory. Run by hand, as root (the agents
// bind port 161): ninja -C build hostsweep_bench hostsweep hsweep_cmib, then
// build/bench/hostsweep_bench build/hostsweep/hostsweep build/hostsweep/hsweep.cmib
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/program.h"
#include "tests/support/snmp_agent.h"

namespace {

constexpr const char* kNetwork = "127.0.9.0";
constexpr int kAddresses = 254;
constexpr int kPrinters[] = {7, 77, 177, 250};
constexpr double kSilentSeconds = 15;  // 3 s, 4 transmissions: 3 + 3 + 3 + 6
constexpr double kStagedStartSeconds = 4;
constexpr int kDefaultLimit = 236;  // 240 less the four kept in reserve

std::vector<SnmpServedValue> printer(int n) {
  const std::string maker = ".1.3.6.1.4.1.40599.";
  return {{maker + "1.1.1.0", SnmpServedValue::INTEGER, "1"},
          {maker + "1.2.15.0", SnmpServedValue::STRING, "NetPort card"},
          {maker + "1.2.14.0", SnmpServedValue::STRING, "firmware"},
          {maker + "1.2.3.0", SnmpServedValue::STRING, "CX-1001"},
          {maker + "2.1.1.1.2.1", SnmpServedValue::STRING, "Bench printer " + std::to_string(n)}};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s HOSTSWEEP CMIB\n", argv[0]);
    return 2;
  }
  TempTree tree;
  tree.write("usr/quintaro/etc/hsweep.cmib", read_file(argv[2]));
  std::vector<std::unique_ptr<SnmpAgent>> agents;
  for (int n : kPrinters) {
    agents.push_back(std::make_unique<SnmpAgent>("127.0.9." + std::to_string(n), printer(n)));
    if (!agents.back()->available()) {
      std::fprintf(stderr, "no agent: %s\n", agents.back()->unavailable_reason().c_str());
      return 1;
    }
  }
  auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    int null_fd = open("/dev/null", O_WRONLY);  // the found printers are counted from the file
    dup2(null_fd, 1);
    exec_program(argv[1], {"hostsweep", "-I", "-n", kNetwork, tree.path("found")},
                 test_environment({"QUINTARO_ROOT=" + tree.root()}));
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  int silent = kAddresses - static_cast<int>(std::size(kPrinters));
  double ideal =
      std::ceil(static_cast<double>(silent) / kDefaultLimit) * kSilentSeconds + kStagedStartSeconds;
  std::string found = read_file(tree.path("found"));
  int lines = 0;
  for (char c : found) lines += c == '\n';
  std::printf("== hostsweep over %s/24: %d addresses, %zu printers, the rest silent\n", kNetwork,
              kAddresses, std::size(kPrinters));
  std::printf("  exit status          %d, %d printers found\n",
              WIFEXITED(status) ? WEXITSTATUS(status) : -1, lines);
  std::printf("  wall time            %.2f s\n", seconds);
  std::printf("  ideal schedule       %.2f s\n", ideal);
  std::printf("  wall / ideal         %.3f (aim: at most 1.1)\n", seconds / ideal);
  std::printf("  peak memory          %ld KiB\n", usage.ru_maxrss);
  return 0;
}
