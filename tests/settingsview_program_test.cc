// Runs the built settingsview against temporary trees and checks the exact
// listing on standard output, the messages on standard error and the status.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "pdd/pdd_writer.h"
#include "tests/support/program.h"

namespace {

using namespace pddfile;

const std::string kProgram = SETTINGSVIEW_PATH;
const std::string kUsage =
    "\nUSAGE:\n"
    "    settingsview -q name [-b] [-c] [-j] [-l] [-w number]\n"
    "    settingsview -f name [-b] [-c] [-j] [-l] [-w number]\n"
    "    settingsview -h\n"
    "\nTry 'settingsview -h' for more information\n\n";
const std::string kQueues = "var/spool/printer/unix_prt_drivers/vir_queues/";
const std::string kPddDir = "usr/quintaro/etc/printers/bin/";
const std::string kDashes = "-----------------------------------------------------------\n";
const std::string kJobHeading =
    "\n--------------------------\n\tJob Options\n--------------------------\n";
const std::string kBannerHeading =
    "--------------------------\n\tBanner Options\n--------------------------\n";
const std::string kIndent(26, ' ');

std::string section(const std::string& title) {
  return kDashes + " >>>>>>          " + title + "          <<<<<<\n" + kDashes;
}
std::string model(const std::string& name) { return "\nPrinter Model : " + name + " \n\n"; }

SclistItemRecord choice(const std::string& value) { return {value + " label", "", value, "", ""}; }

class SettingsviewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(tree.path(kPddDir));
    // One data stream with a list, a text and a number option; the list's
    // choices are long enough to wrap at small widths.
    PddWriter pdd;
    pdd.add(SclistRecord{"Paper",
                         "pcl_paper",
                         "",
                         "",
                         2,
                         {choice("letter"), choice("legal"), choice("a4"), choice("executive"),
                          choice("envelope")}});
    pdd.add(StringRecord{"Title", "pcl_title", "", "", "", "x", "", "", "", "", 0, 10});
    pdd.add(NumberRecord{"Copies", "pcl_copies", "", "", "", "", "", 1, 0, 1, 999, 0});
    pdd.add(SclistRecord{"Banner", "pcl_banner_page", "", "", 0, {choice("yes"), choice("no")}});
    pdd.add(PddRecord{"pcl", "pcl_paper,pcl_title,pcl_copies", "pcl_paper", "", "", "", "", "", 0,
                      0, 0});
    ASSERT_TRUE(pdd.save(tree.path(kPddDir + "one.b")));
    write_queue("q1", "pdd=one.b\nds_list=pcl\nprinter_type=Model One\n");

    // Every data stream name, each without options, in an order of its own.
    PddWriter streams;
    for (const char* ds : {"pcl", "gl", "zt", "other", "ps", "forms", "ppds"}) {
      streams.add(PddRecord{ds, "none", "", "", "", "", "", "", 0, 0, 0});
    }
    ASSERT_TRUE(streams.save(tree.path(kPddDir + "streams.b")));
  }

  RunResult run(const std::vector<std::string>& args) {
    return run_program(kProgram, args, {.env = {"QUINTARO_ROOT=" + tree.root()}});
  }
  std::string write_queue(const std::string& name, const std::string& vqd) {
    return tree.write(kQueues + name + "/." + name, vqd);
  }

  TempTree tree;
};

// The job section of q1 with the paper list as `paper` and the other two
// options as `rest`.
std::string q1_listing(const std::string& paper, const std::string& rest) {
  return model("Model One") + section("PCL Emulation options") + kJobHeading + paper + "\n\n" +
         rest;
}
const std::string kQ1Rest =
    "title                     (default)\n\n"
    "copies                    ( min = 1,  max = 999, default = 1) \n\n";

