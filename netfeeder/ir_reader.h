// The IR connection's messages: reading them as their bytes arrive, acknowledging
// them without waiting for the printer, and the names of their condition codes.
//
// IR message: byte 0 is the total length L (signed, 3..127), byte 1 the condition code
// (signed), byte 2 a status byte, bytes 3..L-1 are not interpreted. The
// acknowledgement is the same L bytes with byte 2 set to 0xFF. A message of length 1
// or 2 is dropped whole; a length byte of 0 or above 127 (negative) is dropped alone.
#pragma once

#include <cstddef>
#include <string>

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
