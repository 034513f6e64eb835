// Discovery's SNMP queries on Net-SNMP's single-session API: sessions, GET requests,
// the dispatcher, and the retransmission schedule the layer drives itself.
#include "hostsweep/snmp_cmds.h"

#include <arpa/inet.h>
#include <net-snmp/library/snmp_transport.h>

#include <algorithm>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <span>

#include "hostsweep/options.h"
#include "hostsweep/snmp_value.h"

namespace {

// The session time-out the library is given: it never acts on it, as the layer never
// asks it to process time-outs and keeps its own deadlines. Fits a 32-bit long.
constexpr long kLibraryTimeoutUs = 2000000000L;

// Names of the error-status values 1 to 5; any other value ends the line bare.
constexpr const char* kErrorNames[] = {
    "", "ERR_TOOBIG\n", "ERR_NOSUCHNAME\n", "ERR_BADVALUE\n", "ERR_READONLY\n", "ERR_GENERR\n",
};

const char* error_name(long status) {
  if (status < 1 || status > 5) return "\n";
  return kErrorNames[status];
}

bool is_dotted_address(const std::string& address) {
  in_addr parsed;
  return inet_pton(AF_INET, address.c_str(), &parsed) == 1;
}

// The address an answer came from, as the UDP transport records it; `fallback` when
// the record is not an IPv4 one.
std::string source_address(const netsnmp_pdu& pdu, const std::string& fallback) {
  if (!pdu.transport_data ||
      pdu.transport_data_length < static_cast<int>(sizeof(netsnmp_addr_pair))) {
    return fallback;
  }
  const auto* pair = static_cast<const netsnmp_addr_pair*>(pdu.transport_data);
  if (pair->remote_addr.sa.sa_family != AF_INET) return fallback;
  char text[INET_ADDRSTRLEN];
  if (!inet_ntop(AF_INET, &pair->remote_addr.sin.sin_addr, text, sizeof text)) return fallback;
  return text;
}

// A GET request for `variables`, each with a NULL value.
netsnmp_pdu* get_pdu(const SnmpVariableList& variables) {
  netsnmp_pdu* pdu = snmp_pdu_create(SNMP_MSG_GET);
  for (const auto& name : variables.names) snmp_add_null_var(pdu, name.data(), name.size());
  return pdu;
}

}  // namespace

long long snmp_wait_us(long long timeout_us, int transmission) {
  long long wait = std::max(timeout_us, 0LL);
  if (transmission <= 3) return wait;
  for (int n = 4; n <= transmission && wait < SNMP_MAX_WAIT_US; ++n) wait *= 2;
  return std::min(wait, SNMP_MAX_WAIT_US);
}

SnmpQueries::SnmpQueries(const MibTree& tree, SnmpSettings settings, Clock& clock)
    : tree_(tree), settings_(std::move(settings)), clock_(clock) {
  if (settings_.community.empty()) settings_.community = SNMP_LIBRARY_COMMUNITY;
  // The library's own log lines (such as a PDU it cannot encode) are not shown: the
  // layer reports every outcome through its completions and debug lines.
  quiet_log_ = netsnmp_register_loghandler(NETSNMP_LOGHANDLER_NONE, LOG_DEBUG);
}

SnmpQueries::~SnmpQueries() {
  for (auto& session : sessions_) {
    session->closing_ = true;
    session->request_.reset();
    snmp_sess_close(session->handle_);
  }
  if (quiet_log_) netsnmp_remove_loghandler(quiet_log_);
}

AddVariable SnmpQueries::add_variable(SnmpVariableList& list, std::string_view name) {
  if (!tree_.loaded()) return AddVariable::MIB_NOT_LOADED;
  std::vector<oid> oids;
  std::string err;
  if (!tree_.name_to_oid(name, settings_.name_prefix, &oids, &err)) {
    fputs(err.c_str(), settings_.standard_error);
    fprintf(settings_.standard_output, "Invalid object identifier: %.*s\n",
            static_cast<int>(name.size()), name.data());
    return AddVariable::SKIPPED;
  }
  list.names.push_back(std::move(oids));
  return AddVariable::ADDED;
}

