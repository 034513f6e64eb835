// Opening the data and IR connections, with the port header in tarragon mode.
#include "netfeeder/printer_link.h"

#include "common/descriptors.h"
#include "common/format.h"
#include "common/io.h"
#include "netfeeder/port_header.h"
#include "netfeeder/printable.h"

UniqueFd PrinterLink::open_printer() {
  const std::string& host = settings_.host;
  int fd = -1;
  for (;;) {
    if (tarragon()) {
      fd = connect_host(host, TARRAGON_PORT, PERSISTENT, dialer_);
    } else {
      if (!opened_once_) {
        fd = connect_host(host, TARRAGON_PORT, PROBE, dialer_);
        if (fd >= 0) detected_ = true;
      }
      if (fd < 0) fd = connect_host(host, RAW_PORT, PERSISTENT, dialer_);
    }
    if (fd >= 0) break;
    // No address would take a connection at all: wait rather than spin.
    dialer_.sleep_seconds(RETRY_WAIT_SECONDS);
  }
  opened_once_ = true;
  UniqueFd connection(fd);

  if (tarragon()) {
    std::string header = build_port_header(settings_, server_port());
    if (trace_.enabled) {
      const Settings& s = settings_;
      std::string text = strprintf("Open a tarragon port %d:\n", server_port());
      text += strprintf("\thostname :'%s'\n", s.header_host.c_str());
      text += strprintf("\tjob_name :'%s'\n", s.job_name.c_str());
      text += s.user.empty() ? std::string("\tuser :' '\n")
                             : strprintf("\tuser :'%s'\n", s.user.c_str());
      text += s.printer_name.empty() ? std::string("\tprinter_name :' '\n")
                                     : strprintf("\tprinter_name :'%s'\n", s.printer_name.c_str());
      text +=
          strprintf("\tsize = %d (%2x %2x)\n", static_cast<int>(header.size()),
                    static_cast<unsigned char>(header[0]), static_cast<unsigned char>(header[1]));
      text += hex_dump(header);
      trace_.write(text);
    }
    // A failure here shows up in the pump as a lost connection.
    write_all(connection.get(), header);
  }
  set_nonblocking(connection.get());
  return connection;
}

UniqueFd PrinterLink::open_ir_connection() {
  UniqueFd ir(connect_host(settings_.host, settings_.ir_port, SINGLE, dialer_));
  if (ir.valid()) set_nonblocking(ir.get());
  return ir;
}
