// The NPA client: commands over UDP to print servers, one command in flight per
// destination, retransmission, replies reassembled from several datagrams, and a
// completion call per command that wanted a reply. One UDP socket for the whole
// process, driven by discovery's select loop (npa_prepare, npa_expire, npa_read).
//
// Datagram sent (data length + 13 bytes; data of at most NPA_MAX_DATA bytes):
//   offset 0  INA header length, 16-bit big-endian, always 5
//          2  INA port
//          3  packet id, 32-bit big-endian
//          7  NPA start byte 0xA5
//          8  NPA length, 16-bit big-endian: data length + 3
//         10  NPA flags: 0x40 | reply wanted << 4
//         11  command
//         12  subcommand
//         13  data
//
// Datagram received (at most NPA_MAX_DATAGRAM bytes):
//   offset 0  INA header length L, 16-bit big-endian, at least 5
//          2  acknowledgement number, 16-bit big-endian
//          4  sequence number, 16-bit big-endian
//          6  INA port
//          7  packet id, 32-bit big-endian, when L is not 5 (then L is at least 9)
//      L + 2  the NPA part (npa_commands.h): for sequence number 0 a 6-byte header,
//             for later ones a 5-byte header without subcommand, then data
// Dropped before anything else is read from it: a datagram shorter than its INA
// header, an NPA part of 4 bytes or less or shorter than its header ("| SHORT PACKET
// DETECTED.  DISCARDING\n"), and one whose NPA length field + 3 is not the size of its
// NPA part. A datagram that no active connection or waiting session wants ("No
// session wants this data!!!!!\n") is dropped without acknowledgement; every other
// datagram with a non-zero acknowledgement number is acknowledged by sending those
// two bytes back to the peer's UDP port NPA_ACK_PORT, duplicates included.
//
// Timers count on the seconds clock (Clock::now): a command that wants a reply is
// sent again NPA_RESEND_SECONDS after each send until it was sent NPA_SENDS times;
// when the next resend falls due its completion gets NPA_TIMEOUT. The first datagram
// of a reply stops the resending and opens an active connection, whose reply must be
// complete within NPA_CONNECTION_SECONDS or the completion gets NPA_CONNECT_TIMEOUT.
//
// A completion may call npa_send (a command to the destination it came from waits
// until the ending command has left the queue). After the completion of a session
// without NPA_KEEP_SESSION, the session and its command are gone and the next
// queued command to that destination is sent; a connection time-out ends the
// command the same way, so no destination waits behind a reply that never ends.
// With NPA_KEEP_SESSION the session stays for further (unsolicited) replies while
// the command still leaves the queue.
//
// Debug output (debug bit DEBUG_NPA unless named): every datagram sent ("| INA
// Header: ..." and npa_trace_header) and received ("| INA Receive Header: ..." and
// npa_trace_header), each reason of a drop, "| Already recieved this packet\n",
// "Missing packet from response\n", "| GOT AN OUT OF DATE DSA.  DISCARDING IT\n",
// "| Calling callback routine with NPA_TIMEOUT.\n" and "... NPA_CONNECT_TIMEOUT.\n",
// a short send ("npa_send: ERROR-- sendto sent %d bytes out of %d.  errno = %d\n"),
// a receive error ("recv:error len = %d errno =%d\n"), an INA header length above
// 10240 ("BAD BAD --> ina count = %d.  bytes = %02x %02x\n"); with DEBUG_NPA_TIMER
// "| TIMEOUT a of session.\n" for each resend timer that falls due.
#pragma once

#include <netinet/in.h>
#include <sys/select.h>
#include <sys/time.h>
#include <time.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <span>

#include "common/clock.h"
#include "common/unique_fd.h"
#include "npa/npa_commands.h"
#include "npa/ov_malloc.h"

// npa_init's results.
inline constexpr int NPA_OK = 0;
inline constexpr int NPA_NO_SOCKET = 3;  // discovery goes on without NPA

inline constexpr uint16_t NPA_UDP_PORT = 9300;
inline constexpr uint16_t NPA_ACK_PORT = 9301;
inline constexpr size_t NPA_MAX_DATAGRAM = 1500;
inline constexpr size_t NPA_MAX_DATA = 252;  // the length field's high byte is always 0
inline constexpr int NPA_INA_HEADER_LENGTH = 5;
inline constexpr int NPA_MAX_INA_HEADER_LENGTH = 10240;  // larger ones are traced as bad
inline constexpr time_t NPA_RESEND_SECONDS = 5;
inline constexpr int NPA_SENDS = 4;
inline constexpr time_t NPA_CONNECTION_SECONDS = 30;

// Session statuses given to completions; any other value is the reply's error flags
// (NPA_CMD_REJECTED, NPA_DATA_ERROR, NPA_CMD_ERROR, NPA_ADV_ERROR).
inline constexpr uint8_t NPA_REPLY_RECEIVED = 0;
inline constexpr uint8_t NPA_TIMEOUT = 1;          // no reply after all sends
inline constexpr uint8_t NPA_CONNECT_TIMEOUT = 2;  // a multi-datagram reply not completed

// Session flags.
inline constexpr uint8_t NPA_KEEP_SESSION = 0x80;     // keep after a reply (unsolicited replies)
inline constexpr uint8_t NPA_ANY_SUBCOMMAND = 0x40;   // match without the subcommand, store it
inline constexpr uint8_t NPA_SEPARATE_BLOCKS = 0x20;  // do not join the reply blocks
inline constexpr uint8_t NPA_DEQUEUE_AT_SEND = 0x08;  // the command leaves the queue once sent
inline constexpr uint8_t NPA_ANY_INA_PORT = 0x04;     // match replies that come with INA port 0

using NpaBytes = OvVector<uint8_t>;

