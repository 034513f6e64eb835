// Connecting a stream socket to a printer host: address lookup and the three policies
// for failed attempts (retry, wait, move on), and the failures that end the job.
#pragma once

#include <sys/socket.h>

#include <string>

#include "common/clock.h"

// How connect_host treats a failed connection attempt:
//             refused               timed out / host unreachable     interrupted
// PROBE       next address          wait 5 s, retry (3 per call)     retry at once
// PERSISTENT  wait 15 s, retry      wait 5 s, retry (3 per call)     retry at once
// SINGLE      next address          next address                     next address
enum ConnectPolicy { PROBE, PERSISTENT, SINGLE };

inline constexpr unsigned RETRY_WAIT_SECONDS = 5;
inline constexpr unsigned REFUSED_WAIT_SECONDS = 15;
inline constexpr int RETRIES_PER_CALL = 3;

// The system calls connect_host depends on; tests script failures and skip waits.
class Dialer : public Sleeper {
 public:
  // connect(2) of `fd`; gives 0, or the error number of the failure.
  virtual int connect_socket(int fd, const sockaddr* address, socklen_t length);
};

// Ends the job: the host cannot be resolved, or its network is unreachable. The
// agent reports it and exits with status 0.
struct HostFailure {
  enum Kind { UNRESOLVED, UNREACHABLE };
  Kind kind;
  std::string host;
};

// Connects a stream socket to `port` (taken as an unsigned 16-bit value) of `host`
// (name, IPv4 or IPv6 literal, "%interface" for link-local), trying every address
// getaddrinfo gives in order under `policy`. Gives the connected socket
// (close-on-exec), or -1 when no address could be connected. Throws HostFailure.
int connect_host(const std::string& host, int port, ConnectPolicy policy, Dialer& dialer);
