// prescan_bench HOSTSWEEP CMIB [RATE [DROP [PLAIN_RANGE]]]: run by hand, as root (the
// farm binds port 161 and taps the loopback device). Sweeps the network 127.77.0.0
// (64,516 addresses as -n expands it) with hostsweep -P RATE (default 0, the default
// rate) against the SNMP responder farm, which answers as a printer on 1% of the
// addresses, chosen at random, stays silent on the rest and drops the share DROP
// (default 0.01) of the requests it gets. Reports the wall time, addresses per
// second, recall (printers found / printers present), the highest send rate of the
// prescan in any one-second window (measured on the loopback device), and whether
// the found list is the one a search without -P gives for the same responders: that
// search asks every responder (-h for each), since a search without -P of the whole
// /16 holds every silent address for 15 s and takes over an hour. With PLAIN_RANGE
// (first-last, such as 127.77.1.1-127.77.4.254) a search without -P of that range,
// silent addresses included, is compared too (about a minute per 1,000 addresses).
// Build: ninja -C build prescan_bench hostsweep hsweep_cmib, then
// build/bench/prescan_bench build/hostsweep/hostsweep build/hostsweep/hsweep.cmib
#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/program.h"
#include "tests/support/snmp_farm.h"

namespace {

constexpr const char* kNetwork = "127.77.0.0";
constexpr double kPrinterShare = 0.01;

std::vector<SnmpServedValue> printer(const std::string& name) {
  const std::string maker = ".1.3.6.1.4.1.40599.";
  return {{maker + "1.1.1.0", SnmpServedValue::INTEGER, "1"},
          {maker + "1.2.15.0", SnmpServedValue::STRING, "NetPort card"},
          {maker + "1.2.14.0", SnmpServedValue::STRING, "firmware"},
          {maker + "1.2.3.0", SnmpServedValue::STRING, "CX-1001"},
          {maker + "2.1.1.1.2.1", SnmpServedValue::STRING, name}};
}

uint32_t number(const std::string& dotted) {
  in_addr address{};
  inet_pton(AF_INET, dotted.c_str(), &address);
  return ntohl(address.s_addr);
}

// Runs hostsweep with `args` (standard output to /dev/null); the wall time.
double sweep(const std::string& hostsweep, const TempTree& tree, std::vector<std::string> args) {
  args.insert(args.begin(), "hostsweep");
  auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    int null_fd = open("/dev/null", O_WRONLY);
    dup2(null_fd, 1);
    exec_program(hostsweep, args, test_environment({"QUINTARO_ROOT=" + tree.root()}));
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "hostsweep ended with status %d\n", status);
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The addresses of a found list.
std::set<std::string> found_addresses(const std::string& list) {
  std::set<std::string> found;
  std::istringstream in(list);
  for (std::string line; std::getline(in, line);) found.insert(line.substr(0, line.find(' ')));
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 6) {
    std::fprintf(stderr, "usage: %s HOSTSWEEP CMIB [RATE [DROP [PLAIN_RANGE]]]\n", argv[0]);
    return 2;
  }
  const std::string hostsweep = argv[1];
  const std::string rate = argc > 3 ? argv[3] : "0";
  const double drop = argc > 4 ? std::atof(argv[4]) : 0.01;
  const std::string plain_range = argc > 5 ? argv[5] : "";
  TempTree tree;
  tree.write("usr/quintaro/etc/hsweep.cmib", read_file(argv[2]));

