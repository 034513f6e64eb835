// Splitting the transport agent's command line without a shell.
#include "cups/agent_command.h"

#include <gtest/gtest.h>

namespace {

using Words = std::vector<std::string>;

TEST(AgentCommandTest, SplitsWhatTheBuilderWritesAndRefusesWhatOnlyAShellCouldRun) {
  const struct {
    std::string line;
    Words argv;
    std::string error;
  } cases[] = {
      {"/a/netfeeder -u al@h -n q1 -l /tmp/l -j \"\" 127.0.0.9\n",
       {"/a/netfeeder", "-u", "al@h", "-n", "q1", "-l", "/tmp/l", "-j", "", "127.0.0.9"},
       ""},
      // Job data as the builder quotes it: single quotes with '\'' inside, and the
      // title between double quotes with \ " $ ` escaped.
      {"/a/nf -u 'o'\\''b r'@h -n '' -j \"a \\\"b\\\" \\$HOME \\`x\\` \\\\ c\" h",
       {"/a/nf", "-u", "o'b r@h", "-n", "", "-j", "a \"b\" $HOME `x` \\ c", "h"},
       ""},
      {"/a/nf\t-j \"two\nlines\" h", {"/a/nf", "-j", "two\nlines", "h"}, ""},
      {"/a/nf x\\ y", {"/a/nf", "x y"}, ""},
      {"", {}, "the line is empty"},
      {"netfeeder h", {}, "the agent is not named by an absolute path"},
      {"/a/nf h; rm -rf /", {}, "';' outside quotes"},
      {"/a/nf $(id)", {}, "'$' outside quotes"},
      {"/a/nf \"$HOME\"", {}, "'$' between double quotes"},
      {"/a/nf \"`id`\"", {}, "'`' between double quotes"},
      {"/a/nf h > /etc/x", {}, "'>' outside quotes"},
      {"/a/nf *", {}, "'*' outside quotes"},
      {"/a/nf ~root", {}, "'~' at the start of a word"},
      {"/a/nf 'open", {}, "a single quote is not closed"},
      {"/a/nf \"open", {}, "a double quote is not closed"},
      {"/a/nf h\\", {}, "a backslash ends the line"},
  };
  for (const auto& c : cases) {
    AgentCommand command = split_command_line(c.line);
    EXPECT_EQ(command.argv, c.argv) << c.line;
    EXPECT_EQ(command.error, c.error) << c.line;
  }
}

TEST(AgentCommandTest, AsksNetfeederAloneForItsRawNotifications) {
  const struct {
    Words argv, expected;
  } cases[] = {
      {{"/a/netfeeder", "-u", "x", "h"}, {"/a/netfeeder", "-r", "-u", "x", "h"}},
      {{"/a/netfeeder", "-r", "h"}, {"/a/netfeeder", "-r", "h"}},
      // A title "-r" is a value, not the flag.
      {{"/a/netfeeder", "-j", "-r", "h"}, {"/a/netfeeder", "-r", "-j", "-r", "h"}},
      {{"/a/parfeeder", "-d", "/dev/lp0"}, {"/a/parfeeder", "-d", "/dev/lp0"}},
  };
  for (const auto& c : cases) {
    Words argv = c.argv;
    add_raw_flag(argv);
    EXPECT_EQ(argv, c.expected) << c.argv[0];
  }
}

}  // namespace
