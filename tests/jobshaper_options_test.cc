// jobshaper's per-job overrides (-p) and banner pages (-b), run as a program.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "tests/jobshaper_fixture.h"

namespace {

// The part of a listing between `from` and the end of the line holding `to`.
std::string between(const std::string& text, const std::string& from, const std::string& to) {
  size_t start = text.find(from);
  if (start == std::string::npos) return "";
  size_t end = text.find(to, start);
  return end == std::string::npos ? text.substr(start)
                                  : text.substr(start, end + to.size() - start);
}

std::string row(const char* tag, const char* key, const char* old_value, const char* status) {
  char line[256];
  std::snprintf(line, sizeof line, "%-20s %-20s %-13s %s\n", tag, key, old_value, status);
  return line;
}

const std::string kDashes77(77, '-');
const std::string kDashes87(87, '-');

class OverrideTest : public JobshaperTest {};

TEST_F(OverrideTest, OverridesChangeTheSettingsOfOneJob) {
  std::string listing = tree.path("listing");
  RunResult r = run({"-q", "sample_pcl", "-t", listing, "-p",
                     "orientation=landscape resolution=2400x2400dpi copies=3 pitch=16.67 "
                     "nosuch=1  paper_size=legal copies=abc copies= trailing"},
                    {.input = "x"});
  EXPECT_EQ(r.status, 0) << r.err;
  std::string expected = sample_pcl_output("", "\"unknown\"", "\"unknown\"", "x");
  for (auto [from, to] : {std::pair{"PORTRAIT", "LANDSCAPE"},
                          {"COPIES = 1", "COPIES = 3"},
                          {"RESOLUTION = 600", "RESOLUTION = 2400"},
                          {"PITCH = 10", "PITCH = 16.67"}}) {
    expected.replace(expected.find(from), std::string(from).size(), to);
  }
  EXPECT_EQ(r.out, expected);
  // A number out of range is reported on standard error, never in the job.
  EXPECT_EQ(r.err, "The number is too small.\nUsing the smallest possible value instead: 1\n");
  EXPECT_EQ(
      between(read_file(listing), "\nCommand line options", kDashes87 + "\n\n"),
      "\nCommand line options have been specified as follows:\n\n"
      "OPTIONS STRING: orientation=landscape resolution=2400x2400dpi copies=3 "
      "pitch=16.67 nosuch=1  paper_size=legal copies=abc copies= trailing\n\n" +
          kDashes77 +
          "\nTag        DS + Tag            Old value      New Value      Staus of Command\n" +
          kDashes77 + "\n" +
          row("orientation", "pcl_orientation", "portrait", "landscape      Value changed.") +
          row("resolution", "pcl_resolution", "600", "2400_IQ        Value changed.") +
          row("copies", "pcl_copies", "1", "3              Value changed.") +
          row("pitch", "pcl_pitch", "10.00", "16.67          Value changed.") +
          row("nosuch", "pcl_nosuch", "1", "-- IGNORED --  Invalid Tag") +
          row(" paper_size", "pcl_ paper_size", "legal", "-- IGNORED --  Invalid Tag") +
          row("copies", "pcl_copies", "abc", "-- IGNORED --  Invalid Value") +
          row("copies", "pcl_copies", "", "-- IGNORED --  Invalid Value") + "\n" + kDashes87 +
          "\n\n");
}

TEST_F(OverrideTest, OverridesThatDoNotFitAreRefused) {
  // A value longer than its string option allows, or a number longer than its
  // option's width, is an invalid value; the job goes out with the queue's settings.
  PddWriter pdd;
  pdd.add(StringRecord{"Form", "pcl_form", "", "", "", "abc", "", "", "", "F:", 2, 4});
  pdd.add(NumberRecord{"Copies", "pcl_copies", "", "", "", "C$${pcl_copies}", "", 1, 0, 1, 99, 0});
  pdd.add(PddRecord{"pcl", "pcl_form,pcl_copies", "", "", "", "", "", "", 0, 0, 0});
  ASSERT_TRUE(pdd.save(tree.path(kPddDir + "fit.b")));
  write_queue("fit", "pdd=fit.b\nds_list=pcl\npcl_form=abc\npcl_copies=1\n");
  RunResult r = run({"-q", "fit", "-p", "form=abcde copies=001"}, {.input = "x"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "C1x");
  RunResult fits = run({"-q", "fit", "-p", "form=abcd copies=07"}, {.input = "x"});
  EXPECT_EQ(fits.out, "C7x");
}

class BannerTest : public JobshaperTest {
 protected:
  void SetUp() override {
    JobshaperTest::SetUp();
    base_ = read_file(system_vqd("sample_pcl"));
    base_.replace(base_.find("pcl_banner_page=no"), 18, "pcl_banner_page=yes");
    base_ += "printer_desc=Laser \"A\" $(x)\npcl_banner_paper_size=a4\n";
    tree.write(kBanners + "pcl_banner", "PCL BANNER\n");
    tree.write(kBanners + "ps_banner", "PS BANNER\n");
  }
  // The sample queue allowing banners, with extra lines.
  void banner_queue(const std::string& extra) { write_queue("bq", base_ + extra); }

  const std::string kBanners = "usr/quintaro/etc/banners/";
  // Prologue of a banner page on the sample queue, and its end.
  const std::string kPclPrologue =
      "\x1b%-12345X@PJL\n@PJL SET ORIENTATION = PORTRAIT\n@PJL SET PAPER = A4\n"
      "@PJL ENTER LANGUAGE = PCL\n\x1b"
      "E";
  const std::string kPclEnd =
      "\x1b"
      "E\x1b%-12345X";
  std::string base_;
};

TEST_F(BannerTest, BannerFilesAreCopiedBetweenPrologueAndEnd) {
  banner_queue("pcl_banner_file=pcl_banner\n");
  RunResult r = run({"-q", "bq", "-b", "-s", "T"}, {.input = "the job is not read"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, kPclPrologue + "PCL BANNER\n" + kPclEnd);

  // One blank in the chosen source falls back to the default source.
  banner_queue(
      "pcl_banner_file=pcl_banner\npcl_banner_print_default=no\n"
      "pcl_banner_other_file= \n");
  EXPECT_EQ(run({"-q", "bq", "-b"}).out, kPclPrologue + "PCL BANNER\n" + kPclEnd);

  // An absolute path is used as given.
  std::string elsewhere = tree.write("elsewhere/banner", "ELSEWHERE\n");
  banner_queue("pcl_banner_file=" + elsewhere + "\n");
  EXPECT_EQ(run({"-q", "bq", "-b"}).out, kPclPrologue + "ELSEWHERE\n" + kPclEnd);
}

TEST_F(BannerTest, BannerTypeChoosesTheStreamOfTheBanner) {
  banner_queue("banner_type=ps\nps_banner_file=ps_banner\npcl_banner_file=pcl_banner\n");
  RunResult r = run({"-q", "bq", "-b"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "\x1b%-12345X@PJL\n@PJL SET ORIENTATION = PORTRAIT\n@PJL SET PAPER = A4\n"
            "@PJL ENTER LANGUAGE = POSTSCRIPT\nPS BANNER\n\x04\x1b%-12345X");
}

TEST_F(BannerTest, BannerProgramsGetSevenArgumentsAndGiveTheStatus) {
  std::string args = tree.path("args");
  tree.write(kBanners + "prog",
             "#!/bin/sh\nprintf '%s\\0' \"$@\" > " + args + "\nprintf 'PROGRAM'\nexit 3\n", 0755);
  banner_queue("pcl_banner_file=prog\npcl_execute_banner=yes\n");
  std::string listing = tree.path("listing");
  RunResult r =
      run({"-q", "bq", "-b", "-u", "bob", "-s", "My \"Job\" $(rm -rf x); `y`", "-t", listing});
  EXPECT_EQ(r.status, 3) << r.err;
  EXPECT_EQ(r.out, kPclPrologue + "PROGRAM" + kPclEnd);
  std::string expected_args = std::string("My \"Job\" $(rm -rf x); `y`") + '\0' + "bob" + '\0' +
                              "-" + '\0' + "bq" + '\0' + "Laser \"A\" $(x)" + '\0' + "a4" + '\0' +
                              "en_US" + '\0';
  EXPECT_EQ(read_file(args), expected_args);
  std::string text = read_file(listing);
  EXPECT_NE(text.find("\tRun the following command:\n\t\t" + tree.path(kBanners + "prog") +
                      " \"My \"Job\" $(rm -rf x); `y`\" bob - bq \"Laser \"A\" $(x)\" a4 en_US\n"),
            std::string::npos);
  EXPECT_NE(text.find("return code from banner program = 3\nformatter exit code             = 3\n"),
            std::string::npos);

  // Missing values are given as "-", a missing locale as "en".
  banner_queue("pcl_banner_file=prog\npcl_execute_banner=yes\nlocale=\npcl_banner_paper_size=\n");
  EXPECT_EQ(run({"-q", "bq", "-b"}).status, 3);
  EXPECT_EQ(read_file(args), std::string("-\0-\0-\0bq\0Laser \"A\" $(x)\0-\0en\0", 29));
}

TEST_F(BannerTest, ABannerProgramKilledBySignalIsAFailure) {
  tree.write(kBanners + "prog", "#!/bin/sh\nkill -TERM $$\n", 0755);
  banner_queue("pcl_banner_file=prog\npcl_execute_banner=yes\n");
  std::string listing = tree.path("listing");
  RunResult r = run({"-q", "bq", "-b", "-t", listing});
  EXPECT_EQ(r.status, 128 + SIGTERM);
  EXPECT_NE(read_file(listing).find("return code from banner program = 143\n"), std::string::npos);
}

TEST_F(BannerTest, RefusedBanners) {
  std::string prog = tree.write(kBanners + "prog", "#!/bin/sh\necho no\n", 0655);
  std::string banners = tree.path(kBanners);
  // A link's own permissions say nothing: those of the program it names count.
  ASSERT_EQ(symlink(prog.c_str(), (banners + "link").c_str()), 0);
  struct Case {
    std::string extra;
    std::string out;
    std::string err;
  };
  const Case cases[] = {
      {"pcl_banner_file=sub/pcl_banner\n", "",
       "\n" + kProgram +
           ": Banner File name Error!\n\nBanner Program : sub/pcl_banner\n\n"
           "The banner program is not a fully qualified path and has a '/' in it.\n"
           "Sorry banner Page will NOT be printed.\n\n"},
      {"pcl_banner_file=missing\n", "",
       "\n" + kProgram + ": '" + banners + "missing' 1. File not found\n\n"},
      {"", "", "\n" + kProgram + ": '" + banners + "' 1. File not found\n\n"},
      {"pcl_banner_file=/no/such/banner\n", kPclPrologue,
       "\n" + kProgram +
           " : Banner File '/no/such/banner' not found\nNo Banner page to print. "
           "Bye.\n\nSorry there is no banner Page to print.\n\n"},
      {"pcl_banner_file=/no/such/banner\npcl_execute_banner=yes\n", kPclPrologue,
       "\n" + kProgram + ": '/no/such/banner' 2. File not found\n\n"},
      // Others may execute it, but its owner may not: refused.
      {"pcl_banner_file=prog\npcl_execute_banner=yes\n", kPclPrologue,
       "\n" + kProgram + " : No execute permissions on " + prog +
           "\nSorry banner Page will NOT be printed.\n\n"},
      {"pcl_banner_file=link\npcl_execute_banner=yes\n", kPclPrologue,
       "\n" + kProgram + " : No execute permissions on " + banners +
           "link\nSorry banner Page will NOT be printed.\n\n"},
      // A banner file that cannot be read to its end still gets its end of job.
      {"pcl_banner_file=" + banners + "\n", kPclPrologue + kPclEnd,
       "\n" + kProgram + ": Error reading the banner file: Is a directory\n\n"},
  };
  for (const Case& c : cases) {
    banner_queue(c.extra);
    RunResult r = run({"-q", "bq", "-b"});
    EXPECT_EQ(r.status, 255) << c.extra;
    EXPECT_EQ(r.out, c.out) << c.extra;
    EXPECT_EQ(r.err, c.err) << c.extra;
  }
}

// A user's own definition keeps its settings and banner files of the banner
// directory, but cannot make the formatter read a file or run a program elsewhere.
TEST_F(BannerTest, PerUserDefinitionsStayInsideTheSuitesDirectories) {
  tree.write(kBanners + "prog", "#!/bin/sh\necho PROGRAM\n", 0755);
  tree.write("elsewhere/x.b", read_file(tree.path(kPddDir + "generic_pcl.b")));
  const std::string user_vqd = tree.path("root/.quintaro/vir_queues/bq/.bq");
  const std::string file_error = "\n" + kProgram + ": Banner File name Error!\n\nBanner Program : ";
  const std::string sorry = "Sorry banner Page will NOT be printed.\n\n";
  struct Case {
    std::string extra;
    int status;
    std::string out;
    std::string err;
  };
  const Case cases[] = {
      {"pcl_banner_file=pcl_banner\n", 0, kPclPrologue + "PCL BANNER\n" + kPclEnd, ""},
      {"pcl_banner_file=" + tree.path("elsewhere/x.b") + "\n", 255, "",
       file_error + tree.path("elsewhere/x.b") + "\n\nA user's own queue definition may only " +
           "name a banner file of the banner directory.\n" + sorry},
      {"pcl_banner_file=prog\npcl_execute_banner=yes\n", 255, "",
       "\n" + kProgram + ": Banner Program Error!\n\nBanner Program : prog\n\n" +
           "A user's own queue definition may not run a banner program.\n" + sorry},
      {"pcl_banner_file=pcl_banner\npdd=../../../../../elsewhere/x.b\n", 255, "",
       "\n" + kProgram +
           ": Virtual Queue Definition File Error!\n\nReason:\n"
           "\t- The user's own queue definition names the PDD [ ../../../../../elsewhere/x.b ].\n"
           "\t- A user's queue definition may only name a PDD file without a '/'.\n"
           "\nSolution:\n\t- Correct the 'pdd' field of " +
           user_vqd + ".\n\n"},
  };
  for (const Case& c : cases) {
    tree.write("root/.quintaro/vir_queues/bq/.bq", base_ + c.extra);
    RunResult r = run({"-q", "bq", "-b", "-u", "root"});
    EXPECT_EQ(r.status, c.status) << c.extra;
    EXPECT_EQ(r.out, c.out) << c.extra;
    EXPECT_EQ(r.err, c.err) << c.extra;
    // The same lines in the system's definition are the administrator's to choose.
    banner_queue(c.extra);
    EXPECT_EQ(run({"-q", "bq", "-b"}).status, 0) << c.extra;
  }
}

}  // namespace

namespace {

TEST_F(BannerTest, TitlesAreConvertedForTheQueuesLocale) {
  // "Nihon" in EUC-JP becomes UTF-8 in the job-name command, and Shift-JIS for a
  // banner program.
  const std::string euc = "\xc6\xfc\xcb\xdc", utf8 = "\xe6\x97\xa5\xe6\x9c\xac",
                    sjis = "\x93\xfa\x96\x7b";
  std::string vqd = read_file(system_vqd("sample_pcl"));
  vqd.replace(vqd.find("locale=en_US"), 12, "locale=ja_JP.eucJP");
  write_queue("ja", vqd);
  RunResult job = run({"-q", "ja", "-s", euc}, {.input = "x"});
  EXPECT_EQ(job.out, sample_pcl_output("\"" + utf8 + "\"", "\"unknown\"", "\"unknown\"", "x"));

  // A UTF-8 title goes to code page 850, unless a line of the queue's definition
  // marks its texts as UTF-8 already.
  vqd.replace(vqd.find("locale=ja_JP.eucJP"), 18, "locale=en_US.UTF-8");
  for (auto [marker, title] :
       {std::pair{"", "\"caf\x82\""}, {"codeset=STRINGCODESET_UTF8\n", "\"caf\xc3\xa9\""}}) {
    write_queue("utf", vqd + marker);
    EXPECT_EQ(run({"-q", "utf", "-s", "caf\xc3\xa9"}, {.input = "x"}).out,
              sample_pcl_output(title, "\"unknown\"", "\"unknown\"", "x"));
  }

  std::string args = tree.path("args");
  tree.write(kBanners + "prog", "#!/bin/sh\nprintf '%s' \"$1\" > " + args + "\n", 0755);
  banner_queue("locale=ja_JP.eucJP\npcl_banner_file=prog\npcl_execute_banner=yes\n");
  RunResult banner = run({"-q", "bq", "-b", "-s", euc});
  EXPECT_EQ(banner.status, 0) << banner.err;
  EXPECT_EQ(read_file(args), sjis);
}

}  // namespace
