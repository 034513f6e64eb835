// Device path, pseudo-terminal and link for device mode.
#include "netfeeder/device.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "common/descriptors.h"
#include "common/format.h"
#include "common/io.h"

namespace {

constexpr unsigned kLinkWaitSeconds = 5;

bool open_slave(Pty& pty) {
  pty.slave.reset(open(pty.slave_name.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!pty.slave.valid()) return false;
  termios mode;
  if (tcgetattr(pty.slave.get(), &mode) == 0) {
    cfmakeraw(&mode);
    tcsetattr(pty.slave.get(), TCSANOW, &mode);
  }
  return true;
}

enum class Search { NO_MASTER, OPENED, NO_SLAVE };

Search search_bsd_ptys(Pty& pty, bool debug) {
  for (char bank : std::string("pqrs")) {
    struct stat st;
    if (stat(strprintf("/dev/pty%c0", bank).c_str(), &st) != 0) break;
    if (debug) write_all(1, strprintf("Slave name = /dev/tty%c\n", bank));
    for (char digit : std::string("0123456789abcdef")) {
      std::string master = strprintf("/dev/pty%c%c", bank, digit);
      if (debug) write_all(1, strprintf("  trying master = %s\n", master.c_str()));
      pty.master.reset(open(master.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
      if (!pty.master.valid()) continue;
      pty.slave_name = strprintf("/dev/tty%c%c", bank, digit);
      if (open_slave(pty)) return Search::OPENED;
      // The first master that opens is the one: a slave that will not open ends
      // the search instead of moving on to another kind of pseudo-terminal.
      pty.master.reset();
      return Search::NO_SLAVE;
    }
  }
  return Search::NO_MASTER;
}

bool open_system_pty(Pty& pty, bool debug) {
  pty.master.reset(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!pty.master.valid() || grantpt(pty.master.get()) != 0 || unlockpt(pty.master.get()) != 0) {
    return false;
  }
  char name[256];
  if (ptsname_r(pty.master.get(), name, sizeof name) != 0) return false;
  pty.slave_name = name;
  if (debug) write_all(1, strprintf("Slave name = %s\n", name));
  return open_slave(pty);
}

}  // namespace

std::string claim_device_path(const std::string& path) {
  int fd = open(path.c_str(), O_CREAT | O_EXCL | O_RDONLY | O_CLOEXEC, 0644);
  if (fd >= 0) {
    close(fd);
    return "";
  }
  std::string message = strprintf("Could not create %s.\n", path.c_str());
  if (errno == EACCES || errno == EPERM) {
    message += "You do not have permission to create this file.\n";
  } else {
    message += "This file already exists.  Please remove it or specify another device name.\n";
  }
  return message;
}

bool open_pty(Pty& pty, bool debug) {
  Search search = search_bsd_ptys(pty, debug);
  bool opened =
      search == Search::OPENED || (search == Search::NO_MASTER && open_system_pty(pty, debug));
  if (!opened) {
    pty.master.reset();
    pty.slave.reset();
    return false;
  }
  // Printer responses are written back to the master; when nobody reads them they
  // are dropped rather than stopping the agent.
  set_nonblocking(pty.master.get());
  return true;
}

bool link_device(const std::string& device_path, const Pty& pty, Sleeper& sleeper) {
  chmod(pty.slave_name.c_str(), 0622);
  unlink(device_path.c_str());
  sleeper.sleep_seconds(kLinkWaitSeconds);
  return symlink(pty.slave_name.c_str(), device_path.c_str()) == 0;
}
