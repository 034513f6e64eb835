// The prescan: the paced sweep of the search list with one UDP socket.
#include "hostsweep/prescan.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <deque>
#include <random>

#include "common/unique_fd.h"
#include "hostsweep/options.h"

namespace {

constexpr uint16_t kSnmpPort = 161;
// The most datagrams read in one go before the clock is looked at again.
constexpr int kAnswersPerRead = 256;
// Room for the answers that come in while the prescan sends.
constexpr int kReceiveBuffer = 4 << 20;
// How long a send that found the socket's buffer full waits before trying again.
constexpr std::chrono::milliseconds kFullBufferWait{1};
constexpr long kIdRange = 1L << 30;

// One BER element: its tag and where its contents lie.
struct Element {
  uint8_t tag = 0;
  std::span<const uint8_t> contents;
  std::span<const uint8_t> rest;  // what follows the element
};

std::optional<Element> read_element(std::span<const uint8_t> bytes) {
  if (bytes.size() < 2) return std::nullopt;
  Element element;
  element.tag = bytes[0];
  size_t length = bytes[1];
  size_t at = 2;
  if (length & 0x80) {
    size_t octets = length & 0x7F;
    if (octets == 0 || octets > 4 || bytes.size() < at + octets) return std::nullopt;
    length = 0;
    for (size_t i = 0; i < octets; ++i) length = length << 8 | bytes[at + i];
    at += octets;
  }
  if (length > bytes.size() - at) return std::nullopt;
  element.contents = bytes.subspan(at, length);
  element.rest = bytes.subspan(at + length);
  return element;
}

timespec as_timespec(Clock::TimePoint::duration wait) {
  auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
  if (ns < 0) ns = 0;
  return timespec{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
}

}  // namespace

SendPacer::SendPacer(int rate, size_t sends)
    : interval_(std::chrono::nanoseconds(1000000000LL / std::max(rate, 1))),
      ended_(std::min(static_cast<size_t>(std::max(rate, 1)), std::max<size_t>(sends, 1))) {}

Clock::TimePoint SendPacer::next(Clock::TimePoint now) const {
  if (count_ == 0) return now;
  Clock::TimePoint at = std::max(last_due_ + interval_, now - kCatchUp);
  // The ring holds the last `rate` sends (or all there can be, when they are fewer).
  if (count_ >= ended_.size()) {
    at = std::max(at, ended_[count_ % ended_.size()] + std::chrono::seconds(1));
  }
  return at;
}

void SendPacer::sent(Clock::TimePoint due, Clock::TimePoint ended) {
  last_due_ = due;
  ended_[count_ % ended_.size()] = ended;
  ++count_;
}

std::optional<long> snmp_message_request_id(std::span<const uint8_t> datagram) {
  std::optional<Element> message = read_element(datagram);
  if (!message || message->tag != 0x30) return std::nullopt;
  std::optional<Element> version = read_element(message->contents);
  if (!version || version->tag != 0x02) return std::nullopt;
  std::optional<Element> community = read_element(version->rest);
  if (!community || community->tag != 0x04) return std::nullopt;
  std::optional<Element> pdu = read_element(community->rest);
  if (!pdu || pdu->tag < 0xA0 || pdu->tag > 0xA8) return std::nullopt;
  std::optional<Element> id = read_element(pdu->contents);
  if (!id || id->tag != 0x02 || id->contents.empty() || id->contents.size() > 4) {
    return std::nullopt;
  }
  // Two's complement, most significant byte first.
  int64_t value = (id->contents[0] & 0x80) ? -1 : 0;
  for (uint8_t byte : id->contents) value = value * 256 + byte;
  return static_cast<long>(value);
}

struct Prescan::Sweep {
  UniqueFd socket;
  std::vector<in_addr_t> addresses;  // network byte order, in the list's order
  std::vector<bool> alive;
  long base_id = 0;
  SendPacer pacer;
  Sweep(int rate, size_t sends) : pacer(rate, sends) {}
};

Prescan::Prescan(const PrescanSettings& settings, std::function<std::string(long)> request,
                 Clock& clock)
    : settings_(settings), request_(std::move(request)), clock_(clock) {}

void Prescan::trace(const char* format, ...) {
  if ((settings_.debug & DEBUG_ENGINE) == 0 || !settings_.debug_file) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(settings_.debug_file, format, args);
  va_end(args);
  std::fflush(settings_.debug_file);
}

int Prescan::run(const SearchList& list, SearchList* alive, std::string* err) {
  Clock::TimePoint start = clock_.steady_now();
  std::vector<in_addr_t> addresses;
  SearchList walk = list;
  for (Address address; walk.next_address(&address) == 0;) {
    in_addr_t value;
    std::memcpy(&value, address.data(), sizeof value);
    addresses.push_back(value);
  }
  counts_ = PrescanCounts{};
  counts_.addresses = addresses.size();
  trace("Prescan of %zu addresses at %d packets/s\n", addresses.size(), settings_.rate);

  Sweep sweep(settings_.rate, 2 * addresses.size());
  sweep.socket.reset(socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!sweep.socket.valid()) {
    *err = std::string("Could not open the prescan socket: ") + std::strerror(errno) + "\n";
    return -1;
  }
  int size = kReceiveBuffer;
  setsockopt(sweep.socket.get(), SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
  sweep.addresses = std::move(addresses);
  sweep.alive.assign(sweep.addresses.size(), false);
  std::random_device seed;
  sweep.base_id = 1 + static_cast<long>(std::mt19937(seed())() % (kIdRange - 1));

  const auto timeout = std::chrono::microseconds(std::max(settings_.timeout_us, 0LL));
  const size_t total = sweep.addresses.size();
  // The first requests of the last time-out, which the second pass must not follow
  // too soon.
  std::deque<std::pair<size_t, Clock::TimePoint>> recent;
  for (size_t i = 0; i < total && counts_.alive < total; ++i) {
    if (!send(sweep, i, 0)) continue;
    Clock::TimePoint now = clock_.steady_now();
    recent.emplace_back(i, now);
    while (!recent.empty() && recent.front().second + timeout <= now) recent.pop_front();
  }
  std::optional<Clock::TimePoint> last_resend;
  for (size_t i = 0; i < total && counts_.alive < total; ++i) {
    while (!recent.empty() && recent.front().first < i) recent.pop_front();
    if (!recent.empty() && recent.front().first == i) {
      wait_for_answers(sweep, recent.front().second + timeout);
      recent.pop_front();
    }
    if (sweep.alive[i]) continue;
    if (send(sweep, i, 1)) last_resend = clock_.steady_now();
  }
  if (last_resend) wait_for_answers(sweep, *last_resend + timeout);

  for (size_t i = 0; i < total; ++i) {
    if (!sweep.alive[i]) continue;
    Address address;
    std::memcpy(address.data(), &sweep.addresses[i], sizeof sweep.addresses[i]);
    alive->add_host(address);
  }
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(clock_.steady_now() - start);
  trace("Prescan: sent %zu, resent %zu, alive %zu, not sent %zu, %ld.%03ld s\n", counts_.sent,
        counts_.resent, counts_.alive, counts_.not_sent, static_cast<long>(ms.count() / 1000),
        static_cast<long>(ms.count() % 1000));
  return 0;
}

// Sends the request of pass `pass` to the address at `index` once the pacer lets it
// go, reading answers meanwhile. False when it could not be sent.
bool Prescan::send(Sweep& sweep, size_t index, int pass) {
  std::string datagram = request_(sweep.base_id + 2 * static_cast<long>(index) + pass);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(kSnmpPort);
  to.sin_addr.s_addr = sweep.addresses[index];
  for (;;) {
    Clock::TimePoint now = clock_.steady_now();
    Clock::TimePoint due = sweep.pacer.next(now);
    if (due > now) {
      wait_for_answers(sweep, due);
      continue;
    }
    if (datagram.empty()) {
      ++counts_.not_sent;
      return false;
    }
    ssize_t n = sendto(sweep.socket.get(), datagram.data(), datagram.size(), 0,
                       reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == ENOBUFS)) {
      wait_for_answers(sweep, clock_.steady_now() + kFullBufferWait);
      continue;
    }
    sweep.pacer.sent(due, clock_.steady_now());
    if (n < 0) {
      ++counts_.not_sent;
      return false;
    }
    ++(pass == 0 ? counts_.sent : counts_.resent);
    return true;
  }
}

// Reads answers until `until`, or until every address answered.
void Prescan::wait_for_answers(Sweep& sweep, Clock::TimePoint until) {
  for (;;) {
    read_answers(sweep);
    Clock::TimePoint now = clock_.steady_now();
    if (now >= until || counts_.alive == sweep.addresses.size()) return;
    pollfd ready{sweep.socket.get(), POLLIN, 0};
    timespec wait = as_timespec(until - now);
    ppoll(&ready, 1, &wait, nullptr);
  }
}

void Prescan::read_answers(Sweep& sweep) {
  uint8_t buffer[65536];
  // A bounded batch, so that a flood of datagrams cannot hold the prescan here past
  // its time-outs; what is left waits for the next call.
  for (int taken = 0; taken < kAnswersPerRead; ++taken) {
    sockaddr_in from{};
    socklen_t length = sizeof from;
    ssize_t n = recvfrom(sweep.socket.get(), buffer, sizeof buffer, 0,
                         reinterpret_cast<sockaddr*>(&from), &length);
    if (n < 0) {
      if (errno == EINTR) continue;
      return;  // nothing more to read now
    }
    if (from.sin_family != AF_INET) continue;
    std::optional<long> id = snmp_message_request_id({buffer, static_cast<size_t>(n)});
    if (!id || *id < sweep.base_id) continue;
    auto index = static_cast<size_t>((*id - sweep.base_id) / 2);
    if (index >= sweep.addresses.size() || sweep.addresses[index] != from.sin_addr.s_addr ||
        sweep.alive[index]) {
      continue;
    }
    sweep.alive[index] = true;
    ++counts_.alive;
  }
}
