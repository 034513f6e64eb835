// The NPA client: send queues, sessions, the receive path and the timers.
#include "npa/npa_transport.h"

#include <errno.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <tuple>

#include "common/descriptors.h"

namespace {

// The smallest INA header length that holds the packet id (at datagram offset 7).
constexpr size_t kInaHeaderWithId = 9;
// The INA header length field itself.
constexpr size_t kInaLengthField = 2;
// Of a reply's alert sequence: an ident this close below the last one is old.
constexpr uint16_t kAlertWindow = 32769;

uint16_t be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

uint32_t be32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

// The parts of a socket address that name a destination.
sockaddr_in plain(const sockaddr_in& address) {
  sockaddr_in clean{};
  clean.sin_family = address.sin_family;
  clean.sin_port = address.sin_port;
  clean.sin_addr = address.sin_addr;
  return clean;
}

bool same_peer(const sockaddr_in& a, const sockaddr_in& b) {
  return a.sin_family == b.sin_family && a.sin_port == b.sin_port &&
         a.sin_addr.s_addr == b.sin_addr.s_addr;
}

}  // namespace

std::span<const uint8_t> NpaSession::reply() const {
  if (blocks.empty()) return {};
  return blocks.front().data;
}

bool NpaTransport::DestinationLess::operator()(const std::pair<sockaddr_in, uint8_t>& a,
                                               const std::pair<sockaddr_in, uint8_t>& b) const {
  auto key = [](const std::pair<sockaddr_in, uint8_t>& d) {
    return std::make_tuple(d.first.sin_family, ntohs(d.first.sin_port),
                           ntohl(d.first.sin_addr.s_addr), d.second);
  };
  return key(a) < key(b);
}

NpaTransport::NpaTransport(NpaDebug debug, Clock& clock) : debug_(debug), clock_(clock) {}

void NpaTransport::trace(int bit, const char* format, ...) {
  if (!tracing(bit)) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(debug_.out, format, args);
  va_end(args);
  std::fflush(debug_.out);
}

