// Connections to the printer, the port header, IR messages and response texts.
#include "netfeeder/port_protocol.h"

#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <memory>

#include "common/format.h"
#include "common/io.h"

int Dialer::connect_socket(int fd, const sockaddr* address, socklen_t length) {
  return ::connect(fd, address, length) == 0 ? 0 : errno;
}

int connect_host(const std::string& host, int port, ConnectPolicy policy, Dialer& dialer) {
  std::string service = std::to_string(static_cast<uint16_t>(port));
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0) {
    throw HostFailure{HostFailure::UNRESOLVED, host};
  }
  std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> addresses(found, freeaddrinfo);

  int retries_left = RETRIES_PER_CALL;  // shared by all addresses of this call
  for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
    // Every attempt gets a fresh socket: the state of a socket after a failed
    // connect is not something to build on.
    for (;;) {
      UniqueFd fd(socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol));
      if (!fd.valid()) break;
      int error = dialer.connect_socket(fd.get(), a->ai_addr, a->ai_addrlen);
      if (error == 0) return fd.release();
      bool again = false;
      switch (error) {
        case ECONNREFUSED:
          if (policy == PERSISTENT) {
            dialer.sleep_seconds(REFUSED_WAIT_SECONDS);
            again = true;
          }
          break;
        case ETIMEDOUT:
        case EHOSTUNREACH:
          if (policy != SINGLE && retries_left > 0) {
            dialer.sleep_seconds(RETRY_WAIT_SECONDS);
            --retries_left;
            again = true;
          }
          break;
        case EINTR:
          again = policy != SINGLE;
          break;
        case ENETUNREACH:
          throw HostFailure{HostFailure::UNREACHABLE, host};
        default:
          break;
      }
      if (!again) break;
    }
  }
  return -1;
}

std::string build_port_header(const Settings& s) {
  std::string body;
  body += static_cast<char>('0' + s.server_port);
  body.append("\x00\x01\x00", 3);
  for (const std::string* field : {&s.header_host, &s.job_name}) {
    body += *field;
    body += '\0';
  }
  for (const std::string* field : {&s.user, &s.printer_name}) {
    body += field->empty() ? std::string(" ") : *field;
    body += '\0';
  }
  body.append("\xff\xff\xff\xff\xff\xff\x00", 7);
  std::string header;
  header += static_cast<char>((body.size() >> 8) & 0xff);
  header += static_cast<char>(body.size() & 0xff);
  header.append("\x00\x08", 2);
  return header + body;
}

UniqueFd PrinterLink::open_printer() {
  const std::string& host = settings_.host;
  int fd = -1;
  for (;;) {
    if (settings_.tarragon) {
      fd = connect_host(host, TARRAGON_PORT, PERSISTENT, dialer_);
    } else {
      if (!opened_once_) {
        fd = connect_host(host, TARRAGON_PORT, PROBE, dialer_);
        if (fd >= 0) {
          settings_.tarragon = true;
          settings_.server_port = 1;
        }
      }
      if (fd < 0) fd = connect_host(host, RAW_PORT, PERSISTENT, dialer_);
    }
    if (fd >= 0) break;
    // No address would take a connection at all: wait rather than spin.
    dialer_.sleep_seconds(RETRY_WAIT_SECONDS);
  }
  opened_once_ = true;
  UniqueFd connection(fd);

  if (settings_.tarragon) {
    std::string header = build_port_header(settings_);
    if (trace_.enabled) {
      const Settings& s = settings_;
      std::string text = strprintf("Open a tarragon port %d:\n", s.server_port);
      text += strprintf("\thostname :'%s'\n", s.header_host.c_str());
      text += strprintf("\tjob_name :'%s'\n", s.job_name.c_str());
      text += s.user.empty() ? std::string("\tuser :' '\n")
                             : strprintf("\tuser :'%s'\n", s.user.c_str());
      text += s.printer_name.empty() ? std::string("\tprinter_name :' '\n")
                                     : strprintf("\tprinter_name :'%s'\n", s.printer_name.c_str());
      text +=
          strprintf("\tsize = %d (%2x %2x)\n", static_cast<int>(header.size()),
                    static_cast<unsigned char>(header[0]), static_cast<unsigned char>(header[1]));
      text += hex_dump(header);
      trace_.write(text);
    }
    // A failure here shows up in the pump as a lost connection.
    write_all(connection.get(), header);
  }
  set_nonblocking(connection.get());
  return connection;
}

UniqueFd PrinterLink::open_ir_connection() {
  UniqueFd ir(connect_host(settings_.host, settings_.ir_port, SINGLE, dialer_));
  if (ir.valid()) set_nonblocking(ir.get());
  return ir;
}

