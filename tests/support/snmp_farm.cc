// The SNMP responder farm: a small SNMPv1 agent per served address on one thread,
// and the tap on the loopback device.
#include "tests/support/snmp_farm.h"

#include <arpa/inet.h>
#include <errno.h>
#include <linux/filter.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/ip.h>
#include <netinet/udp.h>
#include <sys/epoll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <span>
#include <stdexcept>

namespace {

constexpr int kPort = 161;
constexpr uint32_t kTapKey = UINT32_MAX;
constexpr int kTapBuffer = 32 << 20;

// BER: one element's tag, contents and what follows it.
struct Element {
  uint8_t tag = 0;
  std::string_view contents;
  std::string_view rest;
};

std::optional<Element> read_element(std::string_view bytes) {
  if (bytes.size() < 2) return std::nullopt;
  Element element;
  element.tag = static_cast<uint8_t>(bytes[0]);
  size_t length = static_cast<uint8_t>(bytes[1]);
  size_t at = 2;
  if (length & 0x80) {
    size_t octets = length & 0x7F;
    if (octets == 0 || octets > 4 || bytes.size() < at + octets) return std::nullopt;
    length = 0;
    for (size_t i = 0; i < octets; ++i) length = length << 8 | static_cast<uint8_t>(bytes[at + i]);
    at += octets;
  }
  if (length > bytes.size() - at) return std::nullopt;
  element.contents = bytes.substr(at, length);
  element.rest = bytes.substr(at + length);
  return element;
}

std::string element(uint8_t tag, std::string_view contents) {
  std::string out(1, static_cast<char>(tag));
  size_t n = contents.size();
  if (n < 0x80) {
    out += static_cast<char>(n);
  } else {
    std::string octets;
    for (; n > 0; n >>= 8) octets.insert(octets.begin(), static_cast<char>(n & 0xFF));
    out += static_cast<char>(0x80 | octets.size());
    out += octets;
  }
  out.append(contents);
  return out;
}

std::string integer(long value) {
  std::string bytes;
  for (;;) {
    bytes.insert(bytes.begin(), static_cast<char>(value & 0xFF));
    long rest = value >> 8;
    bool sign = bytes.front() & 0x80;
    if ((rest == 0 && !sign) || (rest == -1 && sign)) break;
    value = rest;
  }
  return element(0x02, bytes);
}

// The contents of an OBJECT IDENTIFIER from its numeric dotted form ".1.3.6...".
std::string oid_contents(const std::string& text) {
  std::vector<unsigned long> arcs;
  for (size_t at = 0; at < text.size();) {
    size_t dot = text.find('.', at + 1);
    arcs.push_back(std::stoul(text.substr(at + 1, dot == std::string::npos ? dot : dot - at - 1)));
    at = dot == std::string::npos ? text.size() : dot;
  }
  if (arcs.size() < 2) throw std::invalid_argument("object identifier too short: " + text);
  std::string out(1, static_cast<char>(arcs[0] * 40 + arcs[1]));
  for (size_t i = 2; i < arcs.size(); ++i) {
    std::string base128;
    unsigned long arc = arcs[i];
    base128.insert(base128.begin(), static_cast<char>(arc & 0x7F));
    for (arc >>= 7; arc > 0; arc >>= 7) {
      base128.insert(base128.begin(), static_cast<char>(0x80 | (arc & 0x7F)));
    }
    out += base128;
  }
  return out;
}

std::string encoded_value(const SnmpServedValue& served) {
  if (served.type == SnmpServedValue::INTEGER) return integer(std::stol(served.value));
  return element(0x04, served.value);
}

// The request id of an SNMP message, or -1.
long request_id_of(std::string_view bytes) {
  auto message = read_element(bytes);
  auto version = message ? read_element(message->contents) : std::nullopt;
  auto community = version ? read_element(version->rest) : std::nullopt;
  auto pdu = community ? read_element(community->rest) : std::nullopt;
  auto id = pdu ? read_element(pdu->contents) : std::nullopt;
  if (!id || id->tag != 0x02 || id->contents.empty() || id->contents.size() > 4) return -1;
  long value = (id->contents[0] & 0x80) ? -1 : 0;
  for (char byte : id->contents) value = value * 256 + static_cast<uint8_t>(byte);
  return value;
}

sockaddr_in address_of(const std::string& text, int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (inet_pton(AF_INET, text.c_str(), &address.sin_addr) != 1) {
    throw std::invalid_argument("not a dotted address: " + text);
  }
  return address;
}

std::string dotted_of(in_addr_t address) {
  char text[INET_ADDRSTRLEN];
  inet_ntop(AF_INET, &address, text, sizeof text);
  return text;
}

bool privilege_error(int error) { return error == EACCES || error == EPERM; }

}  // namespace

