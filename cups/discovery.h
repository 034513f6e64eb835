// Device discovery: what the backend lists when CUPS runs it without arguments
// (lpinfo -v, the web interface's "Add Printer"). One line per queue of the suite, then
// the printers of the last discovery printer file that no device of the suite serves,
// as candidates for a new device and queue.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The printer file of the last discovery, where administrators have hostsweep write it
// (hostsweep ... /var/spool/corvane/unix_prt_drivers/found_printers), below
// QUINTARO_ROOT like every fixed place.
std::string found_printers_file();

struct FoundPrinter {
  std::string address;
  std::string model;  // "Unknown" when the file names none
};

// The printers of a hostsweep printer list, in either of its styles (columns, or colons
// with -x), in file order and each address once. Comments and lines that cannot be read
// are skipped.
std::vector<FoundPrinter> read_found_printers(std::string_view text);

// The device lines for CUPS:
//   network quintaro:/QUEUE "MODEL" "QUEUE (DEVICE)"
//   network quintaro://ADDRESS "MODEL" "ADDRESS (found by discovery, no queue yet)"
// MODEL is the queue's printer_type, else its PDD's name.
std::string device_listing();
