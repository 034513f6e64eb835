// Address lookup and the connection policies.
#include "netfeeder/connect.h"

#include <errno.h>
#include <netdb.h>

#include <cstdint>
#include <memory>

#include "common/unique_fd.h"

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
