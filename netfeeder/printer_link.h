// The connection object: the data and IR connections to the printer, and what is
// learned about the printer while connecting (a multi-port print server on port 9400).
#pragma once

#include "common/unique_fd.h"
#include "netfeeder/connect.h"
#include "netfeeder/options.h"
#include "netfeeder/trace.h"

class PrinterLink {
 public:
  PrinterLink(const Settings& settings, Dialer& dialer, Trace& trace)
      : settings_(settings), dialer_(dialer), trace_(trace) {}

  // Gives a non-blocking data connection, waiting for the printer as long as it takes.
  // The first successful open detects a multi-port print server on port 9400 (unless
  // -p chose one) and switches tarragon mode on; in tarragon mode the port header is
  // sent first. Throws HostFailure.
  UniqueFd open_printer();
  // The IR connection (single attempt, non-blocking), or an invalid descriptor.
  UniqueFd open_ir_connection();

  // Tarragon mode: a multi-port print server, chosen with -p <N> or detected. The
  // port header and the trace take it and the port number from here, never from the
  // settings alone.
  bool tarragon() const { return settings_.tarragon || detected_; }
  // The print server port number of the port header: -p <N>, or 1 when detected.
  int server_port() const { return detected_ ? 1 : settings_.server_port; }

 private:
  const Settings& settings_;
  Dialer& dialer_;
  Trace& trace_;
  bool opened_once_ = false;
  bool detected_ = false;  // the first open found a multi-port print server
};
