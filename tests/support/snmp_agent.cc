// The SNMP test peers: snmpd with its configuration and pass script in a temporary
// tree, started, waited for and stopped; and the bare UDP socket in an agent's place.
#include "tests/support/snmp_agent.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

#include "common/unique_fd.h"

namespace {

constexpr const char* kSnmpd = "/usr/sbin/snmpd";
constexpr int kPort = 161;
constexpr auto kStartLimit = std::chrono::seconds(15);

// `text` as one single-quoted shell word.
std::string shell_quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

// The pass protocol's type and value lines of a served value.
std::pair<std::string, std::string> pass_value(const SnmpServedValue& served) {
  switch (served.type) {
    case SnmpServedValue::INTEGER:
      return {"integer", served.value};
    case SnmpServedValue::HEX_STRING: {
      std::string hex;
      char byte[4];
      for (unsigned char c : served.value) {
        snprintf(byte, sizeof byte, "%s%02X", hex.empty() ? "" : " ", c);
        hex += byte;
      }
      return {"octet", hex};
    }
    case SnmpServedValue::STRING:
      break;
  }
  return {"string", served.value};
}

sockaddr_in agent_address(const std::string& address) {
  sockaddr_in in{};
  in.sin_family = AF_INET;
  in.sin_port = htons(kPort);
  if (inet_pton(AF_INET, address.c_str(), &in.sin_addr) != 1) {
    throw std::invalid_argument("not a dotted address: " + address);
  }
  return in;
}

// A BER type-length-value.
std::string tlv(unsigned char type, const std::string& content) {
  std::string out(1, static_cast<char>(type));
  if (content.size() < 0x80) {
    out += static_cast<char>(content.size());
  } else {
    out += static_cast<char>(0x82);
    out += static_cast<char>(content.size() >> 8);
    out += static_cast<char>(content.size() & 0xff);
  }
  return out + content;
}

// An SNMPv1 GET of .1.3.6.1 (the answer, noSuchName, only shows the agent is up).
std::string probe_message(const std::string& community) {
  std::string zero = tlv(0x02, std::string(1, '\0'));
  std::string binding = tlv(0x30, tlv(0x06, "\x2b\x06\x01") + tlv(0x05, ""));
  std::string pdu = tlv(0xa0, tlv(0x02, "\x01") + zero + zero + tlv(0x30, binding));
  return tlv(0x30, zero + tlv(0x04, community) + pdu);
}

// Binds a UDP socket to ADDRESS:161. Gives an invalid descriptor and the reason
// where this process may not bind the port; throws on any other failure.
UniqueFd bind_agent_port(const std::string& address, std::string* reason) {
  UniqueFd fd(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  sockaddr_in in = agent_address(address);
  if (bind(fd.get(), reinterpret_cast<sockaddr*>(&in), sizeof in) == 0) return fd;
  int error = errno;
  std::string where = address + ":" + std::to_string(kPort);
  if (error != EACCES && error != EPERM) {
    throw std::runtime_error("cannot bind " + where + ": " + strerror(error));
  }
  *reason = "cannot bind " + where + " (not root)";
  return UniqueFd();
}

}  // namespace

SnmpAgent::SnmpAgent(const std::string& address, const std::vector<SnmpServedValue>& values,
                     const std::vector<std::string>& communities)
    : address_(address) {
  if (communities.empty()) throw std::invalid_argument("the agent needs a community");
  if (access(kSnmpd, X_OK) != 0) {
    reason_ = std::string(kSnmpd) + " is not installed";
    return;
  }
  // Whether this process may bind the port at all; the agent then binds it itself.
  if (!bind_agent_port(address, &reason_).valid()) return;
  write_files(values, communities);

  std::vector<std::string> argv = {"snmpd",
                                   "-f",
                                   "-C",
                                   "-c",
                                   tree_.path("snmpd.conf"),
                                   "-Lf",
                                   tree_.path("snmpd.log"),
                                   "-I",
                                   "-smux",
                                   "udp:" + address + ":" + std::to_string(kPort)};
  std::vector<std::string> env = test_environment({
      "SNMPCONFPATH=" + tree_.path("conf"),
      "SNMP_PERSISTENT_DIR=" + tree_.path("state"),
      "MIBDIRS=" + tree_.path("mibs"),
      "MIBS=",
  });
  std::string out_path = tree_.path("snmpd.out");
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    // A test that dies leaves no agent behind.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int in = open("/dev/null", O_RDONLY);
    if (out < 0 || in < 0) _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(out, 2);
    // Nothing of the test (its sockets above all) stays open in the agent.
    close_range(3, ~0U, 0);
    exec_program(kSnmpd, std::move(argv), std::move(env));
  }