  // 1% of the addresses of the network as -n expands it (127.77.1.1 to
  // 127.77.254.254), chosen at random.
  std::vector<std::string> all;
  for (int third = 1; third <= 254; ++third) {
    for (int fourth = 1; fourth <= 254; ++fourth) {
      all.push_back("127.77." + std::to_string(third) + "." + std::to_string(fourth));
    }
  }
  std::shuffle(all.begin(), all.end(), std::mt19937(1677));
  all.resize(static_cast<size_t>(static_cast<double>(all.size()) * kPrinterShare + 0.5));
  SnmpFarmSettings settings;
  for (const std::string& address : all) {
    settings.printers.push_back({address, printer("Bench printer " + address)});
  }
  settings.drop_share = drop;
  settings.seed = 16;
  settings.tap_network = kNetwork;
  settings.tap_prefix = 16;
  SnmpFarm farm(settings);
  if (!farm.available()) {
    std::fprintf(stderr, "no farm: %s\n", farm.unavailable_reason().c_str());
    return 1;
  }
  std::set<std::string> present;
  for (const FarmPrinter& p : settings.printers) present.insert(p.address);

  double seconds = sweep(
      hostsweep, tree,
      {"-I", "-P", rate, "-d", "8", "-f", tree.path("debug"), "-n", kNetwork, tree.path("found")});
  std::string found_list = read_file(tree.path("found"));
  std::set<std::string> found = found_addresses(found_list);
  size_t hits = 0;
  for (const std::string& address : found) hits += present.count(address);

  std::vector<SnmpFarm::Tapped> tapped = farm.tapped();
  std::vector<SnmpFarm::Tapped> prescan;
  // The prescan sends first, all from one socket.
  for (const auto& t : tapped) {
    if (t.from_port == tapped.front().from_port) prescan.push_back(t);
  }
  std::string counts;
  std::istringstream debug(read_file(tree.path("debug")));
  for (std::string line; std::getline(debug, line);) {
    if (line.rfind("Prescan", 0) == 0) counts += "  " + line + "\n";
  }

  const int addresses = 254 * 254;
  std::printf(
      "== hostsweep -P %s over %s: %d addresses, %zu printers, %.1f%% of requests "
      "dropped\n",
      rate.c_str(), kNetwork, addresses, present.size(), 100 * drop);
  std::printf("%s", counts.c_str());
  std::printf("  wall time            %.2f s (aim: at most 90 s at the default rate)\n", seconds);
  std::printf("  addresses per second %.0f\n", addresses / seconds);
  std::printf("  recall               %zu / %zu = %.4f (aim: at least 0.995)\n", hits,
              present.size(), static_cast<double>(hits) / static_cast<double>(present.size()));
  std::printf("  found, not present   %zu\n", found.size() - hits);
  std::printf("  prescan datagrams    %zu seen on the loopback device (tap lost %u)\n",
              prescan.size(), farm.tap_drops());
  std::printf("  highest send rate    %zu in any one second (cap: the rate)\n",
              SnmpFarm::highest_rate(prescan));

  // The same responders asked without -P: every one of them by -h.
  std::vector<std::string> hosts = {"-I"};
  for (const std::string& address : present) hosts.insert(hosts.end(), {"-h", address});
  hosts.push_back(tree.path("plain"));
  double plain_seconds = sweep(hostsweep, tree, hosts);
  std::string plain_list = read_file(tree.path("plain"));
  std::printf("  without -P, -h each  %.2f s, %zu printers; found list %s\n", plain_seconds,
              found_addresses(plain_list).size(),
              plain_list == found_list ? "identical" : "DIFFERENT");

  if (!plain_range.empty()) {
    size_t dash = plain_range.find('-');
    uint32_t first = number(plain_range.substr(0, dash));
    uint32_t last = number(plain_range.substr(dash + 1));
    double range_seconds = sweep(hostsweep, tree, {"-I", "-r", plain_range, tree.path("range")});
    std::string range_list = read_file(tree.path("range"));
    // The lines of the -P list in the range, in the list's order.
    std::string part;
    std::istringstream in(found_list);
    for (std::string line; std::getline(in, line);) {
      uint32_t address = number(line.substr(0, line.find(' ')));
      if (address >= first && address <= last) part += line + "\n";
    }
    std::printf("  without -P, -r %s  %.2f s, %zu printers; found list %s\n", plain_range.c_str(),
                range_seconds, found_addresses(range_list).size(),
                range_list == part ? "identical" : "DIFFERENT");
  }
  return 0;
}
