// Fuzz target of what the backend reads from outside: the job's option text and the
// device URI from CUPS, and the agent's command line from the transport command
// builder. Checks that option names come out once each and non-empty, that a valid
// queue name read from the input survives queue_uri and parse_device_uri unchanged,
// that a URI the backend accepts names a valid queue, and that a command line is
// either refused with a reason or gives a program to run.
//
// Input: byte 0 picks the parser (by its value modulo 3: options, URI, command
// line); the rest is the text.
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "cups/agent_command.h"
#include "cups/device_uri.h"
#include "cups/job_options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] % 3 == 2) {
    AgentCommand command = split_command_line(text);
    if (command.error.empty() == command.argv.empty()) __builtin_trap();
    return 0;
  }
  if (data[0] % 3 == 0) {
    std::set<std::string> names;
    for (const JobOption& option : parse_job_options(text)) {
      if (option.name.empty() || !names.insert(option.name).second) __builtin_trap();
    }
    return 0;
  }
  DeviceTarget target = parse_device_uri(text);
  if (target.kind == DeviceTarget::QUEUE && !valid_queue_name(target.name)) __builtin_trap();
  if (valid_queue_name(text)) {
    DeviceTarget again = parse_device_uri(queue_uri(text));
    if (again.kind != DeviceTarget::QUEUE || again.name != text) __builtin_trap();
  }
  return 0;
}
