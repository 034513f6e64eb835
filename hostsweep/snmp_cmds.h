// Discovery's SNMP queries: lists of MIB variables, SNMPv1 GET requests on one
// session (one UDP socket) per probed address, one completion call per request, and
// the SNMP row of the probe engine's select table.
//
// Requests and completions
// ------------------------
// get_new_session opens a session to an address and sends one GET request on it;
// get_on_session sends a follow-up request on a session that a completion was given.
// A session carries at most one outstanding request. Every request that was sent
// gets exactly one call of its completion, as (status, session, variables, argument):
//
//   SNMP_FAILED (-1)  no answer after all transmissions, or the request could not be
//                     sent; variables null
//   SNMP_ANSWERED (0) the agent answered with error-status 0; variables is the
//                     answer's list, valid only during the call (null when empty)
//   1 to 5            the agent's error-status (SNMP_ERR_TOOBIG ... SNMP_ERR_GENERR,
//                     2 is noSuchName); variables null
// A message with the request's id that is not a GET response (a request PDU sent
// back) gives its error-status, usually 0, with variables null.
//
// The completion returns SNMP_CLOSE_SESSION (2) to end the session, or
// SNMP_KEEP_SESSION (1, any other value counts as 1) when it has sent a follow-up
// with get_on_session. A session is closed after a completion returned 2, after a
// time-out (whatever the completion returned), and after a follow-up could not be
// sent; the closing happens once the library call that led to it (its read, or the
// processing of due deadlines) has returned, never inside a completion. From the
// moment the completion that ends a session returns, the session must not be used.
//
// Completions run inside snmp_prepare, snmp_expire and snmp_read (and inside
// get_on_session, see there); they may start new sessions and follow-ups.
//
// Retransmission schedule
// -----------------------
// The library's own retransmission is not used (its retries count retransmissions
// with a fixed time-out); the layer keeps a deadline per request. `retries` counts
// every transmission, the first one included. When the deadline passes and fewer
// than `retries` transmissions were made, the request is sent again (the same
// request id, so an answer to any transmission completes it); otherwise it times
// out. The wait after each of the first three transmissions is the time-out; from
// the fourth on, it doubles each time, capped at SNMP_MAX_WAIT_US. With the defaults
// (3 s, 4) a silent address gets datagrams at 0, 3, 6 and 9 s and its request times
// out at 15 s; with retries 1 (or less) it is sent once and times out after one
// time-out. Deadlines count from the moment a transmission is made. The client
// sockets are not connected, so a closed port (ICMP port unreachable) is a time-out
// too. Answers that arrive after their request completed, or that belong to no
// request of the session, are dropped.
//
// Output
// ------
// add_variable prints on the given standard output and standard error, as the
// program's texts require. The debug file gets (bit DEBUG_SNMP = 2, DEBUG_ENGINE = 8):
//   sending, bit 2: a framed list of the variables ("| Get the following SNMP
//     Variables from %s:\n" on a new session, "| Gets the following SNMP Variables
//     from %s:\n" on an open one, then "| " and each variable's name);
//   a send that fails, bit 8: "| SNMP network send error\n";
//   every answer and time-out, bit 8 or 2: "| Got SNMP response from :%s\n";
//   a time-out, bit 2: "| SNMP Timeout has occured\n";
//   an error-status, bit 2: "| SNMP Error has occured on %s: " (a GET response) or
//     "| SNMP Error has occured on %s :" (another kind of message), with the agent's
//     address, then the error's name ("ERR_TOOBIG\n" ... "ERR_GENERR\n"; "\n" for
//     any other value);
//   an answer, bit 2: a framed dump, "| Got SNMP Variables from: %s\n" and
//     "| name = value" per variable (value as render_value gives it).
// A frame line is "+" and 50 "-".
#pragma once

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <sys/select.h>
#include <sys/time.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/clock.h"
#include "hostsweep/mib_tree.h"

inline constexpr int SNMP_FAILED = -1;
inline constexpr int SNMP_ANSWERED = 0;
inline constexpr int SNMP_KEEP_SESSION = 1;
inline constexpr int SNMP_CLOSE_SESSION = 2;

// The community used when the read community is empty.
inline constexpr const char* SNMP_LIBRARY_COMMUNITY = "tessel";
inline constexpr long long SNMP_MAX_WAIT_US = 30000000;
inline constexpr int SNMP_FRAME_DASHES = 50;

// The wait, in microseconds, after the `transmission`-th transmission (1 for the
// first) of a request on a session with time-out `timeout_us` (a negative one counts
// as 0).
long long snmp_wait_us(long long timeout_us, int transmission);

// The variables of one request, in order; each name holds at most
// MIB_MAX_OID_LENGTH sub-identifiers. Built with SnmpQueries::add_variable.
struct SnmpVariableList {
  std::vector<std::vector<oid>> names;
};

class SnmpQueries;
class SnmpSession;
using SnmpCompletion = std::function<int(int status, SnmpSession& session,
                                         const netsnmp_variable_list* variables, int argument)>;

struct SnmpSettings {
  std::string community = SNMP_LIBRARY_COMMUNITY;  // the read community; "" is the default
  long long timeout_us = 3000000;                  // the wait after each early transmission
  int retries = 4;                                 // transmissions in all
  std::string name_prefix = MIB_DEFAULT_PREFIX;    // for names not beginning with "."
  bool suffix_names = false;       // SUFFIX set: dumps name variables by their last object only
  int debug = 0;                   // the debug level (its bits 2 and 8)
  FILE* debug_file = nullptr;      // debug output; none when null
  FILE* standard_output = stdout;  // add_variable's message
  FILE* standard_error = stderr;   // the MIB tree's conversion errors
};

