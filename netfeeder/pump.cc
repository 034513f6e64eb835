// The data pump between the input, the printer and the IR connection.
#include "netfeeder/pump.h"

#include <errno.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "common/format.h"
#include "common/io.h"
#include "netfeeder/printable.h"

namespace {

bool retry_later(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == EINTR; }

}  // namespace

// `setup` is taken by value: its connections are moved into the pump.
Pump::Pump(const Settings& settings, PrinterLink& link, Notifier& notifier, Trace& trace,
           // cppcheck-suppress passedByValue
           PumpSetup setup)
    : settings_(settings),
      link_(link),
      notifier_(notifier),
      trace_(trace),
      input_(setup.input_fd),
      data_(std::move(setup.data)),
      ir_(std::move(setup.ir)),
      progress_fd_(setup.progress_fd),
      start_time_(std::move(setup.start_time)),
      printer_closed_(!data_.valid()) {}

Pump::Flow Pump::stop(int status) {
  status_ = status;
  return STOP;
}

int Pump::run() {
  loop_.set_before_select([this] { watch_for_round(); });
  switch (loop_.run()) {
    case EventLoop::STOPPED:
      return status_;
    case EventLoop::SELECT_FAILED:
      write_all(2, strprintf("netfeeder: select: %s\n", std::strerror(errno)));
      return NETFEEDER_FAILED;
    case EventLoop::IDLE:                 // the watch rule always names the input side
    case EventLoop::SOURCE_OUT_OF_RANGE:  // the pump adds no select source
      break;
  }
  return NETFEEDER_FAILED;
}

void Pump::watch_for_round() {
  // Registered afresh each round, in the order the round serves them: the loop serves
  // ready descriptors in the order of registration, and connections are replaced
  // between rounds.
  for (int fd : watched_) loop_.remove(fd);
  watched_.clear();
  round_ = GO_ON;
  // The input while the block is empty, else the data connection for writing.
  input_side_is_input_ = unsent_ == 0;
  int ir_mask = EventLoop::NONE, data_mask = EventLoop::NONE, input_mask = EventLoop::NONE;
  if (input_side_is_input_ && !input_ended_) input_mask |= EventLoop::READABLE;
  if (!input_side_is_input_ && data_.valid()) data_mask |= EventLoop::WRITABLE;
  if (!printer_closed_) {
    data_mask |= EventLoop::READABLE;
    if (ir_.valid()) ir_mask |= EventLoop::READABLE;
  }
  // Acknowledgements the IR connection could not take yet go out once it has room.
  if (ir_.valid() && ir_reader_.wants_write()) ir_mask |= EventLoop::WRITABLE;
  bool in_range =
      watch(ir_.get(), ir_mask, [this](int, int ready) { serve_ir_events(ready); }) &&
      watch(data_.get(), data_mask, [this](int, int ready) { serve_data_events(ready); }) &&
      watch(input_, input_mask, [this](int, int ready) { serve_input_events(ready); });
  if (!in_range) {
    write_all(2, "netfeeder: descriptor out of range for select\n");
    status_ = NETFEEDER_FAILED;
    loop_.stop();
  }
}

bool Pump::watch(int fd, int mask, EventLoop::FdCallback serve) {
  if (mask == EventLoop::NONE) return true;
  if (loop_.add(fd, mask, std::move(serve)) != EventLoop::ADDED) return false;
  watched_.push_back(fd);
  return true;
}

void Pump::serve_ir_events(int ready) {
  if (ir_.valid() && (ready & EventLoop::WRITABLE)) ir_reader_.flush_acks(ir_.get());
  // One IR message per round, so that a flood of them cannot hold up the job.
  if (ir_.valid() && (ready & EventLoop::READABLE)) serve_ir();
}

void Pump::serve_data_events(int ready) {
  Flow flow = GO_ON;
  if (ready & EventLoop::READABLE) flow = read_printer();
  // Watched for writing only while the block holds bytes, so never in a round that
  // reads the input.
  if (flow == GO_ON && (ready & EventLoop::WRITABLE) && !input_side_is_input_ && data_.valid()) {
    flow = write_printer();
  }
  end_round(flow);
}

void Pump::serve_input_events(int) {
  if (round_ != GO_ON) return;
  end_round(read_input());
}

void Pump::end_round(Flow flow) {
  if (flow == GO_ON) return;
  round_ = flow;
  if (flow == STOP) loop_.stop();
}

Pump::Flow Pump::serve_ir() {
  IrReader::Result result = ir_reader_.read_ir_message(ir_.get());
  switch (result.status) {
    case IrReader::MESSAGE: {
      const char* name = condition_name(result.code);
      trace_.print("IR received:\n\tfrom : %s\n\t", settings_.printer_name.c_str());
      trace_.print("ir   : %s\n", name);
      trace_.print("\tlen  :%d\n\n", result.length);
      if (result.ack_dropped) trace_.print("IR acknowledgement dropped\n");
      if (result.code != 0)
        notifier_.dispatch_message(IR_MESSAGE, notifier_.condition_notification(name));
      break;
    }
    case IrReader::DISCARDED:
      trace_.print("IR message length %d ignored\n", result.length);
      break;
    case IrReader::CLOSED:
      // Nothing more will come: stop watching rather than spin on end of file.
      trace_.print("IR connection closed\n");
      ir_.reset();
      ir_reader_.reset();
      break;
    case IrReader::PENDING:
      break;
  }
  return GO_ON;
}

