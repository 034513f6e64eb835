// The discovery program's command line: the run settings, the mode rules, the
// search list built from -h, -n and -r, and the usage and help texts.
#pragma once

#include <cstddef>
#include <string>

#include "hostsweep/search_list.h"

// Exit statuses besides 0.
inline constexpr int HOSTSWEEP_BAD_HOST = 101;     // -h neither an address nor a known name
inline constexpr int HOSTSWEEP_BAD_NETWORK = 102;  // -n not an address
inline constexpr int HOSTSWEEP_BAD_RANGE = 103;    // -r malformed, or first above last
inline constexpr int HOSTSWEEP_FAILED = 255;       // everything else (exit -1)

// Bits of the debug level (-d).
inline constexpr int DEBUG_SNMP = 0x2;      // SNMP requests, answers, errors
inline constexpr int DEBUG_ENGINE = 0x8;    // the probe engine and its limits
inline constexpr int DEBUG_SELECT = 0x200;  // every pass of the select table

enum class Mode { NONE, SEARCH, PRINTER_FILE };

// The prescan (-P): its rate when -P 0 is given, the highest rate taken, and the most
// addresses it sweeps.
inline constexpr int PRESCAN_DEFAULT_RATE = 2000;
inline constexpr int PRESCAN_MAX_RATE = 1000000;
inline constexpr size_t PRESCAN_MAX_ADDRESSES = 16777216;

struct HostsweepSettings {
  Mode mode = Mode::NONE;
  std::string read_community = "tessel";   // -c first name
  std::string write_community = "tessel";  // -c second name
  long long timeout_us = 3000000;          // -t seconds, as microseconds
  int retries = 4;                         // -t second number: transmissions in all
  int debug = 0;                           // -d
  std::string debug_file = "-";            // -f; "-" is standard output
  int max_connections = 240;               // -o, taken when above 10
  bool print_pid = false;                  // -p
  int prescan_rate = 0;                    // -P packets per second; 0: no prescan
  bool no_lookup = false;                  // -I
  bool ignore_adapter_status = false;      // -i (and -x)
  bool colon = false;                      // -x
  std::string server;                      // -s, -S: kept, not used
  std::string output_path = "/dev/null";   // the first operand
  SearchList search_list;
};

// Reads the command line into `settings`. Gives -1 to go on, else the exit status
// after printing its message on standard error. -P takes a whole decimal number from
// 0 (the default rate) to PRESCAN_MAX_RATE, else the usage; with -P a search list of
// more than PRESCAN_MAX_ADDRESSES addresses is refused.
int parse_options(int argc, char** argv, HostsweepSettings& settings);

// The short usage text and the full help text (both for standard error).
std::string usage_text();
std::string help_text();
