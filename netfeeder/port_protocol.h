// What the agent exchanges with the printer: host resolution and the three connection
// policies, the data connection with the multi-port print server's port header, the
// IR message and its acknowledgement, IR condition names and printable responses.
//
// Port header (big-endian), sent once at the start of every data connection to a
// multi-port print server:
//   0  2  count of the bytes from offset 4 to the end
//   2  1  0x00
//   3  1  0x08
//   4  1  print server port number as one ASCII digit ('0' + N)
//   5  3  0x00 0x01 0x00
//   8  .  header host name, job name, user (" " when empty), printer name (" " when
//         empty), each followed by one zero byte
//   .  7  0xFF x 6, 0x00
//
// IR message: byte 0 is the total length L (signed, 3..127), byte 1 the condition code
// (signed), byte 2 a status byte, bytes 3..L-1 are not interpreted. The
// acknowledgement is the same L bytes with byte 2 set to 0xFF. A message of length 1
// or 2 is dropped whole; a length byte of 0 or above 127 (negative) is dropped alone.
#pragma once

#include <sys/socket.h>

#include <string>
#include <string_view>

#include "netfeeder/options.h"
#include "common/clock.h"
#include "common/descriptors.h"
#include "netfeeder/trace.h"
#include "common/unique_fd.h"

// How connect_host treats a failed connection attempt:
//             refused               timed out / host unreachable     interrupted
// PROBE       next address          wait 5 s, retry (3 per call)     retry at once
// PERSISTENT  wait 15 s, retry      wait 5 s, retry (3 per call)     retry at once
// SINGLE      next address          next address                     next address
enum ConnectPolicy { PROBE, PERSISTENT, SINGLE };

inline constexpr unsigned RETRY_WAIT_SECONDS = 5;
inline constexpr unsigned REFUSED_WAIT_SECONDS = 15;
inline constexpr int RETRIES_PER_CALL = 3;

// The system calls connect_host depends on; tests script failures and skip waits.
class Dialer : public Sleeper {
 public:
  // connect(2) of `fd`; gives 0, or the error number of the failure.
  virtual int connect_socket(int fd, const sockaddr* address, socklen_t length);
};

// Ends the job: the host cannot be resolved, or its network is unreachable. The
// agent reports it and exits with status 0.
struct HostFailure {
  enum Kind { UNRESOLVED, UNREACHABLE };
  Kind kind;
  std::string host;
};

// Connects a stream socket to `port` (taken as an unsigned 16-bit value) of `host`
// (name, IPv4 or IPv6 literal, "%interface" for link-local), trying every address
// getaddrinfo gives in order under `policy`. Gives the connected socket
// (close-on-exec), or -1 when no address could be connected. Throws HostFailure.
int connect_host(const std::string& host, int port, ConnectPolicy policy, Dialer& dialer);

// The port header for the current settings.
std::string build_port_header(const Settings& settings);

// The data connection and the IR connection to the printer of `settings`.
class PrinterLink {
 public:
  PrinterLink(Settings& settings, Dialer& dialer, Trace& trace)
      : settings_(settings), dialer_(dialer), trace_(trace) {}

  // Gives a non-blocking data connection, waiting for the printer as long as it takes.
  // The first successful open detects a multi-port print server on port 9400 (unless
  // -p chose one) and switches tarragon mode on; in tarragon mode the port header is
  // sent first. Throws HostFailure.
  UniqueFd open_printer();
  // The IR connection (single attempt, non-blocking), or an invalid descriptor.
  UniqueFd open_ir_connection();

 private:
  Settings& settings_;
  Dialer& dialer_;
  Trace& trace_;
  bool opened_once_ = false;
};

// Reads IR messages as their bytes arrive on a non-blocking IR connection, and sends
// their acknowledgements without ever waiting for the peer: what the connection does
// not take at once is kept in a small backlog, sent when the connection has room.
class IrReader {
 public:
  // Most bytes of acknowledgements kept unsent: 8 of the longest. An acknowledgement
  // is kept whole or dropped whole, so that the peer never gets a cut one.
  static constexpr size_t kAckBacklogLimit = 1024;

  enum Status {
    MESSAGE,    // a whole message arrived and its acknowledgement was queued: `code`,
                // `length`; `ack_dropped` when the backlog had no room for it
    PENDING,    // part of a message (or nothing) so far
    DISCARDED,  // a length below 3: the bytes it declares are dropped, not acknowledged
    CLOSED,     // end of file or an error: the connection is of no more use
  };
  struct Result {
    Status status;
    int code = 0;
    int length = 0;
    bool ack_dropped = false;
  };

  // Reads what is available of the current message from `fd`.
  Result read_ir_message(int fd);
  // True while acknowledgements wait for room on the connection.
  bool wants_write() const { return !backlog_.empty(); }
  // Sends what the connection takes of the waiting acknowledgements. A failure other
  // than a full connection drops them all: the peer is not reading any more.
  void flush_acks(int fd);
  // Forgets a partly read message and the waiting acknowledgements (the connection
  // was replaced).
  void reset() {
    have_ = 0;
    backlog_.clear();
  }

 private:
  // Adds one acknowledgement to the backlog unless it does not fit; false when dropped.
  bool queue_ack(int fd, const unsigned char* ack, size_t size);

  unsigned char message_[127];
  int have_ = 0;
  std::string backlog_;
};

// The name of an IR condition code ("Unknown Problem" for codes not in the table).
const char* condition_name(int code);

// The printable text of printer output: bytes above 31 and newlines unchanged, other
// control bytes as "^" followed by the byte plus 64.
std::string response_text(const char* bytes, size_t n);

// Rows of 16 bytes: "| ", "%02x " per byte, a tab and the printable bytes ("." for
// others), a newline; a short last row is padded to line up.
std::string hex_dump(std::string_view bytes);