Pump::Flow Pump::read_printer() {
  char buffer[BLOCK_SIZE];
  ssize_t n = read(data_.get(), buffer, sizeof buffer);
  if (n < 0) {
    int error = errno;
    if (retry_later(error)) return GO_ON;
    if (check_lost_connection(n, error) == FATAL) return STOP;
    return handle_loss();
  }
  if (n == 0) {
    trace_.print("Printer closed\n");
    data_.reset();
    if (input_ended_) {
      trace_.print("Connection closed, exiting.\n");
      return stop(NETFEEDER_OK);
    }
    printer_closed_ = true;
    // Bytes of the current block not yet written are sent on a new connection
    // rather than overwritten by the next block.
    if (unsent_ > 0) reopen_for_block();
    return NEXT_ITERATION;
  }
  if (settings_.device_mode()) {
    trace_.print("Writing to slave pty\n");
    // The master is non-blocking: what does not fit, because nobody reads the
    // device, is dropped.
    const char* p = buffer;
    size_t left = static_cast<size_t>(n);
    while (left > 0) {
      ssize_t w = write(input_, p, left);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) break;
      p += w;
      left -= static_cast<size_t>(w);
    }
  }
  if (settings_.raw) write_all(1, buffer, static_cast<size_t>(n));
  LineList response;
  response.add(response_text(buffer, static_cast<size_t>(n)));
  notifier_.dispatch_message(RESPONSE_MESSAGE, response);
  return GO_ON;
}

Pump::Flow Pump::read_input() {
  ssize_t n = read(input_, block_, sizeof block_);
  if (n < 0) {
    if (retry_later(errno)) return GO_ON;
    // A job that cannot be read in full is not reported as printed.
    write_all(2, strprintf("netfeeder: cannot read the job: %s\n", std::strerror(errno)));
    notifier_.finish_responses();
    return stop(NETFEEDER_FAILED);
  }
  if (n == 0) {
    trace_.print("Got eof\n");
    notifier_.finish_responses();
    if (printer_closed_) {
      data_.reset();
      ir_.reset();
      return stop(NETFEEDER_OK);
    }
    int result = shutdown(data_.get(), SHUT_WR);
    trace_.print("shutdown returned : %d\n", result);
    input_ended_ = true;
    return NEXT_ITERATION;
  }
  if (trace_.enabled) {
    std::string text(block_, static_cast<size_t>(n));
    trace_.print("Read #%d from user |%s|\n", static_cast<int>(n), text.c_str());
  }
  if (progress_fd_ >= 0) {
    progress_bytes_ += n;
    write_all(progress_fd_,
              strprintf("%s:%s:%lld:%s\n", settings_.job_name.c_str(), settings_.user.c_str(),
                        progress_bytes_, start_time_.c_str()));
  }
  cursor_ = 0;
  unsent_ = static_cast<size_t>(n);
  if (printer_closed_) {
    trace_.print("Reopening printer\n");
    data_ = link_.open_printer();
    printer_closed_ = false;
  }
  return GO_ON;
}

Pump::Flow Pump::write_printer() {
  errno = 0;
  ssize_t n = write(data_.get(), block_ + cursor_, unsent_);
  int error = n < 0 ? errno : 0;
  trace_.print("len = %d , errno = %d\n", static_cast<int>(n), error);
  if (n < 0) {
    if (retry_later(error)) return GO_ON;
    if (check_lost_connection(n, error) == FATAL) return STOP;
    return handle_loss();
  }
  cursor_ += static_cast<size_t>(n);
  unsent_ -= static_cast<size_t>(n);
  return GO_ON;
}

Pump::Loss Pump::check_lost_connection(ssize_t result, int error) {
  if (result >= 0) return NO_LOSS;
  switch (error) {
    case ENXIO:
    case ENETDOWN:
    case ENETRESET:
    case ECONNABORTED:
    case ECONNRESET:
    case ESHUTDOWN:
    case ETIMEDOUT:
      notifier_.dispatch_message(IR_MESSAGE, notifier_.lost_connection_notification());
      if (!settings_.device_mode()) {
        trace_.print("Connection was lost.  Exiting program.\n");
        notifier_.finish_responses();
        status_ = NETFEEDER_FAILED;
        return FATAL;
      }
      trace_.print("Connection was lost.  Continuing program.\n");
      return LOSS;
    default:
      return LOSS;
  }
}

Pump::Flow Pump::handle_loss() {
  trace_.print("Detected a lost connection.  Trying to resend packet.\n");
  printer_closed_ = true;
  data_.reset();
  ir_.reset();
  ir_reader_.reset();
  if (input_ended_) {
    // All of the job was sent before the loss; nothing is left to resend.
    return stop(NETFEEDER_OK);
  }
  ir_ = link_.open_ir_connection();
  if (unsent_ > 0) reopen_for_block();
  return NEXT_ITERATION;
}

void Pump::reopen_for_block() {
  data_ = link_.open_printer();
  printer_closed_ = false;
}