int SnmpQueries::get_new_session(const std::string& address, const SnmpVariableList& variables,
                                 SnmpCompletion completion, int argument) {
  auto request = std::make_unique<SnmpRequest>();
  request->completion = std::move(completion);
  request->argument = argument;
  if (!is_dotted_address(address)) return -1;

  auto session = std::make_unique<SnmpSession>();
  session->owner_ = this;
  session->address_ = address;

  netsnmp_session settings;
  snmp_sess_init(&settings);
  std::string peer = "udp:" + address + ":" + std::to_string(SNMP_PORT);
  settings.peername = peer.data();
  settings.version = SNMP_VERSION_1;
  settings.community = reinterpret_cast<u_char*>(settings_.community.data());
  settings.community_len = settings_.community.size();
  settings.retries = 0;
  settings.timeout = kLibraryTimeoutUs;
  settings.callback = library_callback;
  settings.callback_magic = session.get();
  session->handle_ = snmp_sess_open(&settings);
  if (!session->handle_) return -1;
  netsnmp_transport* transport = snmp_sess_transport(session->handle_);
  session->fd_ = transport ? transport->sock : -1;
  if (session->fd_ < 0 || session->fd_ >= FD_SETSIZE) {
    snmp_sess_close(session->handle_);
    return -1;
  }

  SnmpSession& opened = *session;
  sessions_.push_back(std::move(session));
  if (send_request(opened, std::move(request), variables, true) == 0) return 0;
  // Released at once: no completion was called, and nothing refers to the session.
  trace(DEBUG_ENGINE, "| SNMP network send error\n");
  auto it = std::find_if(sessions_.begin(), sessions_.end(),
                         [&](const auto& s) { return s.get() == &opened; });
  opened.closing_ = true;
  opened.request_.reset();
  snmp_sess_close(opened.handle_);
  sessions_.erase(it);
  return -1;
}

int SnmpQueries::get_on_session(SnmpSession& session, const SnmpVariableList& variables,
                                SnmpCompletion completion, int argument) {
  auto request = std::make_unique<SnmpRequest>();
  request->completion = std::move(completion);
  request->argument = argument;
  if (session.closing_ || session.request_) {
    request->completion(SNMP_FAILED, session, nullptr, request->argument);
    return -1;
  }
  if (send_request(session, std::move(request), variables, false) == 0) return 0;
  trace(DEBUG_ENGINE, "| SNMP network send error\n");
  session.closing_ = true;
  std::unique_ptr<SnmpRequest> failed = std::move(session.request_);
  failed->completion(SNMP_FAILED, session, nullptr, failed->argument);
  return -1;
}

// Builds the GET request, makes it the session's outstanding request and sends it.
// -1 when the first transmission failed; the request then stays with the session.
int SnmpQueries::send_request(SnmpSession& session, std::unique_ptr<SnmpRequest> request,
                              const SnmpVariableList& variables, bool new_session) {
  if (settings_.debug & DEBUG_SNMP) {
    trace_frame(DEBUG_SNMP);
    trace(DEBUG_SNMP,
          new_session ? "| Get the following SNMP Variables from %s:\n"
                      : "| Gets the following SNMP Variables from %s:\n",
          session.address_.c_str());
    for (const auto& name : variables.names) {
      trace(DEBUG_SNMP, "| %s\n", variable_name(name.data(), name.size()).c_str());
    }
    trace_frame(DEBUG_SNMP);
  }
  request->pdu.reset(get_pdu(variables));
  request->request_id = request->pdu->reqid;
  session.request_ = std::move(request);
  return transmit(session) ? 0 : -1;
}

// Sends a copy of the outstanding request and sets its next deadline. The library
// keeps a record of every copy under the same request id; the dispatcher drops the
// answers to records whose request has completed.
bool SnmpQueries::transmit(SnmpSession& session) {
  SnmpRequest& request = *session.request_;
  ++request.transmissions;
  request.deadline = clock_.steady_now() + std::chrono::microseconds(snmp_wait_us(
                                               settings_.timeout_us, request.transmissions));
  netsnmp_pdu* copy = snmp_clone_pdu(request.pdu.get());
  if (!copy) return false;
  session.sending_id_ = request.request_id;
  session.send_failed_ = false;
  // The library may report a failed send through the callback, with or without a
  // failing result; either way it counts as failed.
  int sent = snmp_sess_async_send(session.handle_, copy, library_callback, &session);
  session.sending_id_ = 0;
  if (sent == 0) snmp_free_pdu(copy);
  return sent != 0 && !session.send_failed_;
}

