// Delivering notifications: the user's terminal (found in the login records), the
// system console, and mail through the system's mail program.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <termios.h>
#include <time.h>
#include <utmp.h>

#include <cstring>

#include "common/format.h"
#include "common/io.h"
#include "common/paths.h"
#include "common/process.h"
#include "netfeeder/notify.h"

namespace {

// A terminal line from the login records names a device below /dev: "pts/3", "tty1".
// Anything that could lead elsewhere is not used.
bool acceptable_line(const std::string& line) {
  if (line.empty() || line[0] == '/') return false;
  size_t start = 0;
  for (;;) {
    size_t slash = line.find('/', start);
    if (line.compare(start, slash == std::string::npos ? std::string::npos : slash - start, "..") ==
        0) {
      return false;
    }
    if (slash == std::string::npos) return true;
    start = slash + 1;
  }
}

std::string field(const char* text, size_t size) { return std::string(text, strnlen(text, size)); }

// Reads one whole record; false at the end of the file (a partial record included).
bool read_record(int fd, void* record, size_t size) {
  size_t have = 0;
  while (have < size) {
    ssize_t n = read_retry(fd, static_cast<char*>(record) + have, size - have);
    if (n <= 0) return false;
    have += static_cast<size_t>(n);
  }
  return true;
}

// Keeps SIGPIPE from ending the agent while it writes to the mail program: a mail
// program that stops reading early is a failed delivery, not a reason to stop.
class SigpipeHeld {
 public:
  SigpipeHeld() {
    sigemptyset(&pipe_);
    sigaddset(&pipe_, SIGPIPE);
    sigprocmask(SIG_BLOCK, &pipe_, &saved_);
  }
  ~SigpipeHeld() {
    sigset_t pending;
    if (sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE)) {
      timespec none{0, 0};
      sigtimedwait(&pipe_, nullptr, &none);
    }
    sigprocmask(SIG_SETMASK, &saved_, nullptr);
  }

 private:
  sigset_t pipe_, saved_;
};

}  // namespace

void Notifier::deliver_write(const std::string& recipient, const LineList& lines) {
  if (recipient.empty()) {
    write_console(lines);
    return;
  }
  std::string login = recipient;
  size_t at = recipient.find('@');
  if (at != std::string::npos) {
    login = recipient.substr(0, at);
    utsname node;
    if (uname(&node) != 0 || recipient.compare(at + 1, std::string::npos, node.nodename) != 0) {
      deliver_mail(recipient, lines);
      return;
    }
  }
  if (!write_user_tty(login, lines)) deliver_mail(recipient, lines);
}

std::string Notifier::find_user_tty(const std::string& user) {
  trace_.write("------------------------------------------\n");
  trace_.print("WRITE MODE, Looking for tty for user [%s].\n", user.c_str());
  std::string chosen;
  bool have_line = false;
  UniqueFd records(open(paths::login_records().c_str(), O_RDONLY | O_CLOEXEC));
  if (records.valid()) {
    struct utmp record;
    while (read_record(records.get(), &record, sizeof record)) {
      std::string name = field(record.ut_user, sizeof record.ut_user);
      std::string line = field(record.ut_line, sizeof record.ut_line);
      trace_.print("UTMP_USER = %-10s", name.c_str());
      trace_.print("UTMP_LINE = %s\n", line.c_str());
      if (name != user || !acceptable_line(line)) continue;
      // The first line wins, except that a "console" line gives way to a later
      // "console" line or to one that sorts before it.
      if (!have_line) {
        chosen = line;
        have_line = true;
      } else if (chosen != "console") {
        break;
      } else if (line == "console") {
        chosen = line;
        break;
      } else if (line < "console") {
        chosen = line;
      }
    }
  }
  std::string device = have_line ? "/dev/" + chosen : std::string();
  trace_.print("WRITE DEVICE [%s]\n", device.c_str());
  trace_.write("--------------------------------------\n");
  return device;
}

bool Notifier::write_user_tty(const std::string& user, const LineList& lines) {
  std::string device = find_user_tty(user);
  if (device.empty()) return false;
  bool written = false;
  {
    Identity::Privileged privileged(identity_);
    // Not a link, not our controlling terminal, and nothing but a character device.
    // Opened without waiting for a carrier, then written normally.
    UniqueFd tty(open(device.c_str(), O_WRONLY | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st;
    if (tty.valid() && fstat(tty.get(), &st) == 0 && S_ISCHR(st.st_mode)) {
      int flags = fcntl(tty.get(), F_GETFL);
      if (flags >= 0) fcntl(tty.get(), F_SETFL, flags & ~O_NONBLOCK);
      write_all(tty.get(), "\a\n" + lines.text() + "\n<EOT>\n");
      written = true;
    }
  }
  return written;
}

void Notifier::write_console(const LineList& lines) {
  Identity::Privileged privileged(identity_);
  UniqueFd console(open(paths::console().c_str(), O_WRONLY | O_APPEND | O_NOCTTY | O_CLOEXEC));
  if (!console.valid()) return;
  termios saved;
  bool is_terminal = tcgetattr(console.get(), &saved) == 0;
  if (is_terminal) {
    termios cooked = saved;
    cooked.c_oflag |= OPOST | ONLCR;
    tcsetattr(console.get(), TCSADRAIN, &cooked);
  }
  write_all(console.get(), "\n\a" + lines.text() + "\n");
  if (is_terminal) tcsetattr(console.get(), TCSADRAIN, &saved);
}

void Notifier::deliver_mail(const std::string& recipient, const LineList& lines) {
  std::string address = recipient;
  if (!address.empty() && address.find('@') == std::string::npos && !settings_.mail_host.empty()) {
    address += "@" + settings_.mail_host;
  }
  trace_.print("Mail to %s\n", address.c_str());
  if (recipient.empty()) {
    write_console(lines);
    return;
  }
  std::string program = paths::mail_program();
  struct stat st;
  if (stat(program.c_str(), &st) != 0) {
    write_log(strprintf("Send mail not found : %s\n", program.c_str()));
    return;
  }
  // The mail program would read such a recipient as one of its options.
  if (address[0] == '-') {
    write_log(strprintf("Mail recipient refused : %s\n", address.c_str()));
    return;
  }
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) return;
  UniqueFd read_end(pipe_fds[0]), write_end(pipe_fds[1]);
  UniqueFd null(open("/dev/null", O_WRONLY | O_CLOEXEC));
  // The mail program runs as the invoking user only, never with the agent's
  // recorded privileged identity.
  pid_t pid = spawn_program(program, {program, address},
                            {.stdin_fd = read_end.get(),
                             .stdout_fd = null.get(),
                             .stderr_fd = null.get(),
                             .effective_ids_only = true});
  read_end.reset();
  if (pid < 0) return;

  std::string first = lines.count() > 0 ? lines[0] : std::string();
  if (!first.empty() && first.back() == '\n') first.pop_back();
  std::string text = strprintf("subject: %s\n", first.c_str());
  if (!settings_.printer_name.empty()) {
    text += strprintf("from: %s\n", settings_.printer_name.c_str());
  }
  text += "\n" + lines.text() + "\n.\n";
  {
    SigpipeHeld held;
    write_all(write_end.get(), text);
    write_end.reset();
  }
  wait_program(pid);
}
