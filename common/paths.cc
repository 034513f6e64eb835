// Fixed places of the suite on disk, optionally moved below QUINTARO_ROOT.
#include "common/paths.h"

#include <stdlib.h>

namespace paths {

namespace {

constexpr std::string_view kSpoolDir = "/var/spool";
constexpr std::string_view kInstallPrefix = "/usr/quintaro";
constexpr std::string_view kToolDir = "/usr/corvtools";
// The two spool trees below kSpoolDir: the formatter's and the transport builder's.
constexpr std::string_view kFormatterTree = "/printer/unix_prt_drivers";
constexpr std::string_view kTransportTree = "/corvane/unix_prt_drivers";

std::string join(std::initializer_list<std::string_view> parts) {
  std::string path;
  for (std::string_view part : parts) path.append(part);
  return path;
}

// DIR/vir_queues/Q/.Q
std::string queue_file(const std::string& dir, std::string_view queue) {
  return join({dir, "/vir_queues/", queue, "/.", queue});
}

}  // namespace

std::string root() {
  const char* value = secure_getenv("QUINTARO_ROOT");
  return value ? std::string(value) : std::string();
}

std::string rooted(std::string_view absolute_path) { return join({root(), absolute_path}); }

std::string system_vqd(std::string_view queue) {
  return queue_file(join({root(), kSpoolDir, kFormatterTree}), queue);
}

std::string suite_properties() {
  return join({root(), kSpoolDir, kFormatterTree, "/.quintaro/props/quint.properties"});
}

std::string user_vqd(std::string_view home, const std::string* unique_dir, std::string_view queue) {
  std::string dir = join({root(), home, "/.quintaro"});
  if (unique_dir) dir = join({dir, "/", *unique_dir});
  return queue_file(dir, queue);
}

std::string pdd_file(std::string_view name) {
  return join({root(), kInstallPrefix, "/etc/printers/bin/", name});
}

std::string banner_file(std::string_view name) {
  return join({root(), kInstallPrefix, "/etc/banners/", name});
}

std::string transport_vqd(std::string_view queue) {
  return queue_file(join({root(), kSpoolDir, kTransportTree}), queue);
}

std::string vdd(std::string_view device) {
  return join({root(), kSpoolDir, kTransportTree, "//vir_devices/", device});
}

std::string application_script(std::string_view name) {
  return join({root(), kInstallPrefix, "/bin/.scripts/", name, ".sh"});
}

std::string notice_script() { return application_script("pact_notice"); }

std::string suite_program(std::string_view name) {
  return join({root(), kInstallPrefix, "/bin/", name});
}

std::string found_printers() {
  return join({root(), kSpoolDir, kTransportTree, "/found_printers"});
}

std::string filter_script() { return join({root(), kInstallPrefix, "/bin/jobgate.sh"}); }

std::string control_program_file() { return join({root(), kInstallPrefix, "/bin/portpanel"}); }

std::string transport_agent(std::string_view agent) {
  return join({root(), kToolDir, "/bin/", agent});
}

std::string compiled_mib() { return join({root(), kInstallPrefix, "/etc/hsweep.cmib"}); }

std::string login_records() { return rooted("/var/run/utmp"); }

std::string console() { return rooted("/dev/console"); }

std::string mail_program() { return rooted("/usr/lib/sendmail"); }

std::string device_path(std::string_view device) { return join({root(), "/dev/", device}); }

}  // namespace paths