SnmpFarm::SnmpFarm(SnmpFarmSettings settings)
    : settings_(std::move(settings)), random_state_(0x9E3779B97F4A7C15ULL ^ settings_.seed) {
  for (const FarmPrinter& printer : settings_.printers) {
    std::map<std::string, std::string> values;
    for (const SnmpServedValue& served : printer.values) {
      values[oid_contents(served.oid)] = encoded_value(served);
    }
    served_.push_back(std::move(values));
    UniqueFd fd(socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    sockaddr_in at = address_of(printer.address, kPort);
    if (!fd.valid() || bind(fd.get(), reinterpret_cast<sockaddr*>(&at), sizeof at) != 0) {
      if (privilege_error(errno)) {
        reason_ = "port 161 cannot be bound here (not root)";
        return;
      }
      throw std::runtime_error("cannot bind " + printer.address + ":161: " + strerror(errno));
    }
    sockets_.push_back(std::move(fd));
  }
  if (!settings_.tap_network.empty()) {
    tap_mask_ = settings_.tap_prefix == 0 ? 0 : ~0U << (32 - settings_.tap_prefix);
    tap_first_ = ntohl(address_of(settings_.tap_network, 0).sin_addr.s_addr) & tap_mask_;
    // No protocol yet: nothing arrives before the filter is in place.
    tap_.reset(socket(AF_PACKET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!tap_.valid()) {
      if (privilege_error(errno)) {
        reason_ = "no packet socket here (not root)";
        return;
      }
      throw std::runtime_error(std::string("packet socket: ") + strerror(errno));
    }
    // UDP to port 161 of the tapped network; offsets from the IP header.
    sock_filter code[] = {
        BPF_STMT(BPF_LD | BPF_B | BPF_ABS, 9),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, IPPROTO_UDP, 0, 7),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, 16),
        BPF_STMT(BPF_ALU | BPF_AND | BPF_K, tap_mask_),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, tap_first_, 0, 4),
        BPF_STMT(BPF_LDX | BPF_B | BPF_MSH, 0),
        BPF_STMT(BPF_LD | BPF_H | BPF_IND, 2),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kPort, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, 0x40000),
        BPF_STMT(BPF_RET | BPF_K, 0),
    };
    sock_fprog program{static_cast<unsigned short>(std::size(code)), code};
    int on = 1, size = kTapBuffer;
    if (setsockopt(tap_.get(), SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof program) != 0 ||
        setsockopt(tap_.get(), SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on) != 0) {
      throw std::runtime_error(std::string("packet socket options: ") + strerror(errno));
    }
    if (setsockopt(tap_.get(), SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0) {
      setsockopt(tap_.get(), SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    }
    sockaddr_ll device{};
    device.sll_family = AF_PACKET;
    device.sll_protocol = htons(ETH_P_IP);
    device.sll_ifindex = static_cast<int>(if_nametoindex("lo"));
    if (bind(tap_.get(), reinterpret_cast<sockaddr*>(&device), sizeof device) != 0) {
      throw std::runtime_error(std::string("packet socket bind: ") + strerror(errno));
    }
  }
  running_ = true;
  thread_ = std::thread([this] { serve(); });
}

SnmpFarm::~SnmpFarm() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

void SnmpFarm::drop_first(const std::string& address, int count) {
  std::lock_guard lock(mutex_);
  drop_first_[address] += count;
}

std::vector<SnmpFarm::Request> SnmpFarm::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::vector<SnmpFarm::Tapped> SnmpFarm::tapped() const {
  std::lock_guard lock(mutex_);
  return tapped_;
}

unsigned SnmpFarm::tap_drops() const {
  if (!tap_.valid()) return 0;
  tpacket_stats stats{};
  socklen_t length = sizeof stats;
  getsockopt(tap_.get(), SOL_PACKET, PACKET_STATISTICS, &stats, &length);
  return stats.tp_drops;
}

size_t SnmpFarm::highest_rate(const std::vector<Tapped>& datagrams) {
  std::vector<std::chrono::nanoseconds> times;
  for (const Tapped& t : datagrams) times.push_back(t.at);
  std::sort(times.begin(), times.end());
  size_t best = 0;
  for (size_t first = 0, end = 0; first < times.size(); ++first) {
    while (end < times.size() && times[end] < times[first] + std::chrono::seconds(1)) ++end;
    best = std::max(best, end - first);
  }
  return best;
}

void SnmpFarm::serve() {
  UniqueFd poller(epoll_create1(EPOLL_CLOEXEC));
  for (size_t i = 0; i < sockets_.size(); ++i) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u32 = static_cast<uint32_t>(i);
    epoll_ctl(poller.get(), EPOLL_CTL_ADD, sockets_[i].get(), &event);
  }
  if (tap_.valid()) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u32 = kTapKey;
    epoll_ctl(poller.get(), EPOLL_CTL_ADD, tap_.get(), &event);
  }
  epoll_event ready[64];
  while (!stop_) {
    int n = epoll_wait(poller.get(), ready, 64, 20);
    for (int i = 0; i < n; ++i) {
      if (ready[i].data.u32 == kTapKey) {
        read_tap();
      } else {
        answer(ready[i].data.u32);
      }
    }
  }
  read_tap();
}

