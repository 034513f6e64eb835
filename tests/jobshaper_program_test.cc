// Runs the built jobshaper against temporary trees and checks the exact bytes on
// standard output, the messages on standard error, the debug listing and the status.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "tests/jobshaper_fixture.h"

namespace {

using namespace pddfile;

TEST_F(JobshaperTest, FormatsTheSampleJobWithPrologueAndEndOfJob) {
  RunResult r = run({"-q", "sample_pcl", "-s", "Report", "-u", "alice", "-h", "ws1"},
                    {.input = "Hello, printer.\n"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, sample_pcl_output("\"Report\"", "\"alice\"", "\"ws1\"", "Hello, printer.\n"));
}

TEST_F(JobshaperTest, UnknownUserAndHostAreSentAsUnknown) {
  RunResult r = run({"-q", "sample_pcl"}, {.input = "x"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, sample_pcl_output("", "\"unknown\"", "\"unknown\"", "x"));
}

TEST_F(JobshaperTest, TitleComesFromWhicheverOfFileAndNameIsLast) {
  std::string job = tree.write("job.txt", "job body\n");
  RunResult name_last = run({"-q", "sample_pcl", "-f", job, "-s", "Named"});
  EXPECT_EQ(name_last.out,
            sample_pcl_output("\"Named\"", "\"unknown\"", "\"unknown\"", "job body\n"));
  RunResult file_last = run({"-q", "sample_pcl", "-s", "Named", "-f", job});
  EXPECT_EQ(file_last.out,
            sample_pcl_output("\"" + job + "\"", "\"unknown\"", "\"unknown\"", "job body\n"));
}

TEST_F(JobshaperTest, JobDataCannotInjectPrinterCommands) {
  // Quotes, control bytes, byte escapes and expressions in the title, user and host
  // reach the printer as plain characters inside the PJL line.
  RunResult r = run(
      {"-q", "sample_pcl", "-s", "a\"${10}@PJL RESET\n$${1+1}\xe9", "-u", "u${27}", "-h", "h\x7f"},
      {.input = "x"});
  EXPECT_EQ(r.status, 0) << r.err;
  // The queue's locale converts the title from Latin-1 to code page 850 first.
  EXPECT_EQ(r.out,
            sample_pcl_output("\"a ${10}@PJL RESET $${1+1}\x82\"", "\"u${27}\"", "\"h \"", "x"));
}

TEST_F(JobshaperTest, CommandLineErrors) {
  std::string missing = tree.path("no/such/file");
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const Case cases[] = {
      {{"-d", "2", "-q", "sample_pcl"},
       kUsage + "\nERROR: Specify a writable debug filename with the -t flag.\n"},
      {{"-x", "-q", "sample_pcl"}, kProgram + ": invalid option -- 'x'\n" + kUsage},
      {{"-q"}, kProgram + ": option requires an argument -- 'q'\n" + kUsage},
      {{"-q", "sample_pcl", "-f", missing},
       kUsage + "ERROR: Can't Open input file '" + missing + "'\n\n"},
      {{"-q", "sample_pcl", "-t", missing},
       "\n" + kProgram + ": Can't Open debug file '" + missing + "' for writing.\n\n"},
      {{}, kUsage},
      {{"-q", ""}, kUsage},
      {{"-q", "nosuch"}, kUsage + "ERROR: Printer Queue [ nosuch ] does not exist.\n\n"},
  };
  for (const Case& c : cases) {
    RunResult r = run(c.args);
    EXPECT_EQ(r.status, 255) << testing::PrintToString(c.args);
    EXPECT_EQ(r.err, c.err) << testing::PrintToString(c.args);
    EXPECT_EQ(r.out, "") << testing::PrintToString(c.args);
  }
}

TEST_F(JobshaperTest, HelpGoesToStandardErrorAndFails) {
  RunResult r = run({"-H"});
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(
      r.err.rfind("\njobshaper\n\nFormats print jobs according to printer queue settings.\n", 0),
      0u);
  for (const char* part :
       {"    jobshaper -q name [-f file] [-b] [-h host] [-p options] [-u user]\n",
        "\n    -d number\n       Specify the debug number. Valid options are 2 or 4.\n",
        "\n    -f\n       Specify the input filename.  Use the specified filename\n"
        "       instead of standard input data.\n",
        "    $ jobshaper -q test_pcl -f /etc/motd\n",
        "    $ jobshaper -q test_ps -f /etc/motd -b -u admin \\ \n"}) {
    EXPECT_NE(r.err.find(part), std::string::npos) << part;
  }
}

TEST_F(JobshaperTest, DefinitionErrorsExplainThemselves) {
  write_queue("no_ds", "pdd=generic_pcl.b\n");
  RunResult no_ds = run({"-q", "no_ds"});
  EXPECT_EQ(no_ds.status, 255);
  EXPECT_EQ(no_ds.err, "\n\n" + kProgram +
                           ": Virtual Queue Definition File Error!\n\nReason:\n"
                           "\t- Could not find data stream type.\n\t- Missing 'ds_list' field.\n"
                           "\nSolution:\n\t- Re-create the [ no_ds ] print queue.\n\n");

  // The data stream is chosen (and the job sniffed) before the PDD is looked for.
  write_queue("no_pdd", "ds_list=automatic\n");
  RunResult no_pdd = run({"-q", "no_pdd"}, {.input = "%!PS"});
  EXPECT_EQ(no_pdd.status, 255);
  EXPECT_EQ(no_pdd.err, "\n" + kProgram +
                            ": Virtual Queue Definition File Error!\n\nReason:\n"
                            "\t- Could not find pdd type.\n\t- Missing 'pdd' field.\n"
                            "\nSolution:\n\t- Re-create the [ no_pdd ] print queue.\n\n");
  EXPECT_EQ(no_pdd.out, "");

  write_queue("bad_pdd", "pdd=missing.b\nds_list=pcl\n");
  RunResult bad_pdd = run({"-q", "bad_pdd"});
  std::string path = tree.path(kPddDir + "missing.b");
  EXPECT_EQ(bad_pdd.status, 255);
  EXPECT_EQ(bad_pdd.err, "ERROR !! \nAn error has occurred while trying to read : " + path +
                             "\nCan't open [ " + path +
                             " ] for reading.\n"
                             "\nReason:\n\t- File not found: " +
                             path +
                             ".\n"
                             "\t- The above filename is misspelled, missing, or corrupt.\n"
                             "\nSolution:\n   - Recompile the missing.b file.\n"
                             "   - Ensure the virtual queue definition file exists and "
                             "references\n     the correct PDD file..\n\n");
  EXPECT_EQ(bad_pdd.out, "");

  // A FIFO without a writer neither holds the formatter nor passes for a PDD.
  ASSERT_EQ(mkfifo(tree.path(kPddDir + "fifo.b").c_str(), 0644), 0);
  write_queue("fifo_pdd", "pdd=fifo.b\nds_list=pcl\n");
  RunResult fifo = run({"-q", "fifo_pdd"});
  EXPECT_EQ(fifo.status, 255);
  EXPECT_EQ(fifo.err.rfind("ERROR !! \nAn error has occurred while trying to read : ", 0), 0u);
  EXPECT_EQ(fifo.out, "");
}

TEST_F(JobshaperTest, PassthroughCopiesTheJobUnchanged) {
  write_queue("raw", "ds_list=passthrough\n");
  std::string job;
  for (int i = 0; i < 20000; ++i) job.push_back(static_cast<char>(i * 7));
  RunResult r = run({"-q", "raw"}, {.input = job});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, job);

  RunResult banner = run({"-q", "raw", "-b"}, {.input = job});
  EXPECT_EQ(banner.status, 0);
  EXPECT_EQ(banner.out, "");
}

TEST_F(JobshaperTest, DataStreamNamesChooseTheNodes) {
  PddWriter pdd;
  for (const char* ds : {"pcl", "ps", "zt", "other"}) {
    pdd.add(PddRecord{ds, "", "", std::string("<") + ds + ">", "", "", "</" + std::string(ds) + ">",
                      "", 0, 0, 0});
  }
  ASSERT_TRUE(pdd.save(tree.path(kPddDir + "streams.b")));
  struct Case {
    const char* ds_list;
    std::string job;
    std::string out;
  };
  const Case cases[] = {
      {"pdf", "%PDF-1.4", "<zt>%PDF-1.4</zt>"},
      {"other", "x", "<other>x</other>"},
      {"automatic", "\n\n%!PS-Adobe", "<ps>\n\n%!PS-Adobe</ps>"},
      {"automatic", "\xff\xd8\xff\xe0JFIF", "<pcl>\xff\xd8\xff\xe0JFIF</pcl>"},
      {"automatic_plus", "\xff\xd8\xff\xe0JFIF", "<zt>\xff\xd8\xff\xe0JFIF</zt>"},
      {"automatic_pdf", "%!", "<pcl>%!</pcl>"},
  };
  for (const Case& c : cases) {
    write_queue("q", std::string("pdd=streams.b\nds_list=") + c.ds_list + "\n");
    // Through a pipe the sniffed bytes are replayed; from a file the input seeks back.
    RunResult piped = run({"-q", "q"}, {.input = c.job});
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(piped.out, c.out) << c.ds_list;
    std::string file = tree.write("job", c.job);
    RunResult seeked = run({"-q", "q"}, {.input_file = file});
    EXPECT_EQ(seeked.out, c.out) << c.ds_list;
  }
}

TEST_F(JobshaperTest, LaterDuplicateKeysWin) {
  std::string vqd = read_file(system_vqd("sample_pcl"));
  write_queue("dup", vqd + "pcl_orientation=landscape\n");
  RunResult r = run({"-q", "dup"}, {.input = "x"});
  std::string expected = sample_pcl_output("", "\"unknown\"", "\"unknown\"", "x");
  expected.replace(expected.find("PORTRAIT"), 8, "LANDSCAPE");
  EXPECT_EQ(r.out, expected);
}

TEST_F(JobshaperTest, PerUserDefinitionReplacesTheSystemOne) {
  std::string vqd = read_file(system_vqd("sample_pcl"));
  std::string user_vqd = vqd + "pcl_orientation=landscape\n";
  std::string landscape = sample_pcl_output("", "\"root\"", "\"unknown\"", "x");
  landscape.replace(landscape.find("PORTRAIT"), 8, "LANDSCAPE");

  // No per-user file: the system definition is used.
  RunResult fallback = run({"-q", "sample_pcl", "-u", "root"}, {.input = "x"});
  EXPECT_EQ(fallback.out, sample_pcl_output("", "\"root\"", "\"unknown\"", "x"));

  // A per-user file is used even when the queue has no system definition.
  tree.write("root/.quintaro/vir_queues/mine/.mine", user_vqd);
  RunResult mine = run({"-q", "mine", "-u", "root"}, {.input = "x"});
  EXPECT_EQ(mine.status, 0) << mine.err;
  EXPECT_EQ(mine.out, landscape);

  // The suite properties may name a directory of its own for per-user queues.
  tree.write("var/spool/printer/unix_prt_drivers/.quintaro/props/quint.properties",
             "a=b quint.unique.user.dir=special other=1\n");
  RunResult ignored = run({"-q", "mine", "-u", "root"}, {.input = "x"});
  EXPECT_EQ(ignored.status, 255);
  tree.write("root/.quintaro/special/vir_queues/mine/.mine", user_vqd);
  RunResult special = run({"-q", "mine", "-u", "root"}, {.input = "x"});
  EXPECT_EQ(special.out, landscape);
}

TEST_F(JobshaperTest, ListingDescribesTheRun) {
  std::string listing = tree.path("listing");
  tree.write(kQueues + "small/.small", "pdd=small.b\nds_list=pcl\npcl_copies=2\n");
  PddWriter pdd;
  pdd.add(NumberRecord{"Copies", "pcl_copies", "", "", "", "C$${pcl_copies}", "", 1, 0, 1, 9, 0});
  pdd.add(PddRecord{"pcl", "pcl_copies", "", "<a,b>", "<end>", "<s1>", "", "", 0, 0, 0});
  ASSERT_TRUE(pdd.save(tree.path(kPddDir + "small.b")));
  RunResult r = run({"-q", "small", "-t", listing, "-u", "root"}, {.input = "x"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "<ab>C2<end>x<s1>");
  std::string vqd = system_vqd("small");
  std::string props =
      tree.path("var/spool/printer/unix_prt_drivers/.quintaro/props/quint.properties");
  std::string user_vqd = tree.path("root/.quintaro/vir_queues/small/.small");
  std::string pdd_path = tree.path(kPddDir + "small.b");
  EXPECT_EQ(read_file(listing),
            "\n--------------------------- DEBUGGING OUTPUT ------------------------------\n\n"
            "Program                          : " +
                kProgram +
                "\n"
                "Printer Queue name               : small\n"
                "System Virtual Queue Definition  : " +
                vqd +
                "\n\n"
                "File Missing (Unique Path)       : " +
                props +
                "\n"
                "User Key                         : Not Found\n\n"
                "User name                        : root\n"
                "User Virtual Queue Definition    : " +
                user_vqd +
                "\n"
                "User Virtual Queue Definition    : Not Available\n"
                "\nUsing Virtual Queue Definition   : " +
                vqd +
                "\n"
                "\n---------------------------------------------------------------------------\n\n"
                "Opened vqd " +
                vqd +
                " successfully\n"
                "Getting printer info ... Done.\n"
                "\nEncodeit ( , is_banner=no )\n"
                "Encodeit ( Converting from iso88591 to IBM850 )\n"
                "Encodeit ( OLD LINE =  )\n"
                "Encodeit ( NEW LINE = __  __ )\n"
                "Encodeit ( SUCCESS )\n\n"
                "Data Stream name from option list = pcl\n"
                "Full path for PDD binary file = " +
                pdd_path +
                "\n"
                "Successfully read the PDD compiled database = " +
                pdd_path +
                "\n\n"
                "banner_page_tag = \n"
                "Which Banner to use = banner_other_file\n"
                "The init sequence field: \n\tpcl_copies\n"
                "The get_converted_strings (<a,b>, ntp, ,)\n"
                "remove_string_separator() called with: (<a,b>,,)\n"
                "\tremove_string_separator() is returning: (<ab>)\n"
                "Successfully wrote ds_init_string.\n"
                "pcl_copies\tC2\n"
                "get_converted_strings called with: (pcl_copies, ntp, ,)\n"
                "\tget_converted_strings is returning: (C2)\n"
                "Successfully wrote init_string.\n"
                "Successfully wrote ds_end_string.\n"
                "No -b option, treating as a regular file.\n"
                "Reading input file and Writing to stdout\n"
                "End of Job string = <s1>\n"
                "formatter exit code             = 0\n");
}

TEST_F(JobshaperTest, LibraryTraceAloneLeavesOutTheListing) {
  std::string trace = tree.path("trace");
  RunResult r = run({"-q", "sample_pcl", "-d", "4", "-t", trace}, {.input = "x"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, sample_pcl_output("", "\"unknown\"", "\"unknown\"", "x"));
  std::string text = read_file(trace);
  EXPECT_NE(text.find("read_nodes.c: read_node_ptr()\n"), std::string::npos);
  EXPECT_EQ(text.find("DEBUGGING OUTPUT"), std::string::npos);
  EXPECT_EQ(text.find("formatter exit code"), std::string::npos);
}

TEST_F(JobshaperTest, BannerConflictStopsWithoutOutput) {
  std::string listing = tree.path("listing");
  RunResult r = run({"-q", "sample_pcl", "-b", "-t", listing});
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(read_file(listing).find(
                "\nWARNING:\n\nThere is a conflict between the \"banner_page\" tag and the "
                "command line.\nThe Command line specifies -b flag and banner_page = no.\n\n"
                "To print the banner page the following conditions should be met:\n\n"
                " pcl_banner_page=yes \n       and\n -b command line option\n\n"
                " Therefore, the banner page will NOT PRINTED.\n\n"),
            std::string::npos);
}

TEST_F(JobshaperTest, FailedOutputIsNeverReportedAsSuccess) {
  write_queue("raw", "ds_list=passthrough\n");
  RunResult raw = run({"-q", "raw"}, {.input = "job", .output_file = "/dev/full"});
  EXPECT_EQ(raw.status, 255);
  EXPECT_EQ(raw.err,
            "\n" + kProgram + ": Error writing to standard output: No space left on device\n\n");

  RunResult codes = run({"-q", "sample_pcl"}, {.input = "job", .output_file = "/dev/full"});
  EXPECT_EQ(codes.status, 255);
  EXPECT_EQ(codes.err, kProgram + ": write_codes failed\n");
}

TEST_F(JobshaperTest, FailedInputEndsWithTheEndOfJobCodesAndAnError) {
  // Reading a directory fails after it was opened.
  std::string dir = tree.path("var");
  RunResult r = run({"-q", "sample_pcl", "-f", dir});
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.err, "\n" + kProgram + ": Error reading the print job: Is a directory\n\n");
  std::string expected = sample_pcl_output("\"" + dir + "\"", "\"unknown\"", "\"unknown\"", "");
  EXPECT_EQ(r.out, expected);
}

}  // namespace
