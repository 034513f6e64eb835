// Judging the ends of the formatter and the agent.
#include "cups/outcomes.h"

#include "common/format.h"
#include "cups/backend.h"
#include "cups/job_processes.h"

namespace {

constexpr size_t kReasonLimit = 400;

std::string_view trim(std::string_view text) {
  while (!text.empty() && std::string_view(" \t\r-").find(text.front()) != std::string_view::npos) {
    text.remove_prefix(1);
  }
  while (!text.empty() && std::string_view(" \t\r").find(text.back()) != std::string_view::npos) {
    text.remove_suffix(1);
  }
  return text;
}

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

}  // namespace

std::string condensed_message(std::string_view text) {
  std::string joined;
  bool in_usage = false;
  size_t start = 0;
  while (start <= text.size()) {
    size_t newline = text.find('\n', start);
    std::string_view line =
        trim(text.substr(start, newline == std::string_view::npos ? text.npos : newline - start));
    start = newline == std::string_view::npos ? text.size() + 1 : newline + 1;
    // The usage text a program prints before some messages runs from "USAGE:" to its
    // "Try '...' for more information" line.
    if (line == "USAGE:") {
      in_usage = true;
      continue;
    }
    if (in_usage) {
      if (line.starts_with("Try '")) in_usage = false;
      continue;
    }
    if (line.empty() || line == "Reason:" || line == "Solution:") continue;
    if (line.starts_with("ERROR:")) line = trim(line.substr(6));
    if (!joined.empty()) joined += ' ';
    joined += line;
  }
  if (joined.size() > kReasonLimit) {
    joined.resize(kReasonLimit);
    joined += "...";
  }
  return joined;
}

std::string cups_message(std::string_view prefix, std::string_view text) {
  std::string line(prefix);
  for (char c : text) line += static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? ' ' : c;
  return line + "\n";
}

Verdict formatter_verdict(int status, std::string_view errors, bool banner,
                          const std::string& path) {
  std::string said = condensed_message(errors);
  if (status == 127) {
    return {CUPS_BACKEND_STOP,
            strprintf("The job formatter %s could not be started", path.c_str())};
  }
  if (status > SIGNALLED) {
    return {CUPS_BACKEND_FAILED,
            strprintf("The job formatter was ended by signal %d", status - SIGNALLED)};
  }
  if (banner) {
    return {CUPS_BACKEND_CANCEL, "The banner page cannot be printed: " + said};
  }
  // What the formatter says names the fault; the checks before it ran make the first
  // ones rare (the queue changed meanwhile).
  struct Fault {
    std::string_view says;
    int status;
    std::string_view what;
  };
  static constexpr Fault kFaults[] = {
      {"does not exist", CUPS_BACKEND_STOP, "The queue's definition is missing"},
      {"Definition File Error", CUPS_BACKEND_STOP, "The queue's definition is broken"},
      {"File not found:", CUPS_BACKEND_STOP, "The queue's PDD is missing or broken"},
      {"write_codes failed", CUPS_BACKEND_STOP,
       "The queue's PDD holds printer codes that cannot be written"},
      {"Error reading", CUPS_BACKEND_CANCEL, "The job cannot be read"},
  };
  for (const Fault& fault : kFaults) {
    if (contains(errors, fault.says)) return {fault.status, std::string(fault.what) + ": " + said};
  }
  return {CUPS_BACKEND_FAILED, strprintf("The job formatter failed (status %d)%s%s", status,
                                         said.empty() ? "" : ": ", said.c_str())};
}

Verdict agent_verdict(int status, bool all_taken, const AgentFindings& findings,
                      std::string_view output, const std::string& path) {
  if (findings.connection_lost)
    return {CUPS_BACKEND_RETRY, "The connection to the printer was lost"};
  if (!findings.unresolved.empty()) {
    return {CUPS_BACKEND_RETRY, strprintf("The printer's host name %s cannot be resolved",
                                          findings.unresolved.c_str())};
  }
  if (!findings.unreachable.empty()) {
    return {CUPS_BACKEND_RETRY,
            strprintf("The printer %s cannot be reached", findings.unreachable.c_str())};
  }
  if (status == 0 && all_taken) return {CUPS_BACKEND_OK, ""};
  if (status == 127) {
    return {CUPS_BACKEND_STOP,
            strprintf("The transport agent %s could not be started", path.c_str())};
  }
  // netfeeder writes its option errors on standard output, which otherwise carries the
  // printer's responses: it is looked at only when standard error said nothing.
  std::string said = condensed_message(findings.messages);
  if (said.empty()) said = condensed_message(output);
  if (status > SIGNALLED) {
    return {CUPS_BACKEND_FAILED,
            strprintf("The transport agent was ended by signal %d", status - SIGNALLED)};
  }
  if (status == 0) {
    return {CUPS_BACKEND_FAILED, "The transport agent ended before it took the whole job" +
                                     (said.empty() ? std::string() : ": " + said)};
  }
  return {CUPS_BACKEND_FAILED, strprintf("The transport agent failed (status %d)%s%s", status,
                                         said.empty() ? "" : ": ", said.c_str())};
}
