// Test support: SNMP peers on loopback addresses for tests of discovery's SNMP
// requests. A real SNMPv1 agent (the Debian snmpd) serving given variables to given
// communities, and a bare UDP socket in an agent's place that stays silent or sends
// back what the test tells it to.
//
// The agent runs in the foreground of a child process on ADDRESS, UDP port 161, and
// reads nothing of the system: its configuration, persistent state, MIB directory
// and log all live in a temporary tree, AgentX and SMUX are off. Each served
// variable is answered by a small shell script through the agent's `pass`
// mechanism, and the agent's view holds the served variables only: a GET for
// anything else gets noSuchName, as from any SNMPv1 agent. Communities not given
// get no answer at all.
#pragma once

#include <netinet/in.h>
#include <sys/types.h>

#include <string>
#include <vector>

#include "common/unique_fd.h"
#include "tests/support/program.h"

struct SnmpServedValue {
  enum Type { INTEGER, STRING, HEX_STRING };

  std::string oid;  // numeric, with a leading dot: ".1.3.6.1.2.1.1.1.0"
  Type type = STRING;
  // INTEGER: the decimal number; STRING: the text (without a newline); HEX_STRING:
  // the octets themselves, any bytes.
  std::string value;
};

class SnmpAgent {
 public:
  // Starts the agent and returns once it answers. Where it cannot run (snmpd is not
  // installed, or port 161 cannot be bound: not root) available() is false and
  // nothing runs. Throws when it could run but does not answer, or when the address
  // is taken.
  SnmpAgent(const std::string& address, const std::vector<SnmpServedValue>& values,
            const std::vector<std::string>& communities = {"tessel"});
  // Stops the agent.
  ~SnmpAgent();
  SnmpAgent(const SnmpAgent&) = delete;
  SnmpAgent& operator=(const SnmpAgent&) = delete;

  bool available() const { return pid_ > 0; }
  // Why the agent is not available, for the skip message.
  const std::string& unavailable_reason() const { return reason_; }
  // The agent's log so far.
  std::string log() const;

 private:
  void write_files(const std::vector<SnmpServedValue>& values,
                   const std::vector<std::string>& communities);
  bool answers(const std::string& community);
  void stop();

  std::string address_;
  TempTree tree_;
  pid_t pid_ = -1;
  std::string reason_;
};

// A UDP socket bound to ADDRESS:161 in an agent's place: it answers nothing by
// itself (a silent address), and the test reads the requests that reached it and
// sends back answers made from them.
class SnmpPeerSocket {
 public:
  struct Datagram {
    std::string bytes;
    sockaddr_in from;
  };

  // Binds the address. Where port 161 cannot be bound (not root) available() is
  // false; any other failure (the address taken) throws.
  explicit SnmpPeerSocket(const std::string& address);

  bool available() const { return fd_.valid(); }
  const std::string& unavailable_reason() const { return reason_; }

  // The requests that arrived since the last call, oldest first: waits until at
  // least `at_least` are there (at most `timeout_ms`), then takes whatever is there.
  std::vector<Datagram> take(size_t at_least = 0, int timeout_ms = 5000);
  // Sends `request` (an SNMPv1 request with short-form lengths, as a GET for a few
  // variables is) back to its sender with its PDU type changed to `pdu_type` and its
  // error-status set: by default a GET response, without error, carrying the
  // request's variables with NULL values.
  void answer(const Datagram& request, int error_status = 0, unsigned char pdu_type = 0xa2);

 private:
  UniqueFd fd_;
  std::string reason_;
};