TEST_F(SettingsviewTest, ListsTheQueueOptionsInEachFormat) {
  const std::string name = "paper                     ";
  // Below a width of 26 every choice starts a line of its own.
  const std::string every_line = name + "\n" + kIndent + "letter, \n" + kIndent + "legal, \n" +
                                 kIndent + "a4 (default), \n" + kIndent + "executive, \n" +
                                 kIndent + "envelope";
  struct Case {
    std::vector<std::string> args;
    std::string out;
  };
  const Case cases[] = {
      {{"-q", "q1"},
       q1_listing(name + "letter, legal, a4 (default), executive, envelope", kQ1Rest)},
      // The last of -q, -P and -d names the queue.
      {{"-q", "nosuch", "-P", "nosuch", "-d", "q1"},
       q1_listing(name + "letter, legal, a4 (default), executive, envelope", kQ1Rest)},
      // The running column: a choice that reaches the limit (width - 26) starts a
      // new line, and the column then holds that choice alone.
      {{"-q", "q1", "-w", "56"},
       q1_listing(name + "letter, legal, a4 (default), \n" + kIndent + "executive, envelope",
                  kQ1Rest)},
      {{"-q", "q1", "-w", "55"},
       q1_listing(name + "letter, legal, \n" + kIndent + "a4 (default), executive, \n" + kIndent +
                      "envelope",
                  kQ1Rest)},
      {{"-q", "q1", "-w", "10"}, q1_listing(every_line, kQ1Rest)},
      {{"-q", "q1", "-w", "-2147483648"}, q1_listing(every_line, kQ1Rest)},
      {{"-q", "q1", "-l"},
       q1_listing(name + "\n" + kIndent + "letter\n" + kIndent + "legal\n" + kIndent +
                      "a4 (default)\n" + kIndent + "executive\n" + kIndent + "envelope",
                  kQ1Rest)},
      {{"-q", "q1", "-c"},
       q1_listing("paper=letter:legal:*a4:executive:envelope",
                  "title                     (default)\n\ncopies=1-999:1\n\n")},
  };
  for (const Case& c : cases) {
    RunResult r = run(c.args);
    EXPECT_EQ(r.status, 0) << testing::PrintToString(c.args) << r.err;
    EXPECT_EQ(r.err, "") << testing::PrintToString(c.args);
    EXPECT_EQ(r.out, c.out) << testing::PrintToString(c.args);
  }
}

TEST_F(SettingsviewTest, BannerSectionFollowsTheJobSection) {
  const std::string paper =
      "paper                     letter, legal, a4 (default), executive, envelope\n\n";
  // The banner page, banner file and execute banner options come first; this PDD
  // has only the first.
  const std::string banner = kBannerHeading + "banner_page               yes (default), no\n\n" +
                             "\n\n\n\n" + paper + kQ1Rest;
  const std::string job_part = kJobHeading + paper + kQ1Rest;
  const std::string head = model("Model One") + section("PCL Emulation options");

  RunResult only_banner = run({"-q", "q1", "-b"});
  EXPECT_EQ(only_banner.status, 0) << only_banner.err;
  EXPECT_EQ(only_banner.out, head + banner);

  RunResult both = run({"-q", "q1", "-b", "-j"});
  EXPECT_EQ(both.status, 0) << both.err;
  EXPECT_EQ(both.out, head + job_part + banner);

  write_queue("none_q", "pdd=streams.b\nds_list=gl\nprinter_type=\n");
  RunResult none = run({"-q", "none_q", "-j", "-b"});
  EXPECT_EQ(none.status, 0) << none.err;
  EXPECT_EQ(none.out, model("") + section("GL options") +
                          "\nThere are no JOB options for this emulation.\n\n"
                          "\nThere are no BANNER options for this emulation.\n\n");
}

TEST_F(SettingsviewTest, DataStreamListChoosesTheSections) {
  const std::string none = "\nThere are no JOB options for this emulation.\n\n";
  const std::string pcl = section("PCL Emulation options") + none;
  const std::string ps = section("PostScript options") + none;
  const std::string zt = section("Tessaly or PDF options") + none;
  struct Case {
    std::string ds_list;
    std::string sections;
  };
  // The PDD holds pcl, gl, zt, other, ps, forms, ppds in this order.
  const Case cases[] = {
      {"automatic", pcl + ps},
      {"automatic_plus", pcl + zt + ps},
      {"forms", section("Vexa Forms options") + none},
      {"pdf", ""},
      {"passthrough", ""},
      {"other", ""},
  };
  for (const Case& c : cases) {
    write_queue("s", "pdd=streams.b\nprinter_type=Streams\nds_list=" + c.ds_list + "\n");
    RunResult r = run({"-q", "s"});
    EXPECT_EQ(r.status, 0) << c.ds_list << r.err;
    EXPECT_EQ(r.out, model("Streams") + c.sections) << c.ds_list;
  }

  // A PDD named directly lists every data stream that has a section, and no
  // printer model.
  RunResult all = run({"-f", "streams"});
  EXPECT_EQ(all.status, 0) << all.err;
  EXPECT_EQ(all.out, pcl + section("GL options") + none + zt + ps + section("Vexa Forms options") +
                         none + section("PPDS options") + none);
}

