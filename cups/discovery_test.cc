// The device listing for CUPS: the suite's queues, then discovery's candidates.
#include "cups/discovery.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "common/format.h"
#include "common/paths.h"
#include "sample/sample_tree.h"
#include "tests/support/program.h"

namespace {

TEST(DiscoveryTest, ListsTheQueuesThenThePrintersNoDeviceServes) {
  TempTree tree;
  ASSERT_TRUE(write_sample_tree(tree.root()));
  setenv("QUINTARO_ROOT", tree.root().c_str(), 1);
  // Both styles of the printer file; the sample device serves 127.0.0.9 already.
  tree.write(below_root("", found_printers_file()),
             "# found\n" +
                 strprintf("%-16s %c %-10s %-10s %-20s %-35s %s\n", "10.1.0.7", '1', "public",
                           "private", "Internal Ethernet", "lab7", "Laser \"Pro\" 9") +
                 strprintf("%-16s %c %-10s %-10s %-20s %-35s %s\n", "127.0.0.9", '1', "public",
                           "private", "Internal Ethernet", "sample", "Sample") +
                 "lab8:10.1.0.8::Adapter X:1:2\n10.1.0.7:dup\n");
  std::string listing = device_listing();
  unsetenv("QUINTARO_ROOT");
  EXPECT_EQ(listing,
            "network quintaro:/sample_auto \"Generic PCL printer with PJL\" \"sample_auto "
            "(sample_dev)\"\n"
            "network quintaro:/sample_pcl \"Generic PCL printer with PJL\" \"sample_pcl "
            "(sample_dev)\"\n"
            "network quintaro:/sample_ps \"Generic PCL printer with PJL\" \"sample_ps "
            "(sample_dev)\"\n"
            "network quintaro://10.1.0.7 \"Laser 'Pro' 9\" \"10.1.0.7 (found by discovery, no "
            "queue yet)\"\n"
            "network quintaro://10.1.0.8 \"Unknown\" \"10.1.0.8 (found by discovery, no queue "
            "yet)\"\n");
}

}  // namespace
