// The prescan of a search (-P): the first request of the identification sent to
// every address of the search list from one UDP socket, paced to a rate, then once
// more to the addresses that did not answer; the addresses that answered, in the
// list's order, are what the probe engine then searches.
//
// Requests and answers
// --------------------
// The request to the address at position i of the list (counting from 0) carries
// the request id base + 2 * i on the first pass and base + 2 * i + 1 on the second,
// with base chosen at random in [1, 2^30); the list holds at most
// PRESCAN_MAX_ADDRESSES addresses, so every id fits a positive 32-bit integer. Any
// SNMP message that comes back with one of these ids from the address it was sent to
// (values, an error-status, noSuchName: whatever it says) marks the address as
// alive; everything else is dropped.
//
// Schedule
// --------
// The first pass goes through the list in order; then the second pass goes through
// the addresses that have not answered, in order, each no earlier than the time-out
// (-t) after its first request; then the prescan waits the time-out after the last
// request of the second pass, or until every address answered. Every send waits for
// the pacer, and answers are read while waiting. A send that fails for another
// reason than a full buffer is counted as not sent and left.
//
// Debug output (bit DEBUG_ENGINE = 8): "Prescan of %zu addresses at %d packets/s\n"
// before, and "Prescan: sent %zu, resent %zu, alive %zu, not sent %zu, %ld.%03ld s\n"
// after (the counts of datagrams sent on the first and the second pass, the
// addresses that answered, the sends that failed, and the time taken).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/clock.h"
#include "hostsweep/search_list.h"

// Spaces sends evenly at `rate` per second, and never lets any one second hold more
// than `rate` of them: send k goes no earlier than one second after send k - rate
// ended. A caller that fell behind the even spacing catches up by at most
// kCatchUp's worth of sends.
class SendPacer {
 public:
  static constexpr std::chrono::milliseconds kCatchUp{20};

  // `rate` at least 1; `sends` is the most sends there will be (it bounds what is
  // kept of the past).
  SendPacer(int rate, size_t sends);

  // The earliest time the next send may start, for a caller ready at `now`.
  Clock::TimePoint next(Clock::TimePoint now) const;
  // The send that next gave `due` for has ended at `ended`.
  void sent(Clock::TimePoint due, Clock::TimePoint ended);

 private:
  std::chrono::nanoseconds interval_;
  std::vector<Clock::TimePoint> ended_;  // the ends of the last sends, as a ring
  size_t count_ = 0;
  Clock::TimePoint last_due_{};
};

// The request id of an SNMP message: a SEQUENCE of the version, the community and a
// PDU (any of the context tags 0xA0 to 0xA8) whose first field is an INTEGER of at
// most 4 bytes. None when the datagram is not such a message, or is cut short.
std::optional<long> snmp_message_request_id(std::span<const uint8_t> datagram);

struct PrescanSettings {
  int rate = 2000;                 // packets per second
  long long timeout_us = 3000000;  // how long a request is waited for
  int debug = 0;                   // the -d bit mask (bit 8)
  FILE* debug_file = nullptr;      // the debug stream; none when null
};

struct PrescanCounts {
  size_t addresses = 0;
  size_t sent = 0;    // first pass
  size_t resent = 0;  // second pass
  size_t alive = 0;
  size_t not_sent = 0;
};

class Prescan {
 public:
  // `request` gives the datagram of the request with a request id.
  Prescan(const PrescanSettings& settings, std::function<std::string(long request_id)> request,
          Clock& clock = real_clock());

  // Sweeps the addresses of `list` (iterating a copy) and fills `alive` with those
  // that answered, as hosts, in the list's order. 0, or -1 with a message in `err`
  // when the socket cannot be opened.
  int run(const SearchList& list, SearchList* alive, std::string* err);

  const PrescanCounts& counts() const { return counts_; }

 private:
  struct Sweep;
  bool send(Sweep& sweep, size_t index, int pass);
  void wait_for_answers(Sweep& sweep, Clock::TimePoint until);
  void read_answers(Sweep& sweep);
  void trace(const char* format, ...) __attribute__((format(printf, 2, 3)));

  PrescanSettings settings_;
  std::function<std::string(long)> request_;
  Clock& clock_;
  PrescanCounts counts_;
};
