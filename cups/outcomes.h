// How a job ends, as CUPS is told: the exit status and the reason, judged from what the
// formatter and the transport agent said and how they ended.
#pragma once

#include <string>
#include <string_view>

// A program's messages on one line: blank lines, "Reason:" and "Solution:" headings and
// usage texts dropped, list marks and "ERROR:" prefixes taken off, the rest joined with
// blanks and cut after 400 characters.
std::string condensed_message(std::string_view text);

// One line for CUPS: `prefix` ("ERROR: ", "INFO: " ...), then `text` with every control
// character made a blank, then a newline.
std::string cups_message(std::string_view prefix, std::string_view text);

struct Verdict {
  int status = 0;  // a BackendStatus
  std::string reason;
};

// Statuses are JobProcesses's: an exit status, or SIGNALLED + a signal number.
// The formatter at `path` ended with `status` (not 0) after writing `errors`; `banner`
// when it was printing the banner page.
Verdict formatter_verdict(int status, std::string_view errors, bool banner,
                          const std::string& path);

// What the agent said on standard error besides its printer conditions.
struct AgentFindings {
  bool connection_lost = false;
  std::string unresolved;   // the host that could not be resolved
  std::string unreachable;  // the host whose network is unreachable
  std::string messages;     // its other lines
};

// The agent at `path` ended with `status`. `all_taken`: its input was closed and it took
// every byte. Only an agent that took every byte, ended with 0 and reported no lost
// connection or unreachable printer delivered the job (CUPS_BACKEND_OK).
Verdict agent_verdict(int status, bool all_taken, const AgentFindings& findings,
                      std::string_view output, const std::string& path);