TEST_F(SettingsviewTest, OptionsAreFoundByTagWhateverTheirShape) {
  PddWriter pdd;
  pdd.add(SclistRecord{"", "plain", "", "", 0, {choice("a"), choice("b")}});
  pdd.add(SclistRecord{"", "zt_two_parts", "", "", 5, {choice("a")}});  // default out of range
  pdd.add(SclistRecord{"", "zt_empty", "", "", 0, {}});
  pdd.add(MenuRecord{"", "zt_menu", "", "", "", {"plain"}});
  pdd.add(
      StringRecord{"", "zt_a_very_long_option_name_indeed", "", "", "", "x", "", "", "", "", 0, 5});
  pdd.add(PddRecord{"zt",
                    ",plain,,zt_two_parts,zt_empty,zt_menu,zt_missing,"
                    "zt_a_very_long_option_name_indeed",
                    "", "", "", "", "", "", 0, 0, 0});
  ASSERT_TRUE(pdd.save(tree.path(kPddDir + "shapes.b")));
  RunResult r = run({"-f", "shapes"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, section("Tessaly or PDF options") + kJobHeading +
                       "plain                     a (default), b\n\n"
                       "two_parts                 a\n\n"
                       "empty                     \n\n"
                       "\n\n"  // a menu is not an option
                       "\n\n"  // no such node
                       "a_very_long_option_name_indeed (default)\n\n");
}

TEST_F(SettingsviewTest, Errors) {
  write_queue("no_pdd", "ds_list=pcl\n");
  write_queue("gone", "pdd=gone.b\nds_list=pcl\n");
  write_queue("dangling", "pdd=dangling.b\nds_list=pcl\n");
  ASSERT_EQ(symlink("nowhere.b", tree.path(kPddDir + "dangling.b").c_str()), 0);
  const std::string vqd = tree.path(kQueues + "nosuch/.nosuch");
  const std::string dangling = tree.path(kPddDir + "dangling.b");
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const Case cases[] = {
      {{}, kUsage},
      {{"-r", "-q", "q1"}, kUsage},
      {{"-z"}, kProgram + ": invalid option -- 'z'\n" + kUsage},
      {{"-q", "q1", "-f", "one"},
       kUsage + "Options [ -d|-f ] are mutually exclusive, use one option only.\n\n"},
      {{"-q", "nosuch"}, kUsage + "ERROR: Queue Name [ nosuch ] does not exist.\n\n"},
      {{"-d", "q1", "-P", "nosuch"}, kUsage + "ERROR: Queue Name [ nosuch ] does not exist.\n\n"},
      {{"-x", "-q", "nosuch"},
       kUsage + "ERROR: Queue Name [ nosuch ] does not exist.\n\n" + "settingsview: '" + vqd +
           "' File not found\n\n"},
      // An empty name leads to the queues directory itself, which is no queue.
      {{"-q", ""}, kUsage + "ERROR: Queue Name [  ] does not exist.\n\n"},
      {{"-q", "no_pdd"},
       "\n\nsettingsview:  ERROR\n\tMissing 'pdd' field in " +
           tree.path(kQueues + "no_pdd/.no_pdd") + "\n\n"},
      {{"-q", "gone"}, kUsage + "ERROR: PDD File [ gone.b ] does not exist.\n\n"},
      {{"-f", "gone", "-x"},
       kUsage + "ERROR: PDD File [ gone ] does not exist.\n\n" + "settingsview: '" +
           tree.path(kPddDir + "gone.b") + "' File not found\n\n"},
      // The link exists, so the reader is asked and fails to open it.
      {{"-q", "dangling"},
       "ERROR !! \nAn error has occurred while trying to read : " + dangling + "\nCan't open [ " +
           dangling +
           " ] for reading.\n\n\nsettingsview:  ERROR\n"
           "\nPossible reasons:\n\t- File not found: " +
           dangling +
           ".\n"
           "\t- The above file name is misspelled in the virtual queue "
           "file.\n\t- The above file may be corrupt.\n"},
  };
  for (const Case& c : cases) {
    RunResult r = run(c.args);
    EXPECT_EQ(r.status, 255) << testing::PrintToString(c.args);
    EXPECT_EQ(r.err, c.err) << testing::PrintToString(c.args);
    EXPECT_EQ(r.out, "") << testing::PrintToString(c.args);
  }
}

TEST_F(SettingsviewTest, HelpGoesToStandardErrorAndFails) {
  RunResult r = run({"-h", "-q", "q1"});
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err.rfind("\nsettingsview\n    Lists the printer queue settings defined in the "
                        "printer definition\n",
                        0),
            0u);
  EXPECT_NE(r.err.find("\n    -w number\n       Specify the number of columns to be shown.  "
                       "Specifying 100 shows\n       100 columns of text. The default width "
                       "value is 79.\n"),
            std::string::npos);
}

}  // namespace
