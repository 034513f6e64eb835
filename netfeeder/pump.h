// The data pump: rounds of an event loop, without a timeout, that move the job from the
// input to the printer in blocks of at most 1024 bytes, relay printer responses and
// IR messages, and survive or report lost connections.
//
// Exactly one of two is watched for the input side: the input for reading while the
// current block is empty, or the data connection for writing while it is not. The
// input is not read again until the whole block is written, so the printer's speed
// paces the reading. After the input ends, responses are read until the printer
// closes the connection. The IR connection is read one message per round, and watched
// for writing only while acknowledgements wait for room on it.
//
// Within a round the IR connection is served first (waiting acknowledgements, then
// one message), then the data connection is read, then the input is read or the data
// connection written. A data connection that closes or is lost ends the round there.
#pragma once

#include <string>
#include <vector>

#include "common/event_loop.h"
#include "common/unique_fd.h"
#include "netfeeder/ir_reader.h"
#include "netfeeder/notify.h"
#include "netfeeder/options.h"
#include "netfeeder/printer_link.h"
#include "netfeeder/trace.h"

inline constexpr size_t BLOCK_SIZE = 1024;

struct PumpSetup {
  int input_fd = 0;        // standard input, the -f file, or the pty master
  UniqueFd data;           // the data connection; none in device mode at start
  UniqueFd ir;             // the IR connection, or none (IR is then not watched)
  int progress_fd = -1;    // progress log (-z), or -1
  std::string start_time;  // time text of the progress log's first line
};

class Pump {
 public:
  Pump(const Settings& settings, PrinterLink& link, Notifier& notifier, Trace& trace,
       PumpSetup setup);
  // Runs until the job ends; gives the exit status. HostFailure passes through.
  int run();

 private:
  enum Flow { GO_ON, NEXT_ITERATION, STOP };
  enum Loss { NO_LOSS, LOSS, FATAL };

  // Before each select: registers the descriptors the watch rule names.
  void watch_for_round();
  // False when select cannot take `fd`.
  bool watch(int fd, int mask, EventLoop::FdCallback serve);
  // What the loop calls for a ready descriptor.
  void serve_ir_events(int ready);
  void serve_data_events(int ready);
  void serve_input_events(int ready);
  void end_round(Flow flow);

  Flow serve_ir();
  Flow read_printer();
  Flow read_input();
  Flow write_printer();
  Loss check_lost_connection(ssize_t result, int error);
  Flow handle_loss();
  void reopen_for_block();
  Flow stop(int status);

  const Settings& settings_;
  PrinterLink& link_;
  Notifier& notifier_;
  Trace& trace_;
  int input_;
  UniqueFd data_;
  UniqueFd ir_;
  IrReader ir_reader_{};
  int progress_fd_;
  std::string start_time_;
  long long progress_bytes_ = 0;

  EventLoop loop_;
  std::vector<int> watched_;         // registered with loop_ for this round
  bool input_side_is_input_ = true;  // the block was empty when the round began
  Flow round_ = GO_ON;               // NEXT_ITERATION: nothing more this round

  bool printer_closed_;
  bool input_ended_ = false;
  char block_[BLOCK_SIZE] = {};
  size_t cursor_ = 0;
  size_t unsent_ = 0;
  int status_ = 0;
};
