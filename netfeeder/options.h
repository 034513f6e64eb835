// The agent's command line: the settings held for the whole run with their limits,
// the delivery-flag grammar of -m and -w, the port selection of -p, and the usage
// and help texts.
#pragma once

#include <string>

#include "common/unique_fd.h"

// Exit statuses.
inline constexpr int NETFEEDER_OK = 0;             // job done; resolution failures; signals
inline constexpr int NETFEEDER_NO_INPUT_FILE = 1;  // the -f file cannot be opened
inline constexpr int NETFEEDER_FAILED = 255;       // option and set-up errors, lost job, SIGPIPE

// Delivery flag bits, the same in the mail flags (-m) and the write flags (-w).
inline constexpr int DELIVER_IR_USER = 1;
inline constexpr int DELIVER_IR_ADMIN = 2;
inline constexpr int DELIVER_RESPONSE_USER = 4;
inline constexpr int DELIVER_RESPONSE_ADMIN = 8;
inline constexpr int DELIVER_RESPONSES = DELIVER_RESPONSE_USER | DELIVER_RESPONSE_ADMIN;
inline constexpr int DELIVER_USER = DELIVER_IR_USER | DELIVER_RESPONSE_USER;

// TCP ports.
inline constexpr int TARRAGON_PORT = 9400;  // multi-port print server (with port header)
inline constexpr int RAW_PORT = 9100;       // any other printer
inline constexpr int IR_BASE_PORT = 9200;   // IR messages
inline constexpr int HIGHEST_PORT = 65535;  // the highest TCP port number

// Longest values kept; longer arguments are cut to this many characters.
inline constexpr size_t HOST_LIMIT = 127;
inline constexpr size_t NAME_LIMIT = 254;
inline constexpr size_t PATH_LIMIT = 1023;

// The parsed command line. Complete once parse_options and compute_ports have run,
// and read-only from then on: what the agent learns at run time lives elsewhere.
struct Settings {
  std::string host;               // -h, else the single operand
  bool host_given = false;        // -h was used (operands are then ignored)
  std::string header_host = " ";  // -s, carried in the port header
  std::string job_name = " ";     // -j
  std::string user;               // -u or -M
  std::string admin;              // -a
  std::string printer_name;       // -n
  std::string device_name;        // -d; empty in job mode
  std::string log_path;           // -l; empty: no log
  std::string progress_path;      // -z
  bool progress_given = false;
  std::string management_server;  // -S, kept and otherwise unused
  std::string mail_host;          // -c: host for mail recipients without "@"
  int ir_port = IR_BASE_PORT;     // -p i<N>
  int response_port = RAW_PORT;   // -p l<N>; only shown in the debug listing
  int server_port = -1;           // -p <N>: print server port number
  bool tarragon = false;          // -p <N> chose a multi-port print server
  bool debug = false;             // -x, -D
  bool raw = false;               // -r
  int mail_flags = 0;             // -m
  int write_flags = 0;            // -w

  bool device_mode() const { return !device_name.empty(); }
};

// Parses the command line into `settings`; opens the -f file into `input`. Gives -1
// to go on, or the exit status after printing the message (option errors on standard
// output, usage and help on standard error, the -f failure through perror).
int parse_options(int argc, char** argv, Settings& settings, UniqueFd& input);

// Applies one -m or -w spec, (i|l|il|li)(u|a|ua|au), to `flags`. Gives "" when it is
// well formed, else the message to print (flags unchanged).
std::string parse_delivery_spec(const std::string& spec, int& flags);

// After all options: with -p <N> the response port is 9400 and the IR port 9200 for
// N = 1, 9200 + N otherwise.
void compute_ports(Settings& settings);

std::string usage_text();
std::string help_text();
