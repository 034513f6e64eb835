// pddtool: the suite's printer definition compiler (compile, decompile, check) and
// the source of the queue definition lines of a compiled PDD (settings).
#include <csignal>
#include <string>
#include <vector>

#include "common/io.h"
#include "pddtool/command_line.h"

int main(int argc, char** argv) {
  // A closed output pipe ends a write with EPIPE, not the program.
  std::signal(SIGPIPE, SIG_IGN);
  std::vector<std::string> args(argv + 1, argv + argc);
  pddtool::CommandResult result = pddtool::run_pddtool(args);
  if (!write_all(1, result.out) && result.status == pddtool::EXIT_OK) {
    result.status = pddtool::EXIT_BAD_INPUT;
  }
  write_all(2, result.err);
  return result.status;
}
