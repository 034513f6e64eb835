// The NPA endpoint.
#include "npa/npa_transport.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "common/descriptors.h"

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

void NpaTransport::npa_prepare(int& nfds, fd_set& read, timeval& timeout, bool& block) {
  npa_expire();
  if (socket_.valid() && socket_.get() < FD_SETSIZE) {
    FD_SET(socket_.get(), &read);
    nfds = std::max(nfds, socket_.get() + 1);
  }
  timeout = timeval{0, 0};
  block = true;
}

void NpaTransport::npa_expire() {}

void NpaTransport::npa_read() {
  if (!socket_.valid()) return;
  unsigned char datagram[1500];
  (void)recv(socket_.get(), datagram, sizeof datagram, 0);
}
