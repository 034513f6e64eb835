// The pddtool program: its command line, its subcommands (compile, decompile,
// check, settings), the files it reads and writes, and its exit statuses. The
// program's main() only prints what run_pddtool gives.
#pragma once

#include <string>
#include <vector>

namespace pddtool {

enum ExitStatus {
  EXIT_OK = 0,
  EXIT_BAD_INPUT = 1,  // a source, a compiled PDD or a value that is refused; a file error
  EXIT_USAGE = 2,      // a command line that does not fit the usage
};

struct CommandResult {
  int status = EXIT_OK;
  std::string out;  // for standard output
  std::string err;  // for standard error: lines "pddtool: ...", one per fault
};

// Runs pddtool with `args` (without the program name). Output files (compile, and
// decompile with -o) are written through a temporary file beside them and renamed
// into place, so a failed run leaves none behind. On a failure `out` is empty.
CommandResult run_pddtool(const std::vector<std::string>& args);

// SOURCE with the extension of its last path component replaced by ".b" (added
// when it has none): "sample/generic_pcl.yaml" gives "sample/generic_pcl.b".
std::string compiled_path(const std::string& source);

}  // namespace pddtool