int NpaTransport::npa_init() {
  socket_.reset(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (!socket_.valid()) {
    std::printf("npa_init: can't open datagram socket\n");
    std::fflush(stdout);
    return NPA_NO_SOCKET;
  }
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_addr.s_addr = htonl(INADDR_ANY);
  any.sin_port = 0;
  if (bind(socket_.get(), reinterpret_cast<sockaddr*>(&any), sizeof any) != 0) {
    std::printf("npa_init: Can not bind NPA\n");
    std::fflush(stdout);
    socket_.reset();
    return NPA_NO_SOCKET;
  }
  set_nonblocking(socket_.get());
  return NPA_OK;
}

uint32_t NpaTransport::next_packet_id() {
  if (++packet_ids_ == 0) ++packet_ids_;  // 0 means "no id" in a reply
  return packet_ids_;
}

NpaSendHost& NpaTransport::find_send_host(const sockaddr_in& destination, uint8_t ina_port) {
  auto key = std::make_pair(plain(destination), ina_port);
  auto found = send_hosts_.find(key);
  if (found == send_hosts_.end()) {
    found = send_hosts_.emplace(key, NpaSendHost{}).first;
    found->second.destination = key.first;
    found->second.ina_port = ina_port;
  }
  return found->second;
}

int NpaTransport::npa_send(const sockaddr_in& destination, uint8_t ina_port, uint8_t session_flags,
                           uint8_t command, uint8_t subcommand, std::span<const uint8_t> data,
                           uint8_t reply_wanted, NpaCompletion completion, void* user_data) {
  if (data.size() > NPA_MAX_DATA) return -1;
  NpaSendHost& host = find_send_host(destination, ina_port);
  NpaCommand queued;
  queued.session_flags = session_flags;
  queued.command = command;
  queued.subcommand = subcommand;
  queued.data.assign(data.begin(), data.end());
  queued.packet_id = next_packet_id();
  queued.reply_wanted = reply_wanted;
  queued.completion = std::move(completion);
  queued.user_data = user_data;
  host.queue.push_back(std::move(queued));
  if (host.queue.size() == 1) send_head(host);
  return 0;
}

void NpaTransport::send_head(NpaSendHost& host) {
  while (!host.queue.empty()) {
    NpaCommand& head = host.queue.front();
    if (head.reply_wanted && head.session == 0 && host.current_session == 0) {
      NpaSession session;
      session.destination = host.destination;
      session.ina_port = host.ina_port;
      session.flags = head.session_flags;
      session.command = head.command;
      session.subcommand = head.subcommand;
      session.completion = head.completion;
      session.user_data = head.user_data;
      session.type = head.reply_wanted;
      session.packet_id = head.packet_id;
      session.send_host = &host;
      session.serial = ++serials_;
      sessions_.push_back(std::move(session));
      head.session = host.current_session = serials_;
    }
    host.resend_deadline = clock_.now() + NPA_RESEND_SECONDS;
    if (++host.send_count > NPA_SENDS) {
      npa_timeout(host);
      return;
    }
    transmit(host, head);
    if (head.session != 0 && (head.session_flags & NPA_DEQUEUE_AT_SEND) == 0) return;
    // Nothing here waits for a reply to it: the next command goes now. A session made
    // for it waits on without retransmission.
    host.queue.pop_front();
    host.current_session = 0;
    host.resend_deadline = 0;
    host.send_count = 0;
  }
}

void NpaTransport::transmit(NpaSendHost& host, const NpaCommand& command) {
  constexpr size_t kNpaAt = kInaLengthField + NPA_INA_HEADER_LENGTH;
  NpaBytes datagram(kNpaAt + NPA_HEADER_SIZE + command.data.size());
  datagram[0] = 0;
  datagram[1] = NPA_INA_HEADER_LENGTH;
  datagram[2] = host.ina_port;
  for (int i = 0; i < 4; ++i) {
    datagram[3 + i] = static_cast<uint8_t>(command.packet_id >> (24 - 8 * i));
  }
  datagram[kNpaAt] = NPA_START;
  datagram[kNpaAt + 1] = 0;
  datagram[kNpaAt + 2] = static_cast<uint8_t>(command.data.size() + 3);
  datagram[kNpaAt + 3] = static_cast<uint8_t>(NPA_FLAG_NPAP | command.reply_wanted << 4);
  datagram[kNpaAt + 4] = command.command;
  datagram[kNpaAt + 5] = command.subcommand;
  std::copy(command.data.begin(), command.data.end(), datagram.begin() + kNpaAt + NPA_HEADER_SIZE);

  if (tracing(DEBUG_NPA)) {
    npa_trace_ina_header(debug_.out, NPA_INA_HEADER_LENGTH, host.ina_port);
    npa_trace_header(debug_.out, std::span(datagram).subspan(kNpaAt), NpaPart::REQUEST);
    std::fflush(debug_.out);
  }
  ssize_t sent = -1;
  errno = EBADF;
  if (socket_.valid()) {
    do {
      sent = sendto(socket_.get(), datagram.data(), datagram.size(), 0,
                    reinterpret_cast<const sockaddr*>(&host.destination), sizeof host.destination);
    } while (sent < 0 && errno == EINTR);
  }
  if (sent != static_cast<ssize_t>(datagram.size())) {
    trace(DEBUG_NPA, "npa_send: ERROR-- sendto sent %d bytes out of %d.  errno = %d\n",
          static_cast<int>(sent), static_cast<int>(datagram.size()), errno);
  }
}

NpaSession* NpaTransport::find_session(uint64_t serial) {
  for (NpaSession& session : sessions_) {
    if (session.serial == serial) return &session;
  }
  return nullptr;
}

void NpaTransport::npa_timeout(NpaSendHost& host) {
  uint64_t serial = host.current_session;
  auto found = std::find_if(sessions_.begin(), sessions_.end(),
                            [serial](const NpaSession& s) { return s.serial == serial; });
  if (serial != 0 && found != sessions_.end()) {
    connections_.remove_if([serial](const Connection& c) { return c.session.serial == serial; });
    // A session that ends is taken out before its completion runs, which may send.
    OvList<NpaSession> ended;
    NpaSession& session = *found;
    if ((session.flags & NPA_KEEP_SESSION) == 0) ended.splice(ended.begin(), sessions_, found);
    session.status = NPA_TIMEOUT;
    trace(DEBUG_NPA, "| Calling callback routine with NPA_TIMEOUT.\n");
    if (session.completion) session.completion(session);
  }
  if (!host.queue.empty()) host.queue.pop_front();
  host.current_session = 0;
  host.resend_deadline = 0;
  host.send_count = 0;
  send_head(host);
}

void NpaTransport::end_session(uint64_t serial) {
  auto found = std::find_if(sessions_.begin(), sessions_.end(),
                            [serial](const NpaSession& s) { return s.serial == serial; });
  if (found == sessions_.end()) return;
  NpaSendHost* host = found->send_host;
  if ((found->flags & NPA_KEEP_SESSION) == 0) {
    sessions_.erase(found);
    connections_.remove_if([serial](const Connection& c) { return c.session.serial == serial; });
  }
  if (host && host->current_session == serial) {
    if (!host->queue.empty()) host->queue.pop_front();
    host->current_session = 0;
    host->resend_deadline = 0;
    host->send_count = 0;
    send_head(*host);
  }
}

time_t NpaTransport::npa_expire() {
  time_t now = clock_.now();
  for (;;) {
    auto due = std::find_if(send_hosts_.begin(), send_hosts_.end(), [now](const auto& entry) {
      return entry.second.resend_deadline != 0 && entry.second.resend_deadline <= now;
    });
    if (due == send_hosts_.end()) break;
    trace(DEBUG_NPA_TIMER, "| TIMEOUT a of session.\n");
    NpaSendHost& host = due->second;
    if (host.queue.empty()) {
      host.resend_deadline = 0;
      host.send_count = 0;
      continue;
    }
    send_head(host);
  }
  for (;;) {
    auto due = std::find_if(connections_.begin(), connections_.end(),
                            [now](const Connection& c) { return c.expiry <= now; });
    if (due == connections_.end()) break;
    OvList<Connection> taken;
    taken.splice(taken.begin(), connections_, due);
    NpaSession& session = taken.front().session;
    session.status = NPA_CONNECT_TIMEOUT;
    trace(DEBUG_NPA, "| Calling callback routine with NPA_CONNECT_TIMEOUT.\n");
    if (session.completion) session.completion(session);
    end_session(session.serial);
  }

  time_t next = 0;
  auto consider = [&next, now](time_t deadline) {
    if (deadline == 0) return;
    time_t wait = std::max<time_t>(deadline - now, 1);
    if (next == 0 || wait < next) next = wait;
  };
  for (const auto& entry : send_hosts_) consider(entry.second.resend_deadline);
  for (const Connection& c : connections_) consider(c.expiry);
  return next;
}

void NpaTransport::npa_prepare(int& nfds, fd_set& read, timeval& timeout, bool& block) {
  time_t wait = npa_expire();
  if (socket_.valid() && socket_.get() < FD_SETSIZE) {
    FD_SET(socket_.get(), &read);
    nfds = std::max(nfds, socket_.get() + 1);
  }
  if (wait > 0) {
    timeout = timeval{wait, 0};
    block = false;
  }
}

void NpaTransport::npa_read() {
  if (!socket_.valid()) return;
  NpaBytes buffer(NPA_MAX_DATAGRAM);
  sockaddr_in from{};
  socklen_t from_length = sizeof from;
  ssize_t n;
  do {
    n = recvfrom(socket_.get(), buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from),
                 &from_length);
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    if (errno != EAGAIN && errno != EWOULDBLOCK) {
      trace(DEBUG_NPA, "recv:error len = %d errno =%d\n", static_cast<int>(n), errno);
    }
    return;
  }
  handle_datagram(std::span(buffer).first(static_cast<size_t>(n)), plain(from));
}