  auto limit = std::chrono::steady_clock::now() + kStartLimit;
  while (!answers(communities.front())) {
    int status;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      throw std::runtime_error("snmpd ended at start:\n" + log() + read_file(out_path));
    }
    if (std::chrono::steady_clock::now() > limit) {
      stop();
      throw std::runtime_error("snmpd does not answer:\n" + log() + read_file(out_path));
    }
  }
}

SnmpAgent::~SnmpAgent() { stop(); }

std::string SnmpAgent::log() const { return read_file(tree_.path("snmpd.log")); }

void SnmpAgent::write_files(const std::vector<SnmpServedValue>& values,
                            const std::vector<std::string>& communities) {
  std::string script =
      "#!/bin/sh\n"
      "# Answers the agent's GET (-g OID) for the served variables only.\n"
      "[ \"$1\" = \"-g\" ] || exit 0\n"
      "case \"$2\" in\n";
  // Longer matches win in the view, so the served variables stand out of a view that
  // excludes everything else.
  std::string config =
      "[snmp] persistentDir " + tree_.path("state") + "\nview served excluded .1\n";
  for (const SnmpServedValue& served : values) {
    if (served.type == SnmpServedValue::STRING && served.value.find('\n') != std::string::npos) {
      throw std::invalid_argument("a served STRING cannot hold a newline");
    }
    auto [type, value] = pass_value(served);
    script += "  " + shell_quote(served.oid) + ") printf '%s\\n' " + shell_quote(served.oid) + " " +
              type + " " + shell_quote(value) + " ;;\n";
    config += "view served included " + served.oid + "\n";
    config += "pass " + served.oid + " /bin/sh " + tree_.path("pass.sh") + "\n";
  }
  script += "esac\n";
  for (const std::string& community : communities) {
    config += "rocommunity " + community + " default -V served\n";
  }
  tree_.write("pass.sh", script, 0755);
  tree_.write("snmpd.conf", config);
  tree_.write("conf/.keep", "");
  tree_.write("state/.keep", "");
  tree_.write("mibs/.keep", "");
}

bool SnmpAgent::answers(const std::string& community) {
  UniqueFd client(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  sockaddr_in to = agent_address(address_);
  std::string message = probe_message(community);
  sendto(client.get(), message.data(), message.size(), 0, reinterpret_cast<sockaddr*>(&to),
         sizeof to);
  pollfd ready{client.get(), POLLIN, 0};
  return poll(&ready, 1, 100) == 1 && (ready.revents & POLLIN);
}

void SnmpAgent::stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  int status;
  while (waitpid(pid_, &status, WNOHANG) != pid_) {
    if (std::chrono::steady_clock::now() > limit) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      break;
    }
    usleep(10000);
  }
  pid_ = -1;
}

SnmpPeerSocket::SnmpPeerSocket(const std::string& address)
    : fd_(bind_agent_port(address, &reason_)) {}

std::vector<SnmpPeerSocket::Datagram> SnmpPeerSocket::take(size_t at_least, int timeout_ms) {
  std::vector<Datagram> got;
  char buffer[65536];
  auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    Datagram datagram{};
    socklen_t length = sizeof datagram.from;
    ssize_t n = recvfrom(fd_.get(), buffer, sizeof buffer, MSG_DONTWAIT,
                         reinterpret_cast<sockaddr*>(&datagram.from), &length);
    if (n >= 0) {
      datagram.bytes.assign(buffer, static_cast<size_t>(n));
      got.push_back(datagram);
      continue;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        limit - std::chrono::steady_clock::now());
    if (got.size() >= at_least || left.count() <= 0) return got;
    // Loopback delivery may lag behind the send when the machine is busy.
    pollfd ready{fd_.get(), POLLIN, 0};
    poll(&ready, 1, static_cast<int>(left.count()));
  }
}

void SnmpPeerSocket::answer(const Datagram& request, int error_status, unsigned char pdu_type) {
  // message: 30 len, version 02 01 00, community 04 len ..., then the PDU: type, len,
  // request id 02 len ..., error-status 02 01 value.
  std::string bytes = request.bytes;
  size_t pdu = 2 + 3 + 2 + static_cast<unsigned char>(bytes.at(6));
  size_t request_id = pdu + 2;
  size_t error = request_id + 2 + static_cast<unsigned char>(bytes.at(request_id + 1));
  bytes.at(pdu) = static_cast<char>(pdu_type);
  bytes.at(error + 2) = static_cast<char>(error_status);
  sendto(fd_.get(), bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&request.from),
         sizeof request.from);
}