// The request record: the caller's completion and argument, and the state of its
// transmissions. Owned by its session from the send until its completion returns.
struct SnmpRequest {
  struct PduFree {
    void operator()(netsnmp_pdu* pdu) const { snmp_free_pdu(pdu); }
  };

  SnmpCompletion completion;
  int argument = 0;
  long request_id = 0;
  std::unique_ptr<netsnmp_pdu, PduFree> pdu;  // what every transmission sends a copy of
  int transmissions = 0;
  Clock::TimePoint deadline;
};

// One open session: one UDP socket to one agent.
class SnmpSession {
 public:
  // The agent's dotted address as given to get_new_session.
  const std::string& address() const { return address_; }
  // The session's socket.
  int descriptor() const { return fd_; }

 private:
  friend class SnmpQueries;

  SnmpQueries* owner_ = nullptr;
  std::string address_;
  void* handle_ = nullptr;  // the library's single-session handle
  int fd_ = -1;
  std::unique_ptr<SnmpRequest> request_;  // the outstanding request, if any
  bool closing_ = false;                  // closed at the end of the current library call
  long sending_id_ = 0;                   // the request id being handed to the library
  bool send_failed_ = false;              // the library reported that send as failed
};

enum class AddVariable {
  ADDED,
  SKIPPED,         // not converted; the messages were printed
  MIB_NOT_LOADED,  // nothing printed: the program prints "Mib not initialized.  Exiting.\n"
                   // on standard error and exits with status 1
};

// The layer's whole state for one run: its settings, its sessions and their
// requests. Single-threaded; not re-entrant except through completions as stated.
class SnmpQueries {
 public:
  // `tree` and `clock` must outlive the layer.
  SnmpQueries(const MibTree& tree, SnmpSettings settings, Clock& clock = real_clock());
  // Closes every session. Requests still outstanding get no completion (the run is
  // over).
  ~SnmpQueries();
  SnmpQueries(const SnmpQueries&) = delete;
  SnmpQueries& operator=(const SnmpQueries&) = delete;

  // Appends the object identifier of `name` (see MibTree::name_to_oid; names not
  // beginning with "." are taken after the settings' prefix) to `list`. A name that
  // does not convert is skipped: the tree's error text goes to standard error, then
  // "Invalid object identifier: %s\n" with the name to standard output.
  AddVariable add_variable(SnmpVariableList& list, std::string_view name);

  // Opens a session to `address` (a dotted IPv4 address: names are never looked up)
  // on port 161 and sends one GET request for `variables` on it. 0: sent, the
  // completion will be called once. -1: nothing will be called and no session
  // remains, because the address is not dotted, no socket could be opened (or its
  // descriptor is at or above FD_SETSIZE), or the request could not be sent (then
  // with bit 8 "| SNMP network send error\n").
  int get_new_session(const std::string& address, const SnmpVariableList& variables,
                      SnmpCompletion completion, int argument);
  // Sends one GET request for `variables` on `session`, which must have no
  // outstanding request (call it from the completion of the previous one). 0: sent,
  // the completion will be called once. -1: not sent, and the completion has already
  // been called with SNMP_FAILED before this returns: when the send failed (with
  // bit 8 "| SNMP network send error\n"; the session is then closed once the
  // completion that called this has returned, whatever it returned), when the
  // session is closing, or when it still has an outstanding request.
  int get_on_session(SnmpSession& session, const SnmpVariableList& variables,
                     SnmpCompletion completion, int argument);

  // The datagram of a GET request for `variables` with `request_id`, as a session of
  // this layer would send it (SNMPv1, the read community); empty when it cannot be
  // encoded. For requests sent outside a session (the prescan).
  std::string encode_get(const SnmpVariableList& variables, long request_id) const;

  // The SNMP row of the select table. snmp_prepare adds every open session's socket
  // to `read` and raises `nfds` to one above the highest of them (as select takes
  // it). With a request outstanding it sets `blocking` to false and `timeout` to the
  // time until the earliest deadline, rounded up to the microsecond and never zero:
  // deadlines already due are processed first, as often as needed. With none it
  // leaves `blocking` and `timeout` as they came.
  void snmp_prepare(int& nfds, fd_set& read, timeval& timeout, bool& blocking);
  // Processes the deadlines that are due: retransmissions and time-outs.
  void snmp_expire();
  // Hands each session whose socket is in `read` to the library, which reads one
  // datagram and calls the dispatcher; then closes the sessions marked for closing.
  void snmp_read(fd_set& read);

  // Open sessions, which is the descriptors they hold (one each); sessions marked for
  // closing count until they are closed.
  size_t open_sessions() const { return sessions_.size(); }

 private:
  static int library_callback(int operation, netsnmp_session* library_session, int request_id,
                              netsnmp_pdu* pdu, void* magic);
  void dispatch_answer(SnmpSession& session, netsnmp_pdu* pdu);
  int send_request(SnmpSession& session, std::unique_ptr<SnmpRequest> request,
                   const SnmpVariableList& variables, bool new_session);
  bool transmit(SnmpSession& session);
  void time_out(SnmpSession& session);
  void process_deadlines(Clock::TimePoint now);
  bool next_deadline(Clock::TimePoint* deadline) const;
  void close_marked();
  void trace(int bits, const char* format, ...) __attribute__((format(printf, 3, 4)));
  void trace_frame(int bits);
  std::string variable_name(const oid* name, size_t length) const;

  const MibTree& tree_;
  SnmpSettings settings_;
  Clock& clock_;                                        // its steady time schedules the requests
  std::vector<std::unique_ptr<SnmpSession>> sessions_;  // in order of opening
  int depth_ = 0;  // nesting of the entry points; sessions close only at depth 0
  netsnmp_log_handler* quiet_log_ = nullptr;
};