namespace {

bool would_block() { return errno == EAGAIN || errno == EWOULDBLOCK; }

}  // namespace

IrReader::Result IrReader::read_ir_message(int fd) {
  if (have_ == 0) {
    ssize_t n = read_retry(fd, message_, 1);
    if (n == 0) return {CLOSED};
    if (n < 0) return {would_block() ? PENDING : CLOSED};
    int length = static_cast<signed char>(message_[0]);
    // Without a length that counts itself there is no telling where the next
    // message starts: only this byte goes.
    if (length < 1) return {DISCARDED, 0, length};
    have_ = 1;
  }
  int length = static_cast<signed char>(message_[0]);
  while (have_ < length) {
    ssize_t n = read_retry(fd, message_ + have_, static_cast<size_t>(length - have_));
    if (n < 0 && would_block()) return {PENDING};
    if (n <= 0) {
      have_ = 0;  // a message cut short is never reported
      return {CLOSED};
    }
    have_ += static_cast<int>(n);
  }
  have_ = 0;
  // Too short to carry a condition: its bytes are dropped so that the framing holds.
  if (length < 3) return {DISCARDED, 0, length};
  message_[2] = 0xFF;
  bool queued = queue_ack(fd, message_, static_cast<size_t>(length));
  return {MESSAGE, static_cast<signed char>(message_[1]), length, !queued};
}

bool IrReader::queue_ack(int fd, const unsigned char* ack, size_t size) {
  flush_acks(fd);  // the peer may have made room since the last acknowledgement
  if (backlog_.size() + size > kAckBacklogLimit) return false;
  backlog_.append(reinterpret_cast<const char*>(ack), size);
  flush_acks(fd);
  return true;
}

void IrReader::flush_acks(int fd) {
  while (!backlog_.empty()) {
    // Never waits, and a peer that has gone away does not end the agent (no SIGPIPE).
    ssize_t n = send(fd, backlog_.data(), backlog_.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      backlog_.erase(0, static_cast<size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && would_block()) {
      return;
    } else {
      backlog_.clear();
      return;
    }
  }
}

const char* condition_name(int code) {
  struct Codes {
    int first, last;
    const char* name;
  };
  static constexpr Codes kNames[] = {
      {0, 0, "Clear"},
      {1, 14, "Service Printer"},
      {15, 15, "Job Error"},
      {16, 16, "Paper Jam"},
      {17, 17, "Change Paper"},
      {18, 18, "Output Full"},
      {19, 20, "Job Error"},
      {21, 21, "Printer Error"},
      {22, 23, "Job Error"},
      {24, 24, "Service Printer"},
      {25, 25, "Printer Error"},
      {26, 29, "Job Error"},
      {30, 30, "Printer Error"},
      {31, 31, "Job Error"},
      {32, 32, "Service Printer"},
      {33, 36, "Disk Failure"},
      {37, 37, "Job Error"},
      {38, 38, "Printer Error"},
      {39, 42, "Paper Jam"},
      {43, 43, "Load Paper"},
      {44, 44, "Toner Low"},
      {45, 46, "Cover Open"},
      {47, 47, "Off line"},
      {64, 65, "Printer Error"},
      {112, 112, "Busy"},
      {127, 127, "Port Timeout"},
  };
  for (const Codes& codes : kNames) {
    if (code >= codes.first && code <= codes.last) return codes.name;
  }
  return "Unknown Problem";
}

std::string response_text(const char* bytes, size_t n) {
  std::string text;
  text.reserve(2 * n);
  for (size_t i = 0; i < n; ++i) {
    unsigned char b = static_cast<unsigned char>(bytes[i]);
    if (b > 31 || b == '\n') {
      text += static_cast<char>(b);
    } else {
      text += '^';
      text += static_cast<char>(b + 64);
    }
  }
  return text;
}

std::string hex_dump(std::string_view bytes) {
  std::string text;
  for (size_t row = 0; row < bytes.size(); row += 16) {
    size_t count = std::min<size_t>(16, bytes.size() - row);
    text += "| ";
    for (size_t i = 0; i < count; ++i) {
      text += strprintf("%02x ", static_cast<unsigned char>(bytes[row + i]));
    }
    text.append(3 * (16 - count), ' ');
    text += '\t';
    for (size_t i = 0; i < count; ++i) {
      unsigned char b = static_cast<unsigned char>(bytes[row + i]);
      text += b >= 32 && b < 128 ? static_cast<char>(b) : '.';
    }
    text += '\n';
  }
  return text;
}