struct NpaSession;
using NpaCompletion = std::function<void(NpaSession& session)>;

// One block of a reply: its sequence number and its data.
struct NpaBlock {
  uint16_t sequence = 0;
  NpaBytes data;
};

struct NpaCommand {
  uint8_t session_flags = 0;
  uint8_t command = 0;
  uint8_t subcommand = 0;
  NpaBytes data;
  uint32_t packet_id = 0;  // from the process-wide counter, when queued
  uint8_t reply_wanted = 0;
  NpaCompletion completion;
  void* user_data = nullptr;
  uint64_t session = 0;  // the serial of the session made for it; 0 none
};

// One per destination (socket address and INA port): its queue, whose head is the
// command in flight, and the resend timer of that command.
struct NpaSendHost {
  sockaddr_in destination{};
  uint8_t ina_port = 0;
  OvDeque<NpaCommand> queue;
  uint64_t current_session = 0;  // the session of the command in flight; 0 none
  time_t resend_deadline = 0;    // 0: no timer
  int send_count = 0;
};

// What waits for a reply, and what a completion receives.
struct NpaSession {
  sockaddr_in destination{};
  uint8_t ina_port = 0;
  uint8_t flags = 0;  // session flags
  uint8_t command = 0;
  uint8_t subcommand = 0;
  uint16_t blocks_received = 0;
  uint16_t blocks_expected = 0;
  OvVector<NpaBlock> blocks;  // after assembly one block holding the whole reply
  NpaCompletion completion;
  void* user_data = nullptr;
  uint8_t status = NPA_REPLY_RECEIVED;
  uint8_t type = 0;  // the command's reply-wanted value
  uint32_t packet_id = 0;
  uint16_t server_ident = 0;
  uint16_t last_alert_sequence = 0;
  NpaSendHost* send_host = nullptr;
  uint64_t serial = 0;  // tells sessions and their copies apart

  // The assembled reply (the data of the first block; empty when none arrived).
  std::span<const uint8_t> reply() const;
};

struct NpaDebug {
  int level = 0;        // the -d bit mask
  FILE* out = nullptr;  // the debug stream
};

class NpaTransport {
 public:
  explicit NpaTransport(NpaDebug debug = {}, Clock& clock = real_clock());
  NpaTransport(const NpaTransport&) = delete;
  NpaTransport& operator=(const NpaTransport&) = delete;

  // Opens the socket and binds it to any local address and port. On failure prints
  // "npa_init: can't open datagram socket\n" or "npa_init: Can not bind NPA\n" on
  // standard output and gives NPA_NO_SOCKET (every command then times out).
  int npa_init();
  int fd() const { return socket_.get(); }

  // Queues a command for the destination (`destination`, `ina_port`); it is sent at
  // once when nothing is queued there before it. A command with `reply_wanted`
  // gets exactly one call of `completion` (with `user_data` in the session) when
  // its reply arrived or it timed out; one without a reply has no completion. -1
  // (nothing queued) when `data` is longer than NPA_MAX_DATA bytes, else 0.
  int npa_send(const sockaddr_in& destination, uint8_t ina_port, uint8_t session_flags,
               uint8_t command, uint8_t subcommand, std::span<const uint8_t> data,
               uint8_t reply_wanted, NpaCompletion completion, void* user_data);

  // The NPA row of the select table: processes due timers, adds the socket to `read`
  // (raising `nfds`) and, with a timer pending, clears `block` and sets `timeout` to
  // the whole seconds until it.
  void npa_prepare(int& nfds, fd_set& read, timeval& timeout, bool& block);
  // Processes due timers; gives the seconds until the next one, 0 when none is
  // pending.
  time_t npa_expire();
  // Reads and handles one datagram, if one is there.
  void npa_read();

 private:
  struct Connection {
    NpaSession session;  // a copy of the matched session, receiving the blocks
    time_t expiry = 0;
  };

  NpaSendHost& find_send_host(const sockaddr_in& destination, uint8_t ina_port);
  uint32_t next_packet_id();
  void send_head(NpaSendHost& host);
  void transmit(NpaSendHost& host, const NpaCommand& command);
  void npa_timeout(NpaSendHost& host);
  // Ends the command of session `serial`: removes the session (unless it keeps
  // itself) and its connections and, when it is its host's command in flight, takes
  // the command from the queue and sends the next.
  void end_session(uint64_t serial);
  void handle_datagram(std::span<const uint8_t> datagram, const sockaddr_in& from);
  bool complete_reply(Connection& connection);
  void deliver(OvList<Connection>::iterator connection);
  NpaSession* find_session(uint64_t serial);
  Connection* find_connection(const sockaddr_in& from, uint8_t ina_port, uint8_t command,
                              uint8_t type, uint16_t ident, uint32_t packet_id);
  NpaSession* find_waiting_session(const sockaddr_in& from, uint8_t ina_port, uint8_t command,
                                   const uint8_t* subcommand, uint8_t type, uint32_t packet_id);
  void acknowledge(const sockaddr_in& from, const uint8_t ack[2]);
  bool tracing(int bit) const { return (debug_.level & bit) != 0 && debug_.out; }
  void trace(int bit, const char* format, ...) __attribute__((format(printf, 3, 4)));

  NpaDebug debug_;
  Clock& clock_;
  UniqueFd socket_;
  uint32_t packet_ids_ = 0;
  uint64_t serials_ = 0;
  struct DestinationLess {
    bool operator()(const std::pair<sockaddr_in, uint8_t>& a,
                    const std::pair<sockaddr_in, uint8_t>& b) const;
  };
  OvMap<std::pair<sockaddr_in, uint8_t>, NpaSendHost, DestinationLess> send_hosts_;
  OvList<NpaSession> sessions_;
  OvList<Connection> connections_;
};
