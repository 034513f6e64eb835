// Fixed places of the suite on disk, each composed in one place. When QUINTARO_ROOT
// is set (and the program is not set-user-id or set-group-id), every one of them
// is looked up below that directory; paths given on a command line or written in
// definition files are used as given and never pass through here.
#pragma once

#include <string>
#include <string_view>

namespace paths {

// The value of QUINTARO_ROOT, read with secure_getenv, or "" when unset.
std::string root();
// root() followed by `absolute_path`.
std::string rooted(std::string_view absolute_path);

// The formatter's spool tree.
// The VQD of `queue`: /var/spool/printer/unix_prt_drivers/vir_queues/Q/.Q
std::string system_vqd(std::string_view queue);
// The suite properties: /var/spool/printer/unix_prt_drivers/.quintaro/props/quint.properties
std::string suite_properties();
// A user's own VQD of `queue` below the home directory `home` (as the user database
// gives it): HOME/.quintaro/vir_queues/Q/.Q, or HOME/.quintaro/DIR/vir_queues/Q/.Q
// when the suite properties name a directory DIR (`unique_dir` not null).
std::string user_vqd(std::string_view home, const std::string* unique_dir, std::string_view queue);
// A compiled PDD: /usr/quintaro/etc/printers/bin/NAME
std::string pdd_file(std::string_view name);
// A banner file or program: /usr/quintaro/etc/banners/NAME
std::string banner_file(std::string_view name);

// The transport builder's spool tree.
// The VQD of `queue`: /var/spool/corvane/unix_prt_drivers/vir_queues/Q/.Q
std::string transport_vqd(std::string_view queue);
// The VDD of `device`, with the doubled slash it has always had:
// /var/spool/corvane/unix_prt_drivers//vir_devices/D
std::string vdd(std::string_view device);

// A program of the suite: /usr/quintaro/bin/NAME
std::string suite_program(std::string_view name);
// The printers discovery last found, for CUPS's device listing:
// /var/spool/corvane/unix_prt_drivers/found_printers
std::string found_printers();

// What the launchers start.
// An application script: /usr/quintaro/bin/.scripts/NAME.sh
std::string application_script(std::string_view name);
// The notice script: /usr/quintaro/bin/.scripts/pact_notice.sh
std::string notice_script();
// The filter script: /usr/quintaro/bin/jobgate.sh
std::string filter_script();
// The control program's file, whose group is the administrators' group:
// /usr/quintaro/bin/portpanel
std::string control_program_file();

// A transport agent: /usr/corvtools/bin/AGENT
std::string transport_agent(std::string_view agent);
// The compiled MIB of discovery: /usr/quintaro/etc/hsweep.cmib
std::string compiled_mib();

// What the network transport agent uses.
std::string login_records();  // /var/run/utmp
std::string console();        // /dev/console
std::string mail_program();   // /usr/lib/sendmail
// The device path of device mode: /dev/NAME
std::string device_path(std::string_view device);

}  // namespace paths
