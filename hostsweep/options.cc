// The discovery program's command line.
#include "hostsweep/options.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "common/format.h"
#include "common/help_text.h"
#include "common/program_frame.h"

namespace {

constexpr const char* kProgram = "hostsweep";

std::string usage_lines() {
  return strprintf("    %s -i -h host [-c name,name] output_file\n", kProgram) +
         strprintf("    %s -i -n ip_subnet [-c name,name] output_file\n", kProgram) +
         strprintf("    %s -i -r ip_range [-c name,name] output_file\n", kProgram) +
         strprintf("    %s -H\n", kProgram);
}

// A -h argument: a dotted address, else the first address of the host name.
std::optional<Address> resolve_host(const char* text) {
  in_addr_t value = inet_addr(text);
  if (value == INADDR_NONE) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(text, nullptr, &hints, &found) != 0 || !found) return std::nullopt;
    value = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(found);
  }
  Address address;
  std::memcpy(address.data(), &value, 4);
  return address;
}

// A -P argument: a whole decimal number from 0 to PRESCAN_MAX_RATE, 0 standing for
// the default rate.
std::optional<int> parse_rate(const char* text) {
  int value = -1;
  const char* end = text + std::strlen(text);
  auto [at, error] = std::from_chars(text, end, value);
  if (error != std::errc() || at != end || at == text || value < 0 || value > PRESCAN_MAX_RATE) {
    return std::nullopt;
  }
  return value == 0 ? PRESCAN_DEFAULT_RATE : value;
}

}  // namespace

std::string usage_text() {
  return "\nUSAGE:\n" + usage_lines() +
         strprintf("\nTry '%s -H' for more information\n\n", kProgram);
}

std::string help_text() {
  std::string text = strprintf("\n%s\n", kProgram);
  text += "    Searches the network for supported network printers.\n";
  text += "\nUSAGE:\n" + usage_lines();
  text += help_options({
      {"-c name,name",
       "Specify the SNMP Community name.  Search for a printer in a specific\n"
       "SNMP domain.  The default SNMP Community name is 'tessel,tessel'.\n"},
      {"-h host",
       "Specify the printer's hostname or IPv4 address.  Search for a specific\n"
       "printer.\n"},
      {"-H", "Display this help and exit.\n"},
      {"-i", "Ignore external adapter status.\n"},
      {"-n ip_subnet", "Specify the IPv4 Subnet. Search an IPv4 subnet for supported printers.\n"},
      {"-P rate",
       "Prescan: first send one SNMP request to every address, at most rate\n"
       "packets per second (0 for 2000, at most 1000000), then a second one to\n"
       "the addresses that did not answer, and search only those that answered.\n"},
      {"-r ip_range", "Specify the IPv4 Range. Search an IPv4 Range for supported printers.\n"},
      {"output_file", "Specify the filename were the found printers can be stored.\n"},
  });
  text += "\nEXAMPLES:\n\n";
  text += "    1. This example searches for a specific printer.\n";
  text += strprintf("       $ %s -i -h 192.168.1.100 /tmp/printers.log\n\n", kProgram);
  text += "    2. This example searches for a specific printer in the SNMP domain 'local'.\n";
  text +=
      strprintf("       $ %s -i -h 192.168.1.100 -c local,local /tmp/printers.log\n\n", kProgram);
  text += "    3. This example searches the IPv4 subnet 192.168.1.0 for supported printers.\n";
  text += strprintf("       $ %s -i -n 192.168.1.0 /tmp/printers.log\n\n", kProgram);
  text += "    4. This example searches the IPv4 range 192.168.1.1 to 192.168.2.255 for\n";
  text += "       supported printers.\n";
  text += strprintf("       $ %s -i -r 192.168.1.1-192.168.2.255 /tmp/printer.log\n\n", kProgram);
  return text;
}

