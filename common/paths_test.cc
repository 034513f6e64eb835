// The path table: every fixed place, without QUINTARO_ROOT and below it.
#include "common/paths.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <functional>
#include <string>

namespace {

TEST(Paths, EveryFixedPlaceWithAndWithoutARoot) {
  const std::string dir = "special";
  const struct {
    std::function<std::string()> path;
    const char* expected;
  } rows[] = {
      {[] { return paths::system_vqd("q1"); },
       "/var/spool/printer/unix_prt_drivers/vir_queues/q1/.q1"},
      {paths::suite_properties,
       "/var/spool/printer/unix_prt_drivers/.quintaro/props/quint.properties"},
      {[] { return paths::user_vqd("/home/al", nullptr, "q1"); },
       "/home/al/.quintaro/vir_queues/q1/.q1"},
      {[&] { return paths::user_vqd("/home/al", &dir, "q1"); },
       "/home/al/.quintaro/special/vir_queues/q1/.q1"},
      {[] { return paths::pdd_file("laser.b"); }, "/usr/quintaro/etc/printers/bin/laser.b"},
      {[] { return paths::banner_file("pcl_banner"); }, "/usr/quintaro/etc/banners/pcl_banner"},
      {[] { return paths::transport_vqd("q1"); },
       "/var/spool/corvane/unix_prt_drivers/vir_queues/q1/.q1"},
      {[] { return paths::vdd("d1"); }, "/var/spool/corvane/unix_prt_drivers//vir_devices/d1"},
      {[] { return paths::application_script("lanecreate"); },
       "/usr/quintaro/bin/.scripts/lanecreate.sh"},
      {paths::notice_script, "/usr/quintaro/bin/.scripts/pact_notice.sh"},
      {[] { return paths::suite_program("jobshaper"); }, "/usr/quintaro/bin/jobshaper"},
      {paths::found_printers, "/var/spool/corvane/unix_prt_drivers/found_printers"},
      {paths::filter_script, "/usr/quintaro/bin/jobgate.sh"},
      {paths::control_program_file, "/usr/quintaro/bin/portpanel"},
      {[] { return paths::transport_agent("netfeeder"); }, "/usr/corvtools/bin/netfeeder"},
      {paths::compiled_mib, "/usr/quintaro/etc/hsweep.cmib"},
      {paths::login_records, "/var/run/utmp"},
      {paths::console, "/dev/console"},
      {paths::mail_program, "/usr/lib/sendmail"},
      {[] { return paths::device_path("lp9"); }, "/dev/lp9"},
  };
  for (const char* root : {"", "/tmp/tree"}) {
    if (*root) {
      setenv("QUINTARO_ROOT", root, 1);
    } else {
      unsetenv("QUINTARO_ROOT");
    }
    for (const auto& row : rows) EXPECT_EQ(row.path(), std::string(root) + row.expected);
  }
  unsetenv("QUINTARO_ROOT");
}

}  // namespace
