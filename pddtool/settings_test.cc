// The settings subcommand: the queue definition lines of a compiled PDD, values
// given in place of defaults, and one exact line for each value refused.
#include <gtest/gtest.h>

#include "pdd/pdd_writer.h"
#include "pddtool/command_line.h"
#include "tests/support/program.h"

namespace pddtool {
namespace {

using namespace pddfile;

std::string two_stream_pdd() {
  PddWriter w;
  w.add(SclistRecord{"Orientation",
                     "pcl_orientation",
                     "",
                     "",
                     0,
                     {{"", "", "portrait", "P", ""}, {"", "", "landscape", "L", ""}}});
  w.add(NumberRecord{"Copies", "pcl_copies", "", "", "", "", "", 1, 0, 1, 999, 0});
  w.add(NumberRecord{"Pitch", "pcl_pitch", "", "", "", "", "", 1000, 2, 44, 9999, 0});
  w.add(StringRecord{"Form", "pcl_form", "", "", "", "abc", "x", "-", "", "", 2, 4});
  w.add(MenuRecord{"", "pcl_menu", "", "", "", {"pcl_copies"}});
  w.add(SclistRecord{"",
                     "ps_orientation",
                     "",
                     "",
                     1,
                     {{"", "", "portrait", "", ""}, {"", "", "landscape", "", ""}}});
  w.add(PddRecord{"pcl", "pcl_copies", "", "", "", "", "", "", 0, 0, 0});
  w.add(PddRecord{"ps", "ps_orientation", "", "", "", "", "", "", 0, 0, 0});
  return w.bytes();
}

TEST(SettingsTest, DefaultsValuesAndRefusals) {
  const std::string pcl = "pcl_orientation=portrait\npcl_copies=1\npcl_pitch=10.00\npcl_form=abc\n";
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out;
    std::string err;
  } cases[] = {
      {{}, EXIT_OK, "ds_list=automatic\n" + pcl + "ps_orientation=landscape\n", ""},
      {{"-s", "pcl"}, EXIT_OK, "ds_list=pcl\n" + pcl, ""},
      {{"-s", "pcl", "copies=3", "pcl_orientation=landscape", "form=ab-c", "pitch=12.50",
        "copies=4"},
       EXIT_OK,
       "ds_list=pcl\npcl_orientation=landscape\npcl_copies=4\npcl_pitch=12.50\npcl_form=ab-c\n",
       ""},
      {{"-s", "automatic", "orientation=portrait"},
       EXIT_OK,
       "ds_list=automatic\n" + pcl + "ps_orientation=portrait\n",
       ""},
      {{"-s", "pcl", "orientation=sideways"},
       EXIT_BAD_INPUT,
       "",
       "pddtool: invalid value 'sideways' for pcl_orientation: choices are portrait, landscape\n"},
      {{"-s", "pcl", "copies=1000"},
       EXIT_BAD_INPUT,
       "",
       "pddtool: invalid value '1000' for pcl_copies: range 1 to 999\n"},
      {{"-s", "pcl", "copies=0001"},
       EXIT_BAD_INPUT,
       "",
       "pddtool: invalid value '0001' for pcl_copies: range 1 to 999, in at most 3 characters\n"},
      {{"-s", "pcl", "pitch=0.1"},
       EXIT_BAD_INPUT,
       "",
       "pddtool: invalid value '0.1' for pcl_pitch: range 0.44 to 99.99\n"},
      {{"-s", "pcl", "form=a+b"},
       EXIT_BAD_INPUT,
       "",
       "pddtool: invalid value 'a+b' for pcl_form: allowed are letters and the characters \"-\" "
       "except \"x\", at most 4 characters\n"},
      {{"-s", "pcl", "form=a\nb"},
       EXIT_BAD_INPUT,
       "",
       "pddtool: invalid value for pcl_form: a queue definition holds no line breaks\n"},
      {{"-s", "pcl", "copies=2", "duplex=on"},
       EXIT_BAD_INPUT,
       "",
       "pddtool: unknown option 'duplex' for data stream pcl\n"},
      {{"-s", "pcl", "ps_orientation=portrait"},
       EXIT_BAD_INPUT,
       "",
       "pddtool: unknown option 'ps_orientation' for data stream pcl\n"},
      {{"-s", "gl"},
       EXIT_BAD_INPUT,
       "",
       "pddtool: the PDD has no data stream 'gl'; its data streams are pcl, ps\n"},
      {{"-s", "pcl", "copies"},
       EXIT_USAGE,
       "",
       "pddtool: 'copies' is not TAG=VALUE; usage: pddtool settings FILE.b [-s STREAM] "
       "[TAG=VALUE ...]\n"},
  };
  TempTree tree;
  std::string pdd = tree.write("two.b", two_stream_pdd());
  for (const auto& c : cases) {
    std::vector<std::string> args = {"settings", pdd};
    args.insert(args.end(), c.args.begin(), c.args.end());
    SCOPED_TRACE(testing::PrintToString(args));
    CommandResult r = run_pddtool(args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
  }
}

TEST(SettingsTest, OnlyStreamIsChosenAndAPddWithoutStreamIsRefused) {
  TempTree tree;
  std::string one = tree.write(
      "one.b", PddWriter().add(PddRecord{"ps", "", "", "", "", "", "", "", 0, 0, 0}).bytes());
  std::string none = tree.write("none.b", "");
  EXPECT_EQ(run_pddtool({"settings", one}).out, "ds_list=ps\n");
  CommandResult r = run_pddtool({"settings", none});
  EXPECT_EQ(r.status, EXIT_BAD_INPUT);
  EXPECT_EQ(r.err, "pddtool: the PDD has no data stream\n");
}

}  // namespace
}  // namespace pddtool
