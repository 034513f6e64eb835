// IR messages, their acknowledgements and condition names.
#include "netfeeder/ir_reader.h"

#include <errno.h>
#include <sys/socket.h>

#include "common/io.h"

namespace {

bool would_block() { return errno == EAGAIN || errno == EWOULDBLOCK; }

// A byte of the message read as the signed number the printer means by it.
int signed_byte(unsigned char byte) { return byte < 128 ? byte : byte - 256; }

}  // namespace

IrReader::Result IrReader::read_ir_message(int fd) {
  if (have_ == 0) {
    ssize_t n = read_retry(fd, message_, 1);
    if (n == 0) return {CLOSED};
    if (n < 0) return {would_block() ? PENDING : CLOSED};
    int length = signed_byte(message_[0]);
    // Without a length that counts itself there is no telling where the next
    // message starts: only this byte goes.
    if (length < 1) return {DISCARDED, 0, length};
    have_ = 1;
  }
  int length = signed_byte(message_[0]);
  while (have_ < length) {
    ssize_t n = read_retry(fd, message_ + have_, static_cast<size_t>(length - have_));
    if (n < 0 && would_block()) return {PENDING};
    if (n <= 0) {
      have_ = 0;  // a message cut short is never reported
      return {CLOSED};
    }
    have_ += static_cast<int>(n);
  }
  have_ = 0;
  // Too short to carry a condition: its bytes are dropped so that the framing holds.
  if (length < 3) return {DISCARDED, 0, length};
  message_[2] = 0xFF;
  bool queued = queue_ack(fd, message_, static_cast<size_t>(length));
  return {MESSAGE, signed_byte(message_[1]), length, !queued};
}

bool IrReader::queue_ack(int fd, const unsigned char* ack, size_t size) {
  flush_acks(fd);  // the peer may have made room since the last acknowledgement
  if (backlog_.size() + size > kAckBacklogLimit) return false;
  backlog_.append(reinterpret_cast<const char*>(ack), size);
  flush_acks(fd);
  return true;
}

void IrReader::flush_acks(int fd) {
  while (!backlog_.empty()) {
    // Never waits, and a peer that has gone away does not end the agent (no SIGPIPE).
    ssize_t n = send(fd, backlog_.data(), backlog_.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      backlog_.erase(0, static_cast<size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && would_block()) {
      return;
    } else {
      backlog_.clear();
      return;
    }
  }
}

const char* condition_name(int code) {
  struct Codes {
    int first, last;
    const char* name;
  };
  static constexpr Codes kNames[] = {
      {0, 0, "Clear"},
      {1, 14, "Service Printer"},
      {15, 15, "Job Error"},
      {16, 16, "Paper Jam"},
      {17, 17, "Change Paper"},
      {18, 18, "Output Full"},
      {19, 20, "Job Error"},
      {21, 21, "Printer Error"},
      {22, 23, "Job Error"},
      {24, 24, "Service Printer"},
      {25, 25, "Printer Error"},
      {26, 29, "Job Error"},
      {30, 30, "Printer Error"},
      {31, 31, "Job Error"},
      {32, 32, "Service Printer"},
      {33, 36, "Disk Failure"},
      {37, 37, "Job Error"},
      {38, 38, "Printer Error"},
      {39, 42, "Paper Jam"},
      {43, 43, "Load Paper"},
      {44, 44, "Toner Low"},
      {45, 46, "Cover Open"},
      {47, 47, "Off line"},
      {64, 65, "Printer Error"},
      {112, 112, "Busy"},
      {127, 127, "Port Timeout"},
  };
  for (const Codes& codes : kNames) {
    if (code >= codes.first && code <= codes.last) return codes.name;
  }
  return "Unknown Problem";
}
