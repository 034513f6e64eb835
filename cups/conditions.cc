// Condition names, the agent's notification lines, and the reasons they set.
#include "cups/conditions.h"

#include <algorithm>

#include "common/format.h"

namespace {

constexpr std::string_view kConditionLine = "Printer condition:";
constexpr std::string_view kLost = "Connection to printer was lost.";
constexpr std::string_view kUnresolved = "Could not resolve ";
constexpr std::string_view kUnreachable = " is unreachable.";

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

}  // namespace

std::string_view condition_keyword(std::string_view name) {
  struct Keyword {
    std::string_view name;
    std::string_view keyword;
  };
  // Conditions of the agent's table with a standard printer-state-reasons keyword;
  // "Service Printer", "Job Error", "Printer Error", "Disk Failure", "Busy" and "Unknown
  // Problem" have none.
  static constexpr Keyword kKeywords[] = {
      {"Paper Jam", "media-jam"},     {"Change Paper", "media-needed"},
      {"Load Paper", "media-needed"}, {"Output Full", "output-area-full"},
      {"Toner Low", "toner-low"},     {"Cover Open", "cover-open"},
      {"Off line", "offline"},        {"Port Timeout", "timed-out"},
  };
  for (const Keyword& entry : kKeywords) {
    if (entry.name == name) return entry.keyword;
  }
  return "other";
}

AgentReport read_agent_line(std::string_view line) {
  line = trim(line);
  if (line.starts_with(kConditionLine)) {
    std::string_view condition = trim(line.substr(kConditionLine.size()));
    if (condition == kLost) return {AgentReport::CONNECTION_LOST, ""};
    if (condition.starts_with(kUnresolved) && condition.ends_with(".")) {
      condition.remove_prefix(kUnresolved.size());
      condition.remove_suffix(1);
      return {AgentReport::UNRESOLVED, std::string(condition)};
    }
    if (condition.empty()) return {};
    return {AgentReport::CONDITION, std::string(condition)};
  }
  if (line.size() > kUnreachable.size() && line.ends_with(kUnreachable)) {
    return {AgentReport::UNREACHABLE,
            std::string(line.substr(0, line.size() - kUnreachable.size()))};
  }
  return {};
}

std::string ConditionReasons::raise(std::string_view name) {
  if (name == "Clear") return clear_all();
  std::string keyword(condition_keyword(name));
  std::string lines;
  if (std::find(active_.begin(), active_.end(), keyword) == active_.end()) {
    active_.push_back(keyword);
    lines += "STATE: +" + keyword + "\n";
  }
  lines += strprintf("INFO: Printer condition: %.*s (%s)\n", static_cast<int>(name.size()),
                     name.data(), keyword.c_str());
  return lines;
}

std::string ConditionReasons::clear_all() {
  std::string lines;
  for (const std::string& keyword : active_) lines += "STATE: -" + keyword + "\n";
  active_.clear();
  return lines;
}
