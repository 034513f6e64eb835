// Test support: an SNMP responder farm on loopback, for sweeps of whole networks. One
// thread answers SNMPv1 GET requests on UDP port 161 for a chosen set of addresses
// (one socket bound to each, so that answers leave from the address asked and no
// other test's port 161 is touched), as an SNMPv1 agent would: the served values, or
// noSuchName with the request's variables when one is not served; requests with
// another community get nothing. Every other address stays silent. A share of the
// requests, chosen at random, and the first requests to chosen addresses are
// dropped unanswered.
//
// A tap (a packet socket on the loopback device, so root only) records the time of
// every datagram sent to port 161 of any address of a chosen network, answered or
// not: what a sweep sends, and when.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/unique_fd.h"
#include "tests/support/snmp_agent.h"

struct FarmPrinter {
  std::string address;  // dotted
  std::vector<SnmpServedValue> values;
};

struct SnmpFarmSettings {
  std::vector<FarmPrinter> printers;
  std::string community = "tessel";
  double drop_share = 0;  // of the requests reaching the printers, 0 to 1
  unsigned seed = 1;      // of the random drops
  // The tapped network, as first address and prefix length; no tap when empty.
  std::string tap_network;
  int tap_prefix = 0;
};

class SnmpFarm {
 public:
  // One request that reached a printer.
  struct Request {
    std::string to;  // the printer's address
    in_port_t from_port = 0;
    long request_id = -1;  // -1: not an SNMP message
    bool dropped = false;
    std::string bytes;
  };
  // One datagram the tap saw.
  struct Tapped {
    std::chrono::nanoseconds at;  // the kernel's time stamp (system clock)
    std::string to;
    in_port_t from_port = 0;
    long request_id = -1;
  };

  // Binds the printers' addresses and opens the tap, then serves in a thread of its
  // own. Where that cannot be done for want of privileges (port 161, the packet
  // socket) available() is false and nothing runs; any other failure throws.
  explicit SnmpFarm(SnmpFarmSettings settings);
  // Stops the thread.
  ~SnmpFarm();
  SnmpFarm(const SnmpFarm&) = delete;
  SnmpFarm& operator=(const SnmpFarm&) = delete;

  bool available() const { return running_; }
  const std::string& unavailable_reason() const { return reason_; }

  // The next `count` requests to `address` are dropped. Thread-safe.
  void drop_first(const std::string& address, int count);

  // What arrived so far, oldest first. Thread-safe.
  std::vector<Request> requests() const;
  std::vector<Tapped> tapped() const;
  // Datagrams the tap's socket lost (its buffer ran over).
  unsigned tap_drops() const;

  // The most datagrams in `datagrams` that fall into any window of one second (a
  // window [t, t + 1 s) for any t).
  static size_t highest_rate(const std::vector<Tapped>& datagrams);

 private:
  void serve();
  void answer(size_t printer);
  void read_tap();

  SnmpFarmSettings settings_;
  std::string reason_;
  std::vector<UniqueFd> sockets_;  // one per printer, in settings_.printers' order
  // Per printer: the encoded object identifier of each served variable, and its
  // encoded value.
  std::vector<std::map<std::string, std::string>> served_;
  UniqueFd tap_;
  uint32_t tap_first_ = 0, tap_mask_ = 0;  // host byte order
  std::thread thread_;
  std::atomic<bool> stop_{false};
  bool running_ = false;

  mutable std::mutex mutex_;  // guards what follows
  std::map<std::string, int> drop_first_;
  std::vector<Request> requests_;
  std::vector<Tapped> tapped_;
  uint64_t random_state_;
};
