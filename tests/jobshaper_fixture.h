// The fixture of jobshaper's program-level tests: a temporary tree holding the
// sample queues, and the expected output of the sample PCL queue.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pdd/pdd_writer.h"
#include "sample/sample_tree.h"
#include "tests/support/program.h"

namespace {

using namespace pddfile;

const std::string kProgram = JOBSHAPER_PATH;
const std::string kUsage =
    "\nUSAGE:\n"
    "    jobshaper -q name [-f file] [-b] [-h host] [-p options] [-u user]\n"
    "                             [-s name] [ -d number -t file ]\n"
    "\nTry 'jobshaper -H' for more information\n\n";
const std::string kQueues = "var/spool/printer/unix_prt_drivers/vir_queues/";
const std::string kPddDir = "usr/quintaro/etc/printers/bin/";

// The sample queue's prologue and end of job around a job, for title, user and host.
std::string sample_pcl_output(const std::string& title, const std::string& user,
                              const std::string& host, const std::string& job) {
  return "\x1b%-12345X@PJL\n"
         "@PJL SET JOBNAME = " +
         title +
         "\n"
         "@PJL SET USERNAME = " +
         user +
         "\n"
         "@PJL LJOBINFO USERID = " +
         user + " HOSTID = " + host +
         "\n"
         "@PJL SET ORIENTATION = PORTRAIT\n"
         "@PJL SET COPIES = 1\n"
         "@PJL SET PAPER = A4\n"
         "@PJL SET RESOLUTION = 600\n"
         "@PJL SET PITCH = 10\n"
         "@PJL ENTER LANGUAGE = PCL\n\x1b"
         "E" +
         job +
         "\x1b"
         "E\x1b%-12345X@PJL EOJ\n\x1b%-12345X";
}

class JobshaperTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(write_sample_tree(tree.root())); }

  RunResult run(const std::vector<std::string>& args, RunOptions options = {}) {
    options.env.push_back("QUINTARO_ROOT=" + tree.root());
    return run_program(kProgram, args, options);
  }
  std::string write_queue(const std::string& name, const std::string& vqd) {
    return tree.write(kQueues + name + "/." + name, vqd);
  }
  std::string system_vqd(const std::string& name) {
    return tree.path(kQueues + name + "/." + name);
  }

  TempTree tree;
};

}  // namespace
