// What discovery tells the user about found printers: the line printed the moment a
// printer is found (to standard output and to the output file), the results table
// kept in address order, the final printer list, and the reader of such a list.
//
// Two styles: columns (the default) and colon-separated fields (-x). In the colon
// style the output file holds one "0" per found printer until the final list
// replaces it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hostsweep/progress.h"
#include "hostsweep/search_list.h"

struct OutputSettings {
  bool colon = false;      // -x
  bool no_lookup = false;  // -I: the host-name column shows the address
  std::string read_community;
  std::string write_community;
};

// Host names of addresses by reverse look-up. A look-up blocks the whole search, so
// each address is looked up at most once in a run; a failed look-up (or -I) gives the
// address text itself.
class HostNames {
 public:
  explicit HostNames(bool no_lookup) : no_lookup_(no_lookup) {}
  virtual ~HostNames() = default;
  std::string name(const std::string& address_text);

 protected:
  // The name the resolver gives for the address, if any.
  virtual std::optional<std::string> look_up(const std::string& address_text);

 private:
  bool no_lookup_;
  std::map<std::string, std::string> names_;
};

struct FoundPrinter {
  uint8_t kind = 1;  // a printer on a network address
  Address address{};
  char port = '0';  // '0' plus the port number
  const char* adapter_name = nullptr;
  std::string address_text;
  std::string model;
  std::optional<std::string> host_name;
  std::string read_community;
  std::string write_community;
  int32_t state = 0;
};

// Found printers in their order: by kind, then by the address read as an unsigned
// number from its four stored bytes with the last octet most significant (so the
// fourth octet orders first), then by port.
class ResultsTable {
 public:
  // Inserts the printer of (address, port), or replaces the texts of the one there
  // and sets its state to 0. An address text that is not a dotted address is ignored.
  void record_printer(const std::string& address_text, int port, const std::string& read_community,
                      const std::string& write_community, int adapter_index,
                      const std::string& host_name, const std::string& model);
  const std::vector<std::unique_ptr<FoundPrinter>>& records() const { return records_; }

 private:
  std::vector<std::unique_ptr<FoundPrinter>> records_;  // sorted, grown 100 at a time
};

class PrinterReport {
 public:
  // `standard_output` is where the found printers are shown (standard output; tests
  // give a file).
  PrinterReport(const OutputSettings& settings, HostNames& names, ResultsTable& results,
                FILE* standard_output = stdout)
      : settings_(settings), names_(names), results_(results), shown_(standard_output) {}

  // Where the progress of the search is shown, if anywhere.
  void set_progress(ProgressLine* progress) { progress_ = progress; }
  // The output file the found printers are written to as they are found.
  void set_output(FILE* file) { output_ = file; }
  // One found printer: its line in the output file and on standard output, and its
  // record in the results table.
  void report_printer(const std::string& address_text, int port, int adapter_index,
                      const std::string& model);
  // The final list, in results order, to `file`.
  void write_printer_list(FILE* file);

 private:
  const OutputSettings& settings_;
  HostNames& names_;
  ResultsTable& results_;
  FILE* shown_;
  FILE* output_ = nullptr;
  ProgressLine* progress_ = nullptr;
};

// The adapter column: "MODEL Ethernet" for an internal adapter, else the adapter's
// name.
std::string adapter_column(const char* adapter_name, const std::string& model);

// Printer-file mode: records every good line of the printer list at `path` (address,
// one-character port, read community, set community; "#" starts a comment), with the
// host name as its model, reporting bad lines on standard error. -1 when the file
// cannot be opened, else 0.
int read_printer_list(const std::string& path, HostNames& names, ResultsTable& results);
