// Fuzz target of pddtool's command line: run_pddtool with arguments from the input,
// and compiled_path of each. No file is read or written: every argument that does
// not start with "-" is put below a directory that does not exist, and "/" in the
// others becomes "_", so that every file named fails to open (an output is only
// written after its source was read); the first argument, the subcommand, stays. Checks the exit
// status and where the messages go.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "pddtool/command_line.h"
#include "tests/support/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzArguments pieces("", std::string_view(reinterpret_cast<const char*>(data), size));
  std::vector<std::string> args;
  for (size_t i = 1; i < pieces.strings().size(); ++i) {
    std::string arg = pieces.strings()[i];
    if (i == 1) {
      // The subcommand names no file.
    } else if (arg.empty() || arg[0] != '-') {
      arg = "/nonexistent-pddtool-fuzz/" + arg;
    } else {
      std::replace(arg.begin(), arg.end(), '/', '_');
    }
    args.push_back(arg);
    std::string compiled = pddtool::compiled_path(arg);
    if (compiled.size() < 2 || compiled.compare(compiled.size() - 2, 2, ".b") != 0) {
      __builtin_trap();
    }
  }
  pddtool::CommandResult result = pddtool::run_pddtool(args);
  switch (result.status) {
    case pddtool::EXIT_OK:
      if (!result.err.empty()) __builtin_trap();
      break;
    case pddtool::EXIT_BAD_INPUT:
    case pddtool::EXIT_USAGE:
      if (!result.out.empty() || result.err.rfind("pddtool: ", 0) != 0) __builtin_trap();
      break;
    default:
      __builtin_trap();
  }
  return 0;
}
