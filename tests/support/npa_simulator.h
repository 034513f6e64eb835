// Test support: an NPA print server on a loopback address. It receives requests on
// UDP port 9300 and answers them as scripted (split over several datagrams sent in
// any order, duplicated, dropped, or not at all), records acknowledgements on port
// 9301, and keeps everything it received.
//
// It serves either in a thread of its own (start(), for program tests, where the
// program under test runs in another process) or when the test calls serve() (unit
// tests, which drive both ends themselves).
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/unique_fd.h"

// How the simulator answers a request.
struct NpaReply {
  std::string data;           // the whole reply data, after the NPA header
  uint8_t flags = 0x50;       // NPA flags (NPAP, required response); all but the last
                              // datagram also get 0x20 (continue)
  std::vector<size_t> split;  // data bytes in each datagram but the last; empty: one
  std::vector<int> order;     // the datagrams sent, by sequence number: a number twice is
                              // a duplicate, a number left out is dropped; empty: in order
  uint16_t ident = 7;         // server ident: acknowledgement number = ident + sequence;
                              // 0 sends acknowledgement numbers of 0 (nothing to acknowledge)
  int ignore = 0;             // matching requests left unanswered before answering
};

// One reply datagram: an INA header of length 9 (acknowledgement number, sequence
// number, INA port, packet id), the NPA header (with the subcommand for sequence 0
// only) and the data. `length` is the NPA length field (data + 3 or + 2 when -1).
std::string npa_reply_datagram(uint32_t packet_id, uint16_t ack, uint16_t sequence, uint8_t flags,
                               uint8_t subcommand, const std::string& data, uint8_t ina_port = 0x29,
                               uint8_t command = 0xE0, int length = -1);

class NpaSimulator {
 public:
  struct Datagram {
    std::string bytes;
    sockaddr_in from{};
    std::chrono::steady_clock::time_point at;
  };

  // Binds ADDRESS:9300 and ADDRESS:9301; throws when either cannot be bound.
  explicit NpaSimulator(const std::string& address);
  // Stops the thread, if it runs.
  ~NpaSimulator();
  NpaSimulator(const NpaSimulator&) = delete;
  NpaSimulator& operator=(const NpaSimulator&) = delete;

  // Requests whose subcommand and data begin with `request` are answered with
  // `reply`; the first matching rule wins, a request that matches none gets nothing.
  // Set the rules before serving.
  void answer(const std::string& request, const NpaReply& reply);
  // Serves in a thread of its own until destroyed.
  void start();
  // Handles what arrives within `wait_ms` and what is already there.
  void serve(int wait_ms = 0);
  // Sends `bytes` from port 9300 to the sender of the last request.
  void send_raw(const std::string& bytes);

  std::vector<Datagram> requests() const;
  std::vector<std::string> acks() const;

 private:
  struct Rule {
    std::string request;
    NpaReply reply;
    int seen = 0;
  };
  void handle_request(const std::string& bytes, const sockaddr_in& from);
  void pump(int wait_ms);

  UniqueFd requests_fd_, acks_fd_;
  mutable std::mutex mutex_;
  std::vector<Rule> rules_;
  std::vector<Datagram> requests_;
  std::vector<std::string> acks_;
  sockaddr_in last_client_{};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};
