// The job formatter: reads a queue's definition and PDD and writes the printer codes
// for the queue's settings, the job (or a banner page) and the end-of-job codes to
// standard output.
#pragma once

#include <sys/types.h>

#include <string>

#include "common/unique_fd.h"

// Exit statuses.
inline constexpr int JOBSHAPER_OK = 0;
inline constexpr int JOBSHAPER_FAILED = 255;  // every error; also after the help text

// Settings of one run, as the command line and the queue definition give them.
struct JobSettings {
  std::string invocation;  // argv[0], used in messages
  std::string queue;       // -q
  bool have_queue = false;
  UniqueFd input_file;  // -f file; standard input when not valid
  int input_fd() const { return input_file.valid() ? input_file.get() : 0; }
  std::string title;  // -s, or the -f file name
  bool have_title = false;
  std::string quoted_title;  // the title between double quotes ("" when none)
  std::string host;          // -h
  bool have_host = false;
  std::string user;  // -u
  bool have_user = false;
  std::string options;  // -p
  bool have_options = false;
  bool banner = false;        // -b
  std::string system_vqd;     // built at -q
  std::string vqd;            // the VQD in use
  bool user_vqd = false;      // the VQD in use is the user's own
  bool codeset_utf8 = false;  // the VQD holds "STRINGCODESET_UTF8"
  std::string locale;         // VQD "locale"
  std::string data_stream;    // VQD "ds_list" after the automatic choice
  off_t sniff_position = 0;   // -1 when the input cannot seek
  std::string sniffed;        // bytes that sniffing consumed
};

// Runs the formatter with a command line; gives the exit status.
int run_jobshaper(int argc, char** argv);
