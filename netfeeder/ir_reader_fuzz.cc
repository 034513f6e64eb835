// Fuzz target of the IR reader over a socket pair: the input scripts a printer that
// writes IR bytes, may stop reading acknowledgements (so that the connection fills)
// and may close. Checks every result against the framing rules of ir_reader.h and
// every acknowledgement byte the printer reads against the messages acknowledged.
//
// Input: a sequence of operations, one byte each (some followed by an argument):
//   0 n   the printer writes the next n bytes of the input
//   1     the agent reads (read_ir_message until nothing more is there)
//   2 n   the printer reads up to 8n bytes of acknowledgements
//   3     the agent flushes its acknowledgements
//   4     the printer stops writing (shutdown), and the second time closes
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "netfeeder/ir_reader.h"

namespace {

class Script {
 public:
  Script(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool done() const { return at_ == size_; }
  uint8_t next() { return at_ < size_ ? data_[at_++] : 0; }
  std::string take(size_t n) {
    n = std::min(n, size_ - at_);
    std::string bytes(reinterpret_cast<const char*>(data_ + at_), n);
    at_ += n;
    return bytes;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

// What the reader must report for the bytes the printer wrote: the framing of
// ir_reader.h applied to the byte stream.
class Model {
 public:
  void wrote(const std::string& bytes) { stream_ += bytes; }
  // The next complete event at the front of the stream, removing it; false when the
  // stream holds no complete event.
  bool next(IrReader::Result* expected, std::string* message) {
    if (stream_.empty()) return false;
    int length = static_cast<signed char>(stream_[0]);
    if (length < 1) {
      stream_.erase(0, 1);
      *expected = {IrReader::DISCARDED, 0, length};
      return true;
    }
    if (stream_.size() < static_cast<size_t>(length)) return false;
    *message = stream_.substr(0, static_cast<size_t>(length));
    stream_.erase(0, static_cast<size_t>(length));
    if (length < 3) {
      *expected = {IrReader::DISCARDED, 0, length};
    } else {
      *expected = {IrReader::MESSAGE, static_cast<signed char>((*message)[1]), length};
    }
    return true;
  }

 private:
  std::string stream_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) __builtin_trap();
  int agent = fds[0], printer = fds[1];
  // Small buffers, so that a printer which stops reading fills the connection soon.
  int small = 1;
  setsockopt(agent, SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
  setsockopt(printer, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
  fcntl(agent, F_SETFL, O_NONBLOCK);
  fcntl(printer, F_SETFL, O_NONBLOCK);

  IrReader reader;
  Model model;
  std::string acks;  // acknowledged messages the printer has not read yet
  bool printer_writes = true, printer_open = true, agent_closed = false;
  Script script(data, size);
  while (!script.done()) {
    switch (script.next() % 5) {
      case 0: {
        std::string bytes = script.take(script.next());
        if (!printer_writes || bytes.empty()) break;
        ssize_t n = send(printer, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) model.wrote(bytes.substr(0, static_cast<size_t>(n)));
        break;
      }
      case 1:
        for (int round = 0; round < 200 && !agent_closed; ++round) {
          IrReader::Result result = reader.read_ir_message(agent);
          if (result.status == IrReader::PENDING) break;
          if (result.status == IrReader::CLOSED) {
            // Only once the printer has stopped writing.
            if (printer_writes) __builtin_trap();
            agent_closed = true;
            break;
          }
          IrReader::Result expected;
          std::string message;
          if (!model.next(&expected, &message)) __builtin_trap();
          if (result.status != expected.status || result.code != expected.code ||
              result.length != expected.length) {
            __builtin_trap();
          }
          if (result.status == IrReader::MESSAGE && !result.ack_dropped && printer_open) {
            message[2] = '\xff';
            acks += message;
          }
        }
        break;
      case 2: {
        size_t want = 8 * size_t{script.next()};
        if (!printer_open || want == 0) break;
        std::string got(want, '\0');
        ssize_t n = recv(printer, got.data(), want, MSG_DONTWAIT);
        if (n <= 0) break;
        got.resize(static_cast<size_t>(n));
        if (acks.compare(0, got.size(), got) != 0) __builtin_trap();
        acks.erase(0, got.size());
        break;
      }
      case 3:
        reader.flush_acks(agent);
        break;
      case 4:
        if (printer_writes) {
          shutdown(printer, SHUT_WR);
          printer_writes = false;
        } else if (printer_open) {
          close(printer);
          printer_open = false;
        }
        break;
    }
  }
  if (printer_open) close(printer);
  close(agent);
  return 0;
}