int parse_options(int argc, char** argv, HostsweepSettings& s) {
  ProgramFrame frame(kProgram, usage_lines(), 'H', HOSTSWEEP_FAILED);
  // A change of mode once one is chosen ends the run with the usage text.
  auto select = [&](Mode mode) {
    if (s.mode != Mode::NONE && s.mode != mode) {
      frame.usage();
      return HOSTSWEEP_FAILED;
    }
    s.mode = mode;
    return -1;
  };
  auto search = [&](auto apply) {
    return [&, apply](const char* argument) {
      if (int status = select(Mode::SEARCH); status != -1) return status;
      return apply(argument);
    };
  };
  auto number = [](int& target) {
    return [&target](const char* argument) {
      target = std::atoi(argument);
      return -1;
    };
  };
  auto flag = [](bool& target) {
    return [&target](const char*) {
      target = true;
      return -1;
    };
  };
  const std::vector<ProgramOption> options = {
      {'H', false,
       [](const char*) {
         report(help_text());
         return HOSTSWEEP_FAILED;
       }},
      {'c', true, search([&](const char* names) {
         const char* comma = std::strchr(names, ',');
         s.read_community = comma ? std::string(names, comma) : std::string(names);
         if (comma) s.write_community = comma + 1;
         return -1;
       })},
      {'d', true, number(s.debug)},
      {'f', true,
       [&](const char* file) {
         s.debug_file = file;
         return -1;
       }},
      {'o', true,
       [&](const char* limit) {
         int value = std::atoi(limit);
         if (value > 10) s.max_connections = value;
         return -1;
       }},
      {'n', true, search([&](const char* text) {
         std::optional<Address> network = parse_dotted(text);
         if (!network) {
           reportf("Invalid IP address: %s\n", text);
           return HOSTSWEEP_BAD_NETWORK;
         }
         if (s.search_list.add_network(*network) != 0) {
           reportf("Network %s conflicts with one or more arguments.\n", text);
           return HOSTSWEEP_FAILED;
         }
         return -1;
       })},
      {'h', true, search([&](const char* text) {
         std::optional<Address> host = resolve_host(text);
         if (!host) {
           reportf("Invalid Hostname or IP address: %s\n", text);
           return HOSTSWEEP_BAD_HOST;
         }
         if (s.search_list.add_host(*host) != 0) {
           reportf("Host %s conflicts with one or more arguments.\n", text);
           return HOSTSWEEP_FAILED;
         }
         return -1;
       })},
      {'r', true, search([&](const char* text) {
         const char* dash = std::strchr(text, '-');
         std::optional<Address> first, last;
         if (dash) {
           first = parse_dotted(std::string_view(text, static_cast<size_t>(dash - text)));
           last = parse_dotted(dash + 1);
         }
         if (!first || !last) {
           reportf("Invalid IP address range: %s\n", text);
           return HOSTSWEEP_BAD_RANGE;
         }
         if (*first > *last) {
           reportf("Invalid range: %s\n", text);
           return HOSTSWEEP_BAD_RANGE;
         }
         if (s.search_list.add_range(*first, *last) != 0) {
           reportf("Range %s conflicts with one or more arguments.\n", text);
           return HOSTSWEEP_FAILED;
         }
         return -1;
       })},
      {'i', false, search(flag(s.ignore_adapter_status))},
      {'I', false, flag(s.no_lookup)},
      {'s', true,
       [&](const char* server) {
         if (int status = select(Mode::PRINTER_FILE); status != -1) return status;
         s.server = server;
         return -1;
       }},
      {'S', true,
       [&](const char* server) {
         if (int status = select(Mode::PRINTER_FILE); status != -1) return status;
         s.server = server;
         return -1;
       }},
      {'t', true, search([&](const char* text) {
         s.timeout_us = 1000000LL * std::atoi(text);
         if (const char* comma = std::strchr(text, ',')) s.retries = std::atoi(comma + 1);
         return -1;
       })},
      {'x', false,
       [&](const char*) {
         // Only after an option that chose the mode.
         if (s.mode == Mode::NONE) {
           frame.usage();
           return HOSTSWEEP_FAILED;
         }
         if (int status = select(Mode::SEARCH); status != -1) return status;
         s.colon = true;
         s.ignore_adapter_status = true;
         return -1;
       }},
      {'p', false, flag(s.print_pid)},
      {'P', true, search([&](const char* text) {
         std::optional<int> rate = parse_rate(text);
         if (!rate) {
           frame.usage();
           return HOSTSWEEP_FAILED;
         }
         s.prescan_rate = *rate;
         return -1;
       })},
  };
  if (int status = frame.parse(argc, argv, options); status != -1) return status;
  if (optind < argc) s.output_path = argv[optind];
  if (s.mode == Mode::NONE) {
    frame.usage();
    return HOSTSWEEP_FAILED;
  }
  if (s.prescan_rate != 0 &&
      count_addresses_up_to(s.search_list, PRESCAN_MAX_ADDRESSES + 1) > PRESCAN_MAX_ADDRESSES) {
    reportf("The prescan takes at most %zu addresses.\n", PRESCAN_MAX_ADDRESSES);
    return HOSTSWEEP_FAILED;
  }
  return -1;
}
