// Fuzz target of netfeeder's command line: parse_options and compute_ports on a
// command line from the input. Checks that a parse can be repeated in one process
// with the same result, and the limits of the settings. Every "/" of the input
// becomes "_", so that -f only ever names a file of the working directory (opened
// for reading, never written).
#include <getopt.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "netfeeder/options.h"
#include "tests/support/fuzz_input.h"

namespace {

struct Outcome {
  int status;
  int next_operand;
  Settings settings;
  bool input_open;
};

Outcome parse_once(FuzzArguments arguments) {
  Outcome outcome;
  UniqueFd input;
  outcome.status = parse_options(arguments.argc(), arguments.argv(), outcome.settings, input);
  outcome.next_operand = optind;
  if (outcome.status == -1) compute_ports(outcome.settings);
  outcome.input_open = input.valid();
  return outcome;
}

bool same(const Settings& a, const Settings& b) {
  return a.host == b.host && a.host_given == b.host_given && a.header_host == b.header_host &&
         a.job_name == b.job_name && a.user == b.user && a.admin == b.admin &&
         a.printer_name == b.printer_name && a.device_name == b.device_name &&
         a.log_path == b.log_path && a.progress_path == b.progress_path &&
         a.management_server == b.management_server && a.mail_host == b.mail_host &&
         a.ir_port == b.ir_port && a.response_port == b.response_port &&
         a.server_port == b.server_port && a.tarragon == b.tarragon && a.debug == b.debug &&
         a.raw == b.raw && a.mail_flags == b.mail_flags && a.write_flags == b.write_flags;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  std::replace(text.begin(), text.end(), '/', '_');
  FuzzArguments arguments("netfeeder", text);
  Outcome first = parse_once(arguments);
  Outcome second = parse_once(arguments);
  if (first.status != second.status || first.next_operand != second.next_operand ||
      first.input_open != second.input_open || !same(first.settings, second.settings)) {
    __builtin_trap();
  }
  const Settings& s = first.settings;
  if (s.host.size() > HOST_LIMIT || s.user.size() > NAME_LIMIT || s.log_path.size() > PATH_LIMIT ||
      (s.mail_flags & ~15) != 0 || (s.write_flags & ~15) != 0) {
    __builtin_trap();
  }
  return 0;
}
