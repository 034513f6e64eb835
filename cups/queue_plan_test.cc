// Checking a CUPS job against its queue: which options reach the formatter, how often
// the job is formatted, the device's bounded waits, and what stops or cancels.
#include "cups/queue_plan.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "common/paths.h"
#include "cups/backend.h"
#include "sample/sample_tree.h"
#include "tests/support/capture.h"
#include "tests/support/program.h"

namespace {

class QueuePlanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(write_sample_tree(tree_.root()));
    setenv("QUINTARO_ROOT", tree_.root().c_str(), 1);
    // A queue without a copies setting, on a device with bounded waits of its own.
    tree_.write(below_root("", paths::system_vqd("nocopies")),
                "pdd=generic_pcl.b\nds_list=pcl\ndevice_name=quick\npcl_orientation=portrait\n");
    tree_.write(below_root("", paths::transport_vqd("nocopies")), "device_name=quick\n");
    tree_.write(below_root("", paths::vdd("quick")),
                "transport_type=network\nnetwork_host=127.0.0.9\nstall_timeout=5\n"
                "end_timeout=7\n");
  }
  void TearDown() override { unsetenv("QUINTARO_ROOT"); }

  PlanResult plan(const std::string& queue, const std::string& options, int copies = 1) {
    JobRequest request;
    request.queue = queue;
    request.options = parse_job_options(options);
    request.copies = copies;
    request.input_fd = temp_fd();
    PlanResult result = plan_job(request);
    close(request.input_fd);
    return result;
  }

  TempTree tree_;
};

TEST_F(QueuePlanTest, OnlyOptionsOfTheQueueReachTheFormatter) {
  const struct {
    std::string queue, options;
    int copies;
    std::string overrides;
    int runs;
    bool banner;
  } cases[] = {
      {"sample_pcl",
       "job-uuid=urn:uuid:1 orientation=landscape media=a4 job-originating-host-name=h", 1,
       "orientation=landscape", 1, false},
      {"sample_pcl", "pcl_paper_size=letter resolution=1200x1200dpi", 1,
       "paper_size=letter resolution=1200x1200dpi", 1, false},
      // The queue makes its copies: formatted once, with the count as an option.
      {"sample_pcl", "", 3, "copies=3", 1, false},
      {"sample_pcl", "copies=2", 3, "copies=2", 1, false},
      {"nocopies", "orientation=landscape copies=4", 3, "orientation=landscape", 3, false},
  };
  for (const auto& c : cases) {
    PlanResult result = plan(c.queue, c.options, c.copies);
    EXPECT_EQ(result.status, CUPS_BACKEND_OK) << c.options << ": " << result.error;
    EXPECT_EQ(result.plan.overrides, c.overrides) << c.options;
    EXPECT_EQ(result.plan.runs, c.runs) << c.options;
    EXPECT_EQ(result.plan.banner, c.banner) << c.options;
  }
  EXPECT_EQ(plan("sample_pcl", "").plan.stall.count(), DEFAULT_STALL_TIMEOUT);
  EXPECT_EQ(plan("sample_pcl", "").plan.end.count(), DEFAULT_END_TIMEOUT);
  EXPECT_EQ(plan("nocopies", "").plan.stall.count(), 5);
  EXPECT_EQ(plan("nocopies", "").plan.end.count(), 7);
}

TEST_F(QueuePlanTest, RefusalsCancelTheJobAndBrokenDefinitionsStopTheQueue) {
  std::string root = tree_.root();
  tree_.write(below_root("", paths::system_vqd("nopdd")), "pdd=missing.b\nds_list=pcl\n");
  tree_.write(below_root("", paths::system_vqd("nodevice")),
              "pdd=generic_pcl.b\nds_list=pcl\ndevice_name=gone\n");
  tree_.write(below_root("", paths::transport_vqd("nodevice")), "device_name=gone\n");
  tree_.write(below_root("", paths::vdd("slow")), "transport_type=network\nend_timeout=0\n");
  tree_.write(below_root("", paths::system_vqd("badwait")),
              "pdd=generic_pcl.b\nds_list=pcl\ndevice_name=slow\n");
  tree_.write(below_root("", paths::transport_vqd("badwait")), "device_name=slow\n");
  const struct {
    std::string queue, options;
    int copies;
    int status;
    std::string error;
  } cases[] = {
      {"sample_pcl", "orientation=sideways", 1, CUPS_BACKEND_CANCEL,
       "The value 'sideways' of option orientation is not valid for queue sample_pcl (see "
       "settingsview -q sample_pcl)"},
      {"sample_pcl", "copies=0", 1, CUPS_BACKEND_CANCEL,
       "The value '0' of option copies is not valid for queue sample_pcl (see settingsview -q "
       "sample_pcl)"},
      {"sample_pcl", "orientation=", 1, CUPS_BACKEND_CANCEL,
       "The option orientation of queue sample_pcl has no value"},
      {"sample_pcl", "orientation='land scape'", 1, CUPS_BACKEND_CANCEL,
       "The value 'land scape' of option orientation holds a blank, which the options of queue "
       "sample_pcl cannot take"},
      {"sample_pcl", "", 1000, CUPS_BACKEND_CANCEL,
       "The queue sample_pcl cannot print 1000 copies"},
      {"absent", "", 1, CUPS_BACKEND_STOP,
       "The queue absent is not defined in the suite (" + root +
           "/var/spool/printer/unix_prt_drivers/vir_queues/absent/.absent)"},
      {"nopdd", "", 1, CUPS_BACKEND_STOP,
       "The PDD missing.b of queue nopdd is missing or broken (" + root +
           "/usr/quintaro/etc/printers/bin/missing.b)"},
      {"nodevice", "", 1, CUPS_BACKEND_STOP,
       "The device gone of queue nodevice is not defined (" + root +
           "/var/spool/corvane/unix_prt_drivers//vir_devices/gone)"},
      {"badwait", "", 1, CUPS_BACKEND_STOP,
       "The device slow has the invalid value '0' for end_timeout (whole seconds from 1 to "
       "86400)"},
  };
  for (const auto& c : cases) {
    StderrCapture quiet;  // the PDD library's own notes
    PlanResult result = plan(c.queue, c.options, c.copies);
    quiet.text();
    EXPECT_EQ(result.status, c.status) << c.queue << " " << c.options;
    EXPECT_EQ(result.error, c.error);
  }
}

}  // namespace
