// Printer conditions: what the transport agent reports on standard error (netfeeder's
// raw IR notifications, "Printer condition:" lines), and the CUPS printer-state-reasons
// the backend sets from them while they hold.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The printer-state-reasons keyword of a condition name of the agent's condition table
// ("Paper Jam" gives "media-jam"); "other" for a condition without a standard keyword.
std::string_view condition_keyword(std::string_view name);

// What one line of the agent's standard error tells.
struct AgentReport {
  enum Kind {
    NOTHING,          // any other line
    CONDITION,        // `detail` is the condition name
    CONNECTION_LOST,  // the connection to the printer was lost
    UNRESOLVED,       // `detail` is the host name that could not be resolved
    UNREACHABLE,      // `detail` is the host whose network is unreachable
  };
  Kind kind = NOTHING;
  std::string detail;
};
AgentReport read_agent_line(std::string_view line);

// The reasons set in CUPS for the printer's conditions. Each method gives the lines for
// CUPS (possibly none) that make CUPS show the change.
class ConditionReasons {
 public:
  // The printer reports `name`: its reason is set ("STATE: +keyword") unless set
  // already, and the condition is named in the printer's state message ("INFO: Printer
  // condition: NAME (keyword)"). The condition "Clear" clears every reason instead.
  std::string raise(std::string_view name);
  // The job goes on, or ends: every reason set is cleared ("STATE: -keyword").
  std::string clear_all();
  bool any() const { return !active_.empty(); }

 private:
  std::vector<std::string> active_;  // in the order they were set
};
