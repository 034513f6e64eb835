// Builders of the transport agents' command lines: netfeeder for network
// printers, serfeeder, parfeeder and usbfeeder for serial, parallel and USB
// devices. They read the device's VDD from the process-wide definition table and
// trace each step to the debug file (debug bit 2).
#pragma once

#include <cstddef>
#include <optional>
#include <string>

// What the spooler passes about the job, as given on the command line.
struct JobDetails {
  std::string queue;  // empty when the device was named directly
  std::string user;
  std::string host;
  std::string job;  // name or information of the print job
};

// The longest command line in characters. The QUINTARO_ROOT in front of the
// agent's path is not counted, so that a moved tree accepts the same commands.
inline constexpr size_t COMMAND_LIMIT = 255;

// The path of a transport agent: the tool directory's bin/ and `agent`.
std::string agent_path(const char* agent);

// Builds the command line for `transport_type` ("network", "serial", "parallel"
// or "usb"). Gives nullopt for any other type, for a device that the VDD does not
// name (after a message on standard error) and for a command longer than
// COMMAND_LIMIT.
std::optional<std::string> build_command(const std::string& transport_type, const JobDetails& job);
