// The NPA client's endpoint: one UDP socket for the whole process, bound to any local
// address and port, read by the discovery program's select loop. Commands, sessions
// and their timers come with printer identification; until then every datagram that
// arrives is read and dropped, and the endpoint never asks the loop for a time-out.
#pragma once

#include <sys/select.h>
#include <sys/time.h>

#include "common/unique_fd.h"

// npa_init's results.
inline constexpr int NPA_OK = 0;
inline constexpr int NPA_NO_SOCKET = 3;  // discovery goes on without NPA

class NpaTransport {
 public:
  // Opens and binds the socket. On failure prints "npa_init: can't open datagram
  // socket\n" or "npa_init: Can not bind NPA\n" on standard output and gives
  // NPA_NO_SOCKET.
  int npa_init();
  int fd() const { return socket_.get(); }

  // The NPA row of the select table: adds the socket to `read` (raising `nfds`);
  // with no timer pending the row blocks.
  void npa_prepare(int& nfds, fd_set& read, timeval& timeout, bool& block);
  // Processes due timers.
  void npa_expire();
  // Reads and handles one datagram.
  void npa_read();

 private:
  UniqueFd socket_;
};