int SnmpQueries::library_callback(int operation, netsnmp_session*, int request_id, netsnmp_pdu* pdu,
                                  void* magic) {
  auto& session = *static_cast<SnmpSession*>(magic);
  switch (operation) {
    case NETSNMP_CALLBACK_OP_SEND_FAILED:
      if (session.sending_id_ != 0 && request_id == session.sending_id_) {
        session.send_failed_ = true;
      }
      break;
    case NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE:
      if (!session.closing_ && session.request_ && pdu &&
          request_id == session.request_->request_id) {
        session.owner_->dispatch_answer(session, pdu);
      }
      break;
    default:
      // Time-outs come only from closing a session (the layer never asks the library
      // to process time-outs): the layer has dealt with those requests already.
      break;
  }
  // Handled: the library forgets its record of that transmission.
  return 1;
}

void SnmpQueries::dispatch_answer(SnmpSession& session, netsnmp_pdu* pdu) {
  trace(DEBUG_SNMP | DEBUG_ENGINE, "| Got SNMP response from :%s\n", session.address_.c_str());
  std::unique_ptr<SnmpRequest> request = std::move(session.request_);
  bool response = pdu->command == SNMP_MSG_RESPONSE;
  int result;
  if (!response || pdu->errstat != SNMP_ERR_NOERROR) {
    // A message of another kind (a request PDU with this request id) passes on its
    // error-status, usually 0, without variables.
    long status = pdu->errstat;
    if (settings_.debug & DEBUG_SNMP) {
      std::string agent = source_address(*pdu, session.address_);
      trace(DEBUG_SNMP,
            response ? "| SNMP Error has occured on %s: " : "| SNMP Error has occured on %s :",
            agent.c_str());
      trace(DEBUG_SNMP, "%s", error_name(status));
    }
    result = request->completion(static_cast<int>(status), session, nullptr, request->argument);
  } else {
    if (settings_.debug & DEBUG_SNMP) {
      trace_frame(DEBUG_SNMP);
      trace(DEBUG_SNMP, "| Got SNMP Variables from: %s\n",
            source_address(*pdu, session.address_).c_str());
      for (const netsnmp_variable_list* var = pdu->variables; var; var = var->next_variable) {
        std::string line = variable_name(var->name, var->name_length) + " = " + render_value(*var);
        while (!line.empty() && line.back() == '\n') line.pop_back();
        for (size_t at = line.find('\n'); at != std::string::npos; at = line.find('\n', at + 3)) {
          line.replace(at, 1, "\n| ");
        }
        trace(DEBUG_SNMP, "| %s\n", line.c_str());
      }
      trace_frame(DEBUG_SNMP);
    }
    result = request->completion(SNMP_ANSWERED, session, pdu->variables, request->argument);
  }
  request.reset();
  if (result == SNMP_CLOSE_SESSION) session.closing_ = true;
}

void SnmpQueries::time_out(SnmpSession& session) {
  trace(DEBUG_SNMP | DEBUG_ENGINE, "| Got SNMP response from :%s\n", session.address_.c_str());
  trace(DEBUG_SNMP, "| SNMP Timeout has occured\n");
  std::unique_ptr<SnmpRequest> request = std::move(session.request_);
  request->completion(SNMP_FAILED, session, nullptr, request->argument);
  request.reset();
  session.closing_ = true;
}

void SnmpQueries::process_deadlines(Clock::TimePoint now) {
  ++depth_;
  // By index: completions may open sessions, which are appended (with deadlines in
  // the future, or processed in a later pass).
  for (size_t i = 0; i < sessions_.size(); ++i) {
    SnmpSession& session = *sessions_[i];
    if (session.closing_ || !session.request_ || session.request_->deadline > now) continue;
    if (session.request_->transmissions < settings_.retries) {
      // A retransmission that cannot be sent counts as made: the request then times
      // out on schedule.
      transmit(session);
    } else {
      time_out(session);
    }
  }
  --depth_;
}

bool SnmpQueries::next_deadline(Clock::TimePoint* deadline) const {
  bool found = false;
  for (const auto& session : sessions_) {
    if (session->closing_ || !session->request_) continue;
    if (!found || session->request_->deadline < *deadline) *deadline = session->request_->deadline;
    found = true;
  }
  return found;
}

