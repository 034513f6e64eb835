// Fuzz target of the program frame's command line: ProgramFrame::parse with the
// option tables of jobshaper, settingsview and linebuilder (their letters and
// arguments; no file is opened), the debug number and the -d/-t rule. Checks that a
// parse can be repeated in one process: a second parse of the same command line
// applies the same options with the same arguments and ends the same way.
//
// Input: byte 0 picks the table; the rest is the command line, zero-separated.
#include <getopt.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/debug_trace.h"
#include "common/program_frame.h"
#include "tests/support/fuzz_input.h"

namespace {

struct Table {
  const char* program;
  char help_letter;
  const char* letters;     // every option letter
  const char* with_value;  // the letters that take an argument
  DebugRule rule;
};

constexpr Table kTables[] = {
    {"jobshaper", 'H', "Hqfhtuspdb", "qfhtuspd", DebugRule::ANY_NUMBER_NEEDS_FILE},
    {"settingsview", 'h', "hcdqfPwjblrx", "dqfPw", DebugRule::NONZERO_NUMBER_NEEDS_FILE},
    {"linebuilder", 'H', "Hqhuvdtj", "qhuvdtj", DebugRule::NONZERO_NUMBER_NEEDS_FILE},
};

struct Outcome {
  std::vector<std::pair<char, std::string>> applied;
  int status = 0;
  int next_operand = 0;
  bool rule_passed = false;

  bool operator==(const Outcome&) const = default;
};

Outcome parse_once(const Table& table, FuzzArguments arguments) {
  ProgramFrame frame(table.program, "    usage line\n", table.help_letter, 255);
  Outcome outcome;
  bool have_file = false;
  std::vector<ProgramOption> options;
  for (const char* letter = table.letters; *letter; ++letter) {
    char c = *letter;
    bool takes = std::string(table.with_value).find(c) != std::string::npos;
    options.push_back({c, takes, [&, c](const char* argument) {
                         outcome.applied.emplace_back(c, argument ? argument : "");
                         if (c == table.help_letter) return 255;
                         if (c == 'd') frame.set_debug_number(argument);
                         if (c == 't') have_file = true;
                         return -1;
                       }});
  }
  outcome.status = frame.parse(arguments.argc(), arguments.argv(), options);
  outcome.next_operand = optind;
  if (outcome.status == -1 && !have_file) {
    outcome.rule_passed = frame.apply_debug_rule(table.rule, "debug file needed\n");
  }
  debug_trace().level = 0;
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const Table& table = kTables[data[0] % std::size(kTables)];
  FuzzArguments arguments(table.program,
                          std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  Outcome first = parse_once(table, arguments);
  Outcome second = parse_once(table, arguments);
  if (!(first == second)) __builtin_trap();
  return 0;
}
