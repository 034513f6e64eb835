// Device mode: the device path that claims a name below /dev, the pseudo-terminal
// the agent reads its jobs from, and the link from the device path to its slave, so
// that anything written to the device path reaches the printer.
#pragma once

#include <string>

#include "common/clock.h"
#include "common/unique_fd.h"

// Creates `path` exclusively (and closes it again) to prove that the name is free.
// Gives "" on success, else the message to print.
std::string claim_device_path(const std::string& path);

struct Pty {
  UniqueFd master;  // non-blocking; the agent's input
  UniqueFd slave;   // kept open for the life of the agent
  std::string slave_name;
};

// Opens a pseudo-terminal: the first free BSD-style master /dev/pty[pqrs][0-9a-f]
// (a bank is searched only while its first master exists), and when the system has
// none of those, one of its own (posix_openpt). The slave is put in raw mode so that
// the bytes written to it reach the agent unchanged and nothing is echoed. With
// `debug` the search is listed on standard output. False when none could be opened,
// or when the slave of the master found does not open.
bool open_pty(Pty& pty, bool debug);

// Sets the slave's permissions to 0622, removes `device_path`, waits 5 seconds and
// makes `device_path` a symbolic link to the slave. False when the link fails.
bool link_device(const std::string& device_path, const Pty& pty, Sleeper& sleeper);