// Closes the sessions marked for closing, once no entry point is active. A request
// still outstanding on such a session (a completion returned 2 after sending a
// follow-up) gets its completion with SNMP_FAILED first.
void SnmpQueries::close_marked() {
  if (depth_ != 0) return;
  ++depth_;
  for (bool again = true; again;) {
    again = false;
    for (size_t i = 0; i < sessions_.size(); ++i) {
      SnmpSession& session = *sessions_[i];
      if (!session.closing_ || !session.request_) continue;
      std::unique_ptr<SnmpRequest> request = std::move(session.request_);
      request->completion(SNMP_FAILED, session, nullptr, request->argument);
      again = true;
    }
  }
  --depth_;
  std::erase_if(sessions_, [](const std::unique_ptr<SnmpSession>& session) {
    if (!session->closing_) return false;
    snmp_sess_close(session->handle_);
    return true;
  });
}

std::string SnmpQueries::encode_get(const SnmpVariableList& variables, long request_id) const {
  std::unique_ptr<netsnmp_pdu, SnmpRequest::PduFree> pdu(get_pdu(variables));
  pdu->reqid = request_id;
  pdu->version = SNMP_VERSION_1;
  netsnmp_session settings;
  snmp_sess_init(&settings);
  settings.version = SNMP_VERSION_1;
  std::string community = settings_.community;
  settings.community = reinterpret_cast<u_char*>(community.data());
  settings.community_len = community.size();
  // The library encodes backwards, from the end of the buffer: the datagram is the
  // last `length` bytes.
  size_t size = 2048;
  size_t length = 0;
  auto* buffer = static_cast<u_char*>(malloc(size));
  if (!buffer) return {};
  std::string datagram;
  if (snmp_build(&buffer, &size, &length, &settings, pdu.get()) == 0 && length <= size) {
    datagram.assign(reinterpret_cast<const char*>(buffer + size - length), length);
  }
  free(buffer);
  return datagram;
}

void SnmpQueries::snmp_prepare(int& nfds, fd_set& read, timeval& timeout, bool& blocking) {
  for (;;) {
    close_marked();
    Clock::TimePoint deadline;
    if (!next_deadline(&deadline)) break;
    Clock::TimePoint now = clock_.steady_now();
    if (deadline > now) {
      auto wait = std::chrono::ceil<std::chrono::microseconds>(deadline - now).count();
      timeout.tv_sec = static_cast<time_t>(wait / 1000000);
      timeout.tv_usec = static_cast<suseconds_t>(wait % 1000000);
      blocking = false;
      break;
    }
    process_deadlines(now);
  }
  for (const auto& session : sessions_) {
    FD_SET(session->fd_, &read);
    nfds = std::max(nfds, session->fd_ + 1);
  }
}

void SnmpQueries::snmp_expire() {
  process_deadlines(clock_.steady_now());
  close_marked();
}

void SnmpQueries::snmp_read(fd_set& read) {
  ++depth_;
  // Sessions opened by completions during this pass are appended; none of their
  // descriptors was in the set the caller prepared.
  size_t count = sessions_.size();
  for (size_t i = 0; i < count; ++i) {
    SnmpSession& session = *sessions_[i];
    if (session.closing_ || !FD_ISSET(session.fd_, &read)) continue;
    snmp_sess_read(session.handle_, &read);
  }
  --depth_;
  close_marked();
}

void SnmpQueries::trace(int bits, const char* format, ...) {
  if (!(settings_.debug & bits) || !settings_.debug_file) return;
  va_list args;
  va_start(args, format);
  vfprintf(settings_.debug_file, format, args);
  va_end(args);
}

void SnmpQueries::trace_frame(int bits) {
  trace(bits, "+%s\n", std::string(SNMP_FRAME_DASHES, '-').c_str());
}

std::string SnmpQueries::variable_name(const oid* name, size_t length) const {
  std::span<const oid> oids(name, length);
  std::string full = tree_.oid_to_name(oids);
  if (!settings_.suffix_names) return full;
  // From the deepest object the tree knows on: "sysDescr.0".
  const MibNode* node = tree_.deepest_node(oids);
  size_t at = node ? full.rfind("." + node->label) : std::string::npos;
  return at == std::string::npos ? full : full.substr(at + 1);
}
