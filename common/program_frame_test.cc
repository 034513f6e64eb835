// The spool-side program frame: the option table, the -d/-t debug rule and the
// checks on definition files.
#include "common/program_frame.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "common/debug_trace.h"
#include "tests/support/capture.h"
#include "tests/support/program.h"

namespace {

const std::string kUsage = "\nUSAGE:\n    demo -q name\n\nTry 'demo -H' for more information\n\n";

TEST(ProgramFrame, OptionsAndTheDebugRule) {
  struct Case {
    std::vector<const char*> args;
    DebugRule rule;
    int parsed;     // what parse gives
    bool accepted;  // what apply_debug_rule gives
    int level;      // the debug number afterwards
    std::string err;
  };
  TempTree tree;
  const std::string debug_path = tree.path("debug");
  const char* debug_file = debug_path.c_str();
  const Case cases[] = {
      {{"-q", "x"}, DebugRule::ANY_NUMBER_NEEDS_FILE, -1, true, 0, ""},
      {{"-z"},
       DebugRule::ANY_NUMBER_NEEDS_FILE,
       9,
       true,
       0,
       "demo: invalid option -- 'z'\n" + kUsage},
      {{"-q"},
       DebugRule::ANY_NUMBER_NEEDS_FILE,
       9,
       true,
       0,
       "demo: option requires an argument -- 'q'\n" + kUsage},
      {{"-s", "-q", "x"}, DebugRule::ANY_NUMBER_NEEDS_FILE, 7, true, 0, ""},  // -s stops
      {{"-d", "0"}, DebugRule::ANY_NUMBER_NEEDS_FILE, -1, false, 0, kUsage + "need -t\n"},
      {{"-d", "0"}, DebugRule::NONZERO_NUMBER_NEEDS_FILE, -1, true, 0, ""},
      {{"-d", "4"}, DebugRule::NONZERO_NUMBER_NEEDS_FILE, -1, false, 4, kUsage + "need -t\n"},
      {{"-t", debug_file}, DebugRule::ANY_NUMBER_NEEDS_FILE, -1, true, DEBUG_LISTING, ""},
      {{"-t", debug_file, "-d", "4"}, DebugRule::ANY_NUMBER_NEEDS_FILE, -1, true, 4, ""},
  };
  for (const Case& c : cases) {
    std::string name;
    for (const char* a : c.args) name += std::string(" ") + a;
    DebugTrace saved = debug_trace();
    {
      ProgramFrame frame("demo", "    demo -q name\n", 'H', 9);
      std::vector<char*> argv = {const_cast<char*>("demo")};
      for (const char* a : c.args) argv.push_back(const_cast<char*>(a));
      argv.push_back(nullptr);
      const std::vector<ProgramOption> options = {
          {'q', true, [](const char*) { return -1; }},
          {'s', false, [](const char*) { return 7; }},
          {'d', true,
           [&](const char* number) {
             frame.set_debug_number(number);
             return -1;
           }},
          {'t', true, [&](const char* file) { return frame.open_debug_file(file) ? -1 : 8; }},
      };
      StderrCapture err;
      EXPECT_EQ(frame.parse(static_cast<int>(argv.size()) - 1, argv.data(), options), c.parsed)
          << name;
      if (c.parsed == -1) {
        EXPECT_EQ(frame.apply_debug_rule(c.rule, "need -t\n"), c.accepted) << name;
      }
      EXPECT_EQ(debug_trace().level, c.level) << name;
      EXPECT_EQ(err.text(), c.err) << name;
    }
    EXPECT_EQ(debug_trace().file, saved.file) << name;  // closed with the frame
    debug_trace() = saved;
  }
}

TEST(ProgramFrame, ParsesAfreshAfterAParseThatStoppedInsideAGroup) {
  ProgramFrame frame("demo", "    demo -q name\n", 'H', 9);
  std::string applied;
  const std::vector<ProgramOption> options = {
      {'q', true,
       [&](const char* name) {
         applied += std::string("q=") + name;
         return -1;
       }},
      {'s', false, [](const char*) { return 7; }},
  };
  std::vector<std::string> stopped = {"demo", "-sq", "x"};
  std::vector<std::string> next = {"demo", "-q", "y"};
  for (auto* args : {&stopped, &next}) {
    std::vector<char*> argv;
    for (std::string& a : *args) argv.push_back(a.data());
    argv.push_back(nullptr);
    frame.parse(static_cast<int>(args->size()), argv.data(), options);
  }
  // Not "q=-q": the -q of the stopped group is not taken up by the next parse.
  EXPECT_EQ(applied, "q=y");
}

TEST(ProgramFrame, DefinitionFilesAreRegularFilesThatOpen) {
  TempTree tree;
  std::string file = tree.write("queue", "");
  for (const auto& [path, opens] : {std::pair{file, true}, std::pair{tree.root(), false},
                                    std::pair{file + ".missing", false}}) {
    FILE* opened = open_definition_file(path);
    EXPECT_EQ(opened != nullptr, opens) << path;
    if (opened) std::fclose(opened);
  }
}

}  // namespace
