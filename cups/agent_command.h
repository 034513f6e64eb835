// The transport agent's command line as linebuilder writes it for a shell, turned into
// an argument vector without one: words split at blanks, single quotes, double quotes
// with their backslash escapes, and backslash escapes outside quotes. What only a shell
// could do (expansions, redirections, several commands, globbing) is refused.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct AgentCommand {
  std::vector<std::string> argv;  // argv[0] is the agent's path
  std::string error;              // why the line cannot be run; empty when argv is good
};

AgentCommand split_command_line(std::string_view line);

// Adds netfeeder's raw flag (-r), which writes its IR notifications to standard error,
// right after argv[0] when the agent is netfeeder and the flag is not there already.
// Other agents are left as they are.
void add_raw_flag(std::vector<std::string>& argv);