void SnmpFarm::answer(size_t printer) {
  const std::string& address = settings_.printers[printer].address;
  char buffer[65536];
  for (;;) {
    sockaddr_in from{};
    socklen_t length = sizeof from;
    ssize_t n = recvfrom(sockets_[printer].get(), buffer, sizeof buffer, 0,
                         reinterpret_cast<sockaddr*>(&from), &length);
    if (n < 0) return;
    Request request;
    request.to = address;
    request.from_port = ntohs(from.sin_port);
    request.bytes.assign(buffer, static_cast<size_t>(n));
    request.request_id = request_id_of(request.bytes);
    {
      std::lock_guard lock(mutex_);
      int& first = drop_first_[address];
      if (first > 0) {
        --first;
        request.dropped = true;
      } else if (settings_.drop_share > 0) {
        // xorshift64: the same drops for the same seed and order of requests.
        random_state_ ^= random_state_ << 13;
        random_state_ ^= random_state_ >> 7;
        random_state_ ^= random_state_ << 17;
        request.dropped =
            static_cast<double>(random_state_ >> 11) / 9007199254740992.0 < settings_.drop_share;
      }
      requests_.push_back(request);
    }
    if (request.dropped) continue;

    // message: version, community, GET PDU (request id, error-status, error-index,
    // variable bindings).
    auto message = read_element(request.bytes);
    auto version = message ? read_element(message->contents) : std::nullopt;
    auto community = version ? read_element(version->rest) : std::nullopt;
    auto pdu = community ? read_element(community->rest) : std::nullopt;
    if (!pdu || pdu->tag != 0xA0 || community->contents != settings_.community) continue;
    auto id = read_element(pdu->contents);
    auto status = id ? read_element(id->rest) : std::nullopt;
    auto index = status ? read_element(status->rest) : std::nullopt;
    auto bindings = index ? read_element(index->rest) : std::nullopt;
    if (!bindings) continue;
    std::string values;
    long missing = 0;
    long position = 0;
    for (std::string_view rest = bindings->contents; !rest.empty();) {
      auto binding = read_element(rest);
      auto name = binding ? read_element(binding->contents) : std::nullopt;
      if (!name) break;
      rest = binding->rest;
      ++position;
      auto found = served_[printer].find(std::string(name->contents));
      if (found == served_[printer].end()) {
        if (missing == 0) missing = position;
        continue;
      }
      values += element(0x30, element(0x06, name->contents) + found->second);
    }
    // An SNMPv1 agent answers a variable it does not serve with noSuchName and the
    // request's variables.
    std::string answer_pdu = element(0x02, id->contents) + integer(missing ? 2 : 0) +
                             integer(missing) +
                             (missing ? element(0x30, bindings->contents) : element(0x30, values));
    std::string reply =
        element(0x30, integer(0) + element(0x04, community->contents) + element(0xA2, answer_pdu));
    sendto(sockets_[printer].get(), reply.data(), reply.size(), 0,
           reinterpret_cast<sockaddr*>(&from), length);
  }
}

void SnmpFarm::read_tap() {
  if (!tap_.valid()) return;
  char buffer[65536];
  char control[256];
  for (;;) {
    sockaddr_ll from{};
    iovec data{buffer, sizeof buffer};
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ssize_t n = recvmsg(tap_.get(), &message, 0);
    if (n < 0) return;
    // A datagram on the loopback device may pass the tap twice, going out and coming
    // in: the incoming pass, which every one makes at once, is the one counted.
    if (from.sll_pkttype != PACKET_HOST || n < static_cast<ssize_t>(sizeof(iphdr))) continue;
    const auto* ip = reinterpret_cast<const iphdr*>(buffer);
    size_t header = ip->ihl * 4u;
    if (static_cast<size_t>(n) < header + sizeof(udphdr)) continue;
    const auto* udp = reinterpret_cast<const udphdr*>(buffer + header);
    Tapped tapped;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
      if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
        timespec stamp;
        std::memcpy(&stamp, CMSG_DATA(c), sizeof stamp);
        tapped.at = std::chrono::seconds(stamp.tv_sec) + std::chrono::nanoseconds(stamp.tv_nsec);
      }
    }
    tapped.to = dotted_of(ip->daddr);
    tapped.from_port = ntohs(udp->source);
    tapped.request_id = request_id_of(std::string_view(
        buffer + header + sizeof(udphdr), static_cast<size_t>(n) - header - sizeof(udphdr)));
    std::lock_guard lock(mutex_);
    tapped_.push_back(std::move(tapped));
  }
}
