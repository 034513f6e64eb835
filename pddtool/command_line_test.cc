// The command line: usage errors and their status, the files each subcommand reads
// and writes, and the real program's streams and exit statuses.
#include "pddtool/command_line.h"

#include <gtest/gtest.h>

#include "pdd/pdd_writer.h"
#include "tests/support/program.h"

namespace pddtool {
namespace {

constexpr const char* kSource = "- ddd: d1\n  transport: network\n";

TEST(CommandLineTest, UsageErrors) {
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{}, "no subcommand (compile, decompile, check or settings); see 'pddtool -h'"},
      {{"build"}, "unknown subcommand 'build'; see 'pddtool -h'"},
      {{"compile"}, "compile takes one SOURCE; usage: pddtool compile SOURCE [-o FILE.b]"},
      {{"compile", "a.yaml", "b.yaml"},
       "compile takes one SOURCE; usage: pddtool compile SOURCE [-o FILE.b]"},
      {{"compile", "a.yaml", "-x"},
       "unknown option '-x'; usage: pddtool compile SOURCE [-o FILE.b]"},
      {{"compile", "a.yaml", "-o"},
       "option -o needs an argument; usage: pddtool compile SOURCE [-o FILE.b]"},
      {{"compile", "a.b"},
       "the output a.b would replace the source; name another with -o; usage: pddtool compile "
       "SOURCE [-o FILE.b]"},
      {{"check", "a.yaml", "-o", "a.b"}, "unknown option '-o'; usage: pddtool check SOURCE"},
      {{"decompile"}, "decompile takes one FILE.b; usage: pddtool decompile FILE.b [-o SOURCE]"},
      {{"settings"},
       "settings needs a FILE.b; usage: pddtool settings FILE.b [-s STREAM] [TAG=VALUE ...]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    CommandResult r = run_pddtool(c.args);
    EXPECT_EQ(r.status, EXIT_USAGE);
    EXPECT_EQ(r.err, "pddtool: " + c.err + "\n");
    EXPECT_EQ(r.out, "");
  }
  CommandResult help = run_pddtool({"-h"});
  EXPECT_EQ(help.status, EXIT_OK);
  EXPECT_EQ(help.out.substr(0, 43), "usage: pddtool compile SOURCE [-o FILE.b]\n ");
}

TEST(CommandLineTest, CompiledPathReplacesTheExtension) {
  const std::pair<std::string, std::string> cases[] = {
      {"laser.yaml", "laser.b"}, {"dir/laser.v2.yml", "dir/laser.v2.b"},
      {"laser", "laser.b"},      {"dir.d/laser", "dir.d/laser.b"},
      {".hidden", ".hidden.b"},
  };
  for (const auto& [source, compiled] : cases) EXPECT_EQ(compiled_path(source), compiled);
}

TEST(CommandLineTest, FilesReadAndWritten) {
  TempTree tree;
  std::string source = tree.write("p/laser.yaml", kSource);
  const std::string bytes = pddfile::PddWriter().add(pddfile::DddRecord{"d1", "network"}).bytes();

  EXPECT_EQ(run_pddtool({"compile", source}).status, EXIT_OK);
  EXPECT_EQ(tree.read("p/laser.b"), bytes);
  EXPECT_EQ(run_pddtool({"compile", "-o", tree.path("out.b"), source}).status, EXIT_OK);
  EXPECT_EQ(tree.read("out.b"), bytes);

  CommandResult shown = run_pddtool({"decompile", tree.path("out.b")});
  const std::string decompiled =
      "# PDD source of out.b, written by pddtool decompile.\n\n- ddd: d1\n  transport: network\n";
  EXPECT_EQ(shown.out, decompiled);
  EXPECT_EQ(run_pddtool({"decompile", tree.path("out.b"), "-o", tree.path("back.yaml")}).out, "");
  EXPECT_EQ(tree.read("back.yaml"), decompiled);
  EXPECT_EQ(run_pddtool({"check", tree.path("back.yaml")}).status, EXIT_OK);

  const struct {
    std::vector<std::string> args;
    std::string err;
  } failures[] = {
      {{"compile", tree.path("absent.yaml")},
       tree.path("absent.yaml") + ": No such file or directory"},
      {{"decompile", tree.path("p")}, tree.path("p") + ": not a regular file"},
      {{"compile", source, "-o", tree.path("no/such/dir.b")},
       tree.path("no/such/dir.b") + ": cannot write: No such file or directory"},
  };
  for (const auto& f : failures) {
    CommandResult r = run_pddtool(f.args);
    EXPECT_EQ(r.status, EXIT_BAD_INPUT);
    EXPECT_EQ(r.err, "pddtool: " + f.err + "\n");
  }
}

// The program prints what run_pddtool gives, on the right streams, and exits with
// its status.
TEST(CommandLineTest, ProgramStreamsAndStatuses) {
  TempTree tree;
  std::string source = tree.write("laser.yaml", kSource + std::string("- pdd: pcl\n"));
  RunResult compiled = run_program(PDDTOOL_PATH, {"compile", source});
  EXPECT_EQ(compiled.status, 0);
  EXPECT_EQ(compiled.out + compiled.err, "");
  RunResult listed = run_program(PDDTOOL_PATH, {"settings", tree.path("laser.b")});
  EXPECT_EQ(listed.status, 0);
  EXPECT_EQ(listed.out, "ds_list=pcl\n");
  RunResult refused = run_program(PDDTOOL_PATH, {"settings", tree.path("laser.b"), "x=1"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(refused.err, "pddtool: unknown option 'x' for data stream pcl\n");
  EXPECT_EQ(run_program(PDDTOOL_PATH, {}).status, 2);
}

}  // namespace
}  // namespace pddtool