NpaTransport::Connection* NpaTransport::find_connection(const sockaddr_in& from, uint8_t ina_port,
                                                        uint8_t command, uint8_t type,
                                                        uint16_t ident, uint32_t packet_id) {
  for (Connection& connection : connections_) {
    const NpaSession& s = connection.session;
    bool any_port = (s.flags & NPA_ANY_INA_PORT) && ina_port == 0;
    if (!any_port && (!same_peer(s.destination, from) || s.ina_port != ina_port)) continue;
    if (s.command != command || s.type != type || s.server_ident != ident) continue;
    if (packet_id != 0 && s.packet_id != packet_id) continue;
    return &connection;
  }
  return nullptr;
}

NpaSession* NpaTransport::find_waiting_session(const sockaddr_in& from, uint8_t ina_port,
                                               uint8_t command, const uint8_t* subcommand,
                                               uint8_t type, uint32_t packet_id) {
  for (NpaSession& s : sessions_) {
    bool any_port = (s.flags & NPA_ANY_INA_PORT) && ina_port == 0;
    if (!any_port && (!same_peer(s.destination, from) || s.ina_port != ina_port)) continue;
    if (s.command != command || s.type != type) continue;
    // A later datagram of a reply carries no subcommand to compare.
    if (subcommand && (s.flags & NPA_ANY_SUBCOMMAND) == 0 && s.subcommand != *subcommand) continue;
    if (packet_id != 0 && s.packet_id != packet_id) continue;
    return &s;
  }
  return nullptr;
}

