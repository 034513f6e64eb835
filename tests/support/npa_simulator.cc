// The NPA print server of the tests.
#include "tests/support/npa_simulator.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace {

constexpr int kRequestPort = 9300;
constexpr int kAckPort = 9301;
constexpr size_t kRequestHeader = 13;  // INA header 7, NPA header 6
constexpr uint8_t kContinue = 0x20;

UniqueFd bind_udp(const std::string& address, int port) {
  UniqueFd fd(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  sockaddr_in in{};
  in.sin_family = AF_INET;
  in.sin_port = htons(static_cast<uint16_t>(port));
  if (!fd.valid() || inet_pton(AF_INET, address.c_str(), &in.sin_addr) != 1 ||
      bind(fd.get(), reinterpret_cast<sockaddr*>(&in), sizeof in) != 0) {
    throw std::runtime_error("cannot bind " + address + ":" + std::to_string(port) + ": " +
                             strerror(errno));
  }
  return fd;
}

void put16(std::string& out, unsigned value) {
  out += static_cast<char>(value >> 8 & 0xff);
  out += static_cast<char>(value & 0xff);
}

}  // namespace

std::string npa_reply_datagram(uint32_t packet_id, uint16_t ack, uint16_t sequence, uint8_t flags,
                               uint8_t subcommand, const std::string& data, uint8_t ina_port,
                               uint8_t command, int length) {
  std::string out;
  put16(out, 9);
  put16(out, ack);
  put16(out, sequence);
  out += static_cast<char>(ina_port);
  put16(out, packet_id >> 16);
  put16(out, packet_id & 0xffff);
  bool first = sequence == 0;
  out += '\xA5';
  put16(out, length >= 0 ? static_cast<unsigned>(length) : data.size() + (first ? 3 : 2));
  out += static_cast<char>(flags);
  out += static_cast<char>(command);
  if (first) out += static_cast<char>(subcommand);
  return out + data;
}

NpaSimulator::NpaSimulator(const std::string& address)
    : requests_fd_(bind_udp(address, kRequestPort)), acks_fd_(bind_udp(address, kAckPort)) {}

NpaSimulator::~NpaSimulator() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

void NpaSimulator::answer(const std::string& request, const NpaReply& reply) {
  std::lock_guard lock(mutex_);
  rules_.push_back({request, reply, 0});
}

void NpaSimulator::start() {
  thread_ = std::thread([this] {
    while (!stop_) pump(20);
  });
}

void NpaSimulator::serve(int wait_ms) { pump(wait_ms); }

void NpaSimulator::pump(int wait_ms) {
  pollfd ready[2] = {{requests_fd_.get(), POLLIN, 0}, {acks_fd_.get(), POLLIN, 0}};
  poll(ready, 2, wait_ms);
  char buffer[65536];
  for (bool got = true; got;) {
    got = false;
    sockaddr_in from{};
    socklen_t length = sizeof from;
    ssize_t n = recvfrom(requests_fd_.get(), buffer, sizeof buffer, MSG_DONTWAIT,
                         reinterpret_cast<sockaddr*>(&from), &length);
    if (n >= 0) {
      handle_request(std::string(buffer, static_cast<size_t>(n)), from);
      got = true;
    }
    n = recv(acks_fd_.get(), buffer, sizeof buffer, MSG_DONTWAIT);
    if (n >= 0) {
      std::lock_guard lock(mutex_);
      acks_.emplace_back(buffer, static_cast<size_t>(n));
      got = true;
    }
  }
}

void NpaSimulator::handle_request(const std::string& bytes, const sockaddr_in& from) {
  std::vector<std::string> datagrams;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back({bytes, from, std::chrono::steady_clock::now()});
    last_client_ = from;
    if (bytes.size() < kRequestHeader) return;
    auto at = [&bytes](size_t i) { return static_cast<uint8_t>(bytes[i]); };
    uint32_t packet_id = uint32_t{at(3)} << 24 | uint32_t{at(4)} << 16 | at(5) << 8 | at(6);
    uint8_t ina_port = at(2), command = at(11), subcommand = at(12);
    std::string key = bytes.substr(12);  // subcommand and data
    auto rule = std::find_if(rules_.begin(), rules_.end(), [&key](const Rule& r) {
      return key.compare(0, r.request.size(), r.request) == 0;
    });
    if (rule == rules_.end() || rule->seen++ < rule->reply.ignore) return;
    const NpaReply& reply = rule->reply;

    std::vector<std::string> pieces;
    size_t offset = 0;
    for (size_t size : reply.split) {
      pieces.push_back(reply.data.substr(std::min(offset, reply.data.size()), size));
      offset += size;
    }
    pieces.push_back(offset < reply.data.size() ? reply.data.substr(offset) : "");
    std::vector<int> order = reply.order;
    if (order.empty()) {
      for (size_t i = 0; i < pieces.size(); ++i) order.push_back(static_cast<int>(i));
    }
    for (int sequence : order) {
      auto i = static_cast<size_t>(sequence);
      uint8_t flags = i + 1 < pieces.size() ? reply.flags | kContinue : reply.flags;
      uint16_t ack = reply.ident == 0 ? 0 : static_cast<uint16_t>(reply.ident + sequence);
      datagrams.push_back(npa_reply_datagram(packet_id, ack, static_cast<uint16_t>(sequence), flags,
                                             subcommand, pieces.at(i), ina_port, command));
    }
  }
  for (const std::string& datagram : datagrams) {
    sendto(requests_fd_.get(), datagram.data(), datagram.size(), 0,
           reinterpret_cast<const sockaddr*>(&from), sizeof from);
  }
}

void NpaSimulator::send_raw(const std::string& bytes) {
  sockaddr_in to;
  {
    std::lock_guard lock(mutex_);
    to = last_client_;
  }
  sendto(requests_fd_.get(), bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to),
         sizeof to);
}

std::vector<NpaSimulator::Datagram> NpaSimulator::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::vector<std::string> NpaSimulator::acks() const {
  std::lock_guard lock(mutex_);
  return acks_;
}
