// Fuzz target of hostsweep's command line: parse_options on a command line from the
// input, then the first addresses of the search list it built. Checks that a parse
// can be repeated in one process with the same result, and that the search list
// hands out addresses in ascending order. Host names are never looked up: the
// resolver of this program refuses every name.
#include <arpa/inet.h>
#include <getopt.h>
#include <netdb.h>

#include <cstdint>
#include <string>

#include "hostsweep/options.h"
#include "tests/support/fuzz_input.h"

// -h takes a host name as well as an address; no name may reach a name server here.
extern "C" int getaddrinfo(const char*, const char*, const addrinfo*, addrinfo** result) {
  *result = nullptr;
  return EAI_NONAME;
}

namespace {

struct Outcome {
  int status;
  int next_operand;
  HostsweepSettings settings;
};

Outcome parse_once(FuzzArguments arguments) {
  Outcome outcome;
  outcome.status = parse_options(arguments.argc(), arguments.argv(), outcome.settings);
  outcome.next_operand = optind;
  return outcome;
}

bool same_entries(const SearchList& a, const SearchList& b) {
  if (a.entries().size() != b.entries().size()) return false;
  for (size_t i = 0; i < a.entries().size(); ++i) {
    const SearchEntry& x = a.entries()[i];
    const SearchEntry& y = b.entries()[i];
    if (x.kind != y.kind || x.start != y.start || x.end != y.end) return false;
  }
  return true;
}

bool same(const HostsweepSettings& a, const HostsweepSettings& b) {
  return a.mode == b.mode && a.read_community == b.read_community &&
         a.write_community == b.write_community && a.timeout_us == b.timeout_us &&
         a.retries == b.retries && a.debug == b.debug && a.debug_file == b.debug_file &&
         a.max_connections == b.max_connections && a.print_pid == b.print_pid &&
         a.no_lookup == b.no_lookup && a.ignore_adapter_status == b.ignore_adapter_status &&
         a.colon == b.colon && a.server == b.server && a.output_path == b.output_path &&
         a.prescan_rate == b.prescan_rate && same_entries(a.search_list, b.search_list);
}

uint32_t number(const std::string& dotted_text) {
  in_addr address;
  if (inet_pton(AF_INET, dotted_text.c_str(), &address) != 1) __builtin_trap();
  return ntohl(address.s_addr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzArguments arguments("hostsweep", std::string_view(reinterpret_cast<const char*>(data), size));
  Outcome first = parse_once(arguments);
  Outcome second = parse_once(arguments);
  if (first.status != second.status || first.next_operand != second.next_operand ||
      !same(first.settings, second.settings)) {
    __builtin_trap();
  }
  SearchList& list = first.settings.search_list;
  std::string text;
  uint32_t last = 0;
  for (int i = 0; i < 600 && list.next_address(&text) == 0; ++i) {
    uint32_t current = number(text);
    if (i > 0 && current <= last) __builtin_trap();
    last = current;
  }
  return 0;
}