void NpaTransport::acknowledge(const sockaddr_in& from, const uint8_t ack[2]) {
  sockaddr_in to = from;
  to.sin_port = htons(NPA_ACK_PORT);
  ssize_t sent;
  do {
    sent = sendto(socket_.get(), ack, 2, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  } while (sent < 0 && errno == EINTR);
}

void NpaTransport::handle_datagram(std::span<const uint8_t> datagram, const sockaddr_in& from) {
  // The INA header, which must lie inside the datagram with all its fields.
  if (datagram.size() < kInaLengthField) {
    trace(DEBUG_NPA, "| SHORT PACKET DETECTED.  DISCARDING\n");
    return;
  }
  size_t ina_length = be16(datagram.data());
  if (ina_length > NPA_MAX_INA_HEADER_LENGTH) {
    trace(DEBUG_NPA, "BAD BAD --> ina count = %d.  bytes = %02x %02x\n",
          static_cast<int>(ina_length), datagram[0], datagram[1]);
  }
  if (kInaLengthField + ina_length > datagram.size() || ina_length < NPA_INA_HEADER_LENGTH ||
      (ina_length != NPA_INA_HEADER_LENGTH && ina_length < kInaHeaderWithId)) {
    trace(DEBUG_NPA, "| INA header length %d does not fit the %d bytes received.  DISCARDING\n",
          static_cast<int>(ina_length), static_cast<int>(datagram.size()));
    return;
  }
  const uint8_t* ack = &datagram[2];
  uint16_t ack_number = be16(ack);
  uint16_t sequence = be16(&datagram[4]);
  uint8_t ina_port = datagram[6];
  uint32_t packet_id = ina_length == NPA_INA_HEADER_LENGTH ? 0 : be32(&datagram[7]);
  if (tracing(DEBUG_NPA)) {
    npa_trace_ina_receive_header(debug_.out, static_cast<int>(ina_length), ack_number, sequence,
                                 ina_port);
  }

  // The NPA part: longer than 4 bytes and than its header, and as long as it says.
  std::span<const uint8_t> npa = datagram.subspan(kInaLengthField + ina_length);
  size_t header = sequence == 0 ? NPA_HEADER_SIZE : NPA_CONTINUATION_HEADER_SIZE;
  if (npa.size() <= 4 || npa.size() < header) {
    trace(DEBUG_NPA, "| SHORT PACKET DETECTED.  DISCARDING\n");
    return;
  }
  size_t npa_length = be16(&npa[1]) + 3u;
  if (npa_length != npa.size()) {
    trace(DEBUG_NPA,
          "| NPA Length and packet length do not match.  NPA = %d, Packet = %d\nLen = %d, "
          "ina_header_len = %d\nDISCARDING\n",
          static_cast<int>(npa_length), static_cast<int>(npa.size()),
          static_cast<int>(datagram.size()), static_cast<int>(ina_length));
    return;
  }
  if (tracing(DEBUG_NPA)) {
    npa_trace_header(debug_.out, npa, sequence == 0 ? NpaPart::REPLY : NpaPart::CONTINUATION);
    std::fflush(debug_.out);
  }
  uint8_t flags = npa[3];
  uint8_t command = npa[4];
  const uint8_t* subcommand = sequence == 0 ? &npa[5] : nullptr;
  uint8_t type = (flags & (NPA_FLAG_REPLY | NPA_FLAG_ERROR)) ? 1 : 0;
  uint16_t ident = ack_number != 0 ? static_cast<uint16_t>(ack_number - sequence) : 0;

  Connection* connection = find_connection(from, ina_port, command, type, ident, packet_id);
  if (!connection) {
    NpaSession* session =
        find_waiting_session(from, ina_port, command, subcommand, type, packet_id);
    if (!session) {
      trace(DEBUG_NPA, "No session wants this data!!!!!\n");
      return;
    }
    Connection opened;
    opened.session = *session;
    opened.session.server_ident = ident;
    if (packet_id != 0) opened.session.packet_id = packet_id;
    if ((session->flags & NPA_ANY_SUBCOMMAND) && subcommand)
      opened.session.subcommand = *subcommand;
    opened.expiry = clock_.now() + NPA_CONNECTION_SECONDS;
    NpaSendHost* host = session->send_host;
    if (session->type && host && host->current_session == session->serial) {
      host->resend_deadline = 0;
      host->send_count = 0;
    }
    connections_.push_back(std::move(opened));
    connection = &connections_.back();
  }
  if (ack_number != 0) acknowledge(from, ack);

  NpaSession& s = connection->session;
  for (const NpaBlock& block : s.blocks) {
    if (block.sequence == sequence) {
      trace(DEBUG_NPA, "| Already recieved this packet\n");
      return;
    }
  }
  NpaBlock block;
  block.sequence = sequence;
  block.data.assign(npa.begin() + static_cast<ptrdiff_t>(header), npa.end());
  s.blocks.push_back(std::move(block));
  ++s.blocks_received;
  if (flags & NPA_FLAG_ERROR) s.status |= flags & NPA_ERROR_MASK;
  if ((flags & NPA_FLAG_CONTINUE) == 0) s.blocks_expected = static_cast<uint16_t>(sequence + 1);
  if (!complete_reply(*connection)) return;
  auto at = std::find_if(connections_.begin(), connections_.end(),
                         [connection](const Connection& c) { return &c == connection; });
  deliver(at);
}

bool NpaTransport::complete_reply(Connection& connection) {
  NpaSession& s = connection.session;
  if (s.blocks_received != s.blocks_expected) return false;
  if (s.flags & NPA_SEPARATE_BLOCKS) return true;
  NpaBlock whole;
  for (uint16_t sequence = 0; sequence < s.blocks_expected; ++sequence) {
    auto block = std::find_if(s.blocks.begin(), s.blocks.end(),
                              [sequence](const NpaBlock& b) { return b.sequence == sequence; });
    if (block == s.blocks.end()) {
      // Left incomplete: the connection's time-out ends it.
      trace(DEBUG_NPA, "Missing packet from response\n");
      return false;
    }
    whole.data.insert(whole.data.end(), block->data.begin(), block->data.end());
  }
  s.blocks.clear();
  s.blocks.push_back(std::move(whole));
  return true;
}

void NpaTransport::deliver(OvList<Connection>::iterator connection) {
  // Taken out first: the completion may send, and the session's end removes its
  // connections.
  OvList<Connection> taken;
  taken.splice(taken.begin(), connections_, connection);
  NpaSession& s = taken.front().session;
  NpaSession* origin = find_session(s.serial);

  // Device status alerts: a reset, or a reply older than the last one seen.
  bool out_of_date = false;
  if (s.command == NPA_ALERT_RESET_COMMAND && (s.subcommand & NPA_ALERT_RESET_BIT)) {
    s.last_alert_sequence = 0;
    if (origin) origin->last_alert_sequence = 0;
    for (NpaSession& other : sessions_) {
      if (other.command == NPA_ALERT_COMMAND && other.subcommand == NPA_ALERT_SUBCOMMAND &&
          other.destination.sin_addr.s_addr == s.destination.sin_addr.s_addr &&
          ntohs(other.destination.sin_port) == NPA_UDP_PORT) {
        other.last_alert_sequence = 0;
      }
    }
  } else if (s.server_ident != 0) {
    uint16_t last = s.last_alert_sequence;
    if (last >= s.server_ident && static_cast<uint16_t>(last - s.server_ident) < kAlertWindow) {
      out_of_date = true;
      trace(DEBUG_NPA, "| GOT AN OUT OF DATE DSA.  DISCARDING IT\n");
    } else {
      s.last_alert_sequence = s.server_ident;
      if (origin) origin->last_alert_sequence = s.server_ident;
    }
  }
  if (!out_of_date && s.completion) s.completion(s);
  end_session(s.serial);
}
