// The port header: what a multi-port print server wants first on every data
// connection, naming the port of the server and the job.
//
// Layout (big-endian):
//   0  2  count of the bytes from offset 4 to the end
//   2  1  0x00
//   3  1  0x08
//   4  1  print server port number as one ASCII digit ('0' + N)
//   5  3  0x00 0x01 0x00
//   8  .  header host name, job name, user (" " when empty), printer name (" " when
//         empty), each followed by one zero byte
//   .  7  0xFF x 6, 0x00
#pragma once

#include <string>

#include "netfeeder/options.h"

// The port header for print server port `server_port` and the names in `settings`.
std::string build_port_header(const Settings& settings, int server_port);
