// The agent's run: start-up in its fixed order, job mode and device mode, the exit
// routine and the signal handlers.
#include "netfeeder/netfeeder.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>

#include "common/clock.h"
#include "common/descriptors.h"
#include "common/format.h"
#include "common/identity.h"
#include "common/io.h"
#include "common/paths.h"
#include "netfeeder/connect.h"
#include "netfeeder/device.h"
#include "netfeeder/notify.h"
#include "netfeeder/options.h"
#include "netfeeder/printer_link.h"
#include "netfeeder/pump.h"
#include "netfeeder/trace.h"

namespace {

// What the exit routine needs, where a signal handler can reach it: the device path
// to remove (published once it is created, withdrawn when it must not be removed).
std::atomic<const char*> g_device_path{nullptr};

void clear_nonblocking(int fd) {
  int flags = fcntl(fd, F_GETFL);
  if (flags >= 0 && (flags & O_NONBLOCK)) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
}

// The exit routine, used by every exit after option parsing began.
int exit_routine(int status) {
  if (const char* path = g_device_path.exchange(nullptr)) unlink(path);
  clear_nonblocking(0);
  clear_nonblocking(1);
  return status;
}

// Only what is safe in a handler: remove the device path, restore the flags, _exit.
void exit_on_signal(int signal_number) {
  if (const char* path = g_device_path.load()) unlink(path);
  clear_nonblocking(0);
  clear_nonblocking(1);
  _exit(signal_number == SIGPIPE ? NETFEEDER_FAILED : NETFEEDER_OK);
}

void install_signal_handlers() {
  struct sigaction action {};
  action.sa_handler = exit_on_signal;
  sigemptyset(&action.sa_mask);
  for (int sig : {SIGALRM, SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGTSTP, SIGUSR1, SIGUSR2, SIGPIPE}) {
    sigaction(sig, &action, nullptr);
  }
}

class Agent {
 public:
  int run(int argc, char** argv);

 private:
  int start(int argc, char** argv);
  int handle_host_failure(const HostFailure& failure);
  void open_progress_log();
  void print_listing();
  int set_up_device(PumpSetup& setup);

  Identity identity_;
  // Filled by the command line, then only read.
  Settings settings_;
  Trace trace_;
  Dialer dialer_;
  Clock& clock_ = real_clock();
  Notifier notifier_{settings_, trace_, identity_, clock_};
  PrinterLink link_{settings_, dialer_, trace_};
  UniqueFd input_file_;
  UniqueFd progress_;
  std::string start_time_;
  std::string device_path_;
  Pty pty_;
};

int Agent::run(int argc, char** argv) {
  int status;
  try {
    status = start(argc, argv);
  } catch (const HostFailure& failure) {
    status = handle_host_failure(failure);
  }
  return exit_routine(status);
}

int Agent::handle_host_failure(const HostFailure& failure) {
  if (failure.kind == HostFailure::UNRESOLVED) {
    notifier_.dispatch_message(IR_MESSAGE, notifier_.unresolved_notification());
    notifier_.finish_responses();
  } else {
    notifier_.dispatch_message(IR_MESSAGE, notifier_.unreachable_notification());
  }
  return NETFEEDER_OK;
}

int Agent::start(int argc, char** argv) {
  // Descriptors 0 to 2 are always open (on /dev/null when nothing else), so that no
  // connection can take one of their numbers and receive stray output.
  ensure_standard_descriptors();
  identity_.record_and_swap();
  int status = parse_options(argc, argv, settings_, input_file_);
  if (status >= 0) return status;
  compute_ports(settings_);
  trace_.enabled = settings_.debug;

  install_signal_handlers();
  notifier_.open_log_and_collection();
  if (settings_.progress_given) open_progress_log();
  if (settings_.debug) print_listing();

  int deliveries = settings_.mail_flags | settings_.write_flags;
  if (settings_.device_mode() && (deliveries & DELIVER_RESPONSES)) {
    write_all(1,
              "WARNING: The printer response will be ignored.\n"
              "You cannot use this option in the device mode.\n");
    // The collection is the only thing that delivers responses: without it the
    // response bits of the settings stay unused.
    deliveries &= ~DELIVER_RESPONSES;
    notifier_.discard_responses();
  }
  if ((deliveries & DELIVER_USER) && settings_.user.empty()) {
    write_all(1, "You must specify a user.\n");
    return NETFEEDER_FAILED;
  }

  PumpSetup setup;
  setup.input_fd = input_file_.valid() ? input_file_.get() : 0;
  if (settings_.device_mode()) {
    status = set_up_device(setup);
    if (status >= 0) return status;
  } else {
    setup.data = link_.open_printer();
  }
  setup.ir = link_.open_ir_connection();
  trace_.print("ir_sd = %d\ndata_sd = %d\n", setup.ir.get(), setup.data.get());
  setup.progress_fd = progress_.valid() ? progress_.get() : (settings_.progress_given ? 2 : -1);
  setup.start_time = start_time_;
  Pump pump(settings_, link_, notifier_, trace_, std::move(setup));
  return pump.run();
}

void Agent::open_progress_log() {
  progress_.reset(
      open(settings_.progress_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  start_time_ = time_text(clock_);
  write_all(progress_.valid() ? progress_.get() : 2,
            strprintf("--- %s ---\n", start_time_.c_str()));
}

void Agent::print_listing() {
  const Settings& s = settings_;
  std::string text = strprintf("Host = %s\nIR port = %d\nResp port = %d\nlogfile = %s\n",
                               s.host.c_str(), s.ir_port, s.response_port, s.log_path.c_str());
  text += strprintf("user = %s\nadmin = %s\n", s.user.c_str(), s.admin.c_str());
  text += "Write options :\n";
  if (s.write_flags & DELIVER_IR_USER) text += "\twrite IR to user\n";
  if (s.write_flags & DELIVER_IR_ADMIN) text += "\twrite IR to administrator\n";
  if (s.write_flags & DELIVER_RESPONSE_USER) text += "\twrite Printer Responses to user\n";
  if (s.write_flags & DELIVER_RESPONSE_ADMIN) text += "\twrite Printer Responses to admin\n";
  text += "Mail options :\n";
  if (s.mail_flags & DELIVER_IR_USER) text += "\tmail IR to user\n";
  if (s.mail_flags & DELIVER_IR_ADMIN) text += "\tmail IR to administrator\n";
  if (s.mail_flags & DELIVER_RESPONSE_USER) text += "\tmail Printer Responses to user\n";
  if (s.mail_flags & DELIVER_RESPONSE_ADMIN) text += "\tmail Printer Responses to admin\n";
  trace_.write(text);
}

// Gives -1 to go on as the daemon, or the status to exit with.
int Agent::set_up_device(PumpSetup& setup) {
  std::string path = paths::device_path(settings_.device_name);
  std::string message = claim_device_path(path);
  if (!message.empty()) {
    write_all(1, message);
    return NETFEEDER_FAILED;
  }
  device_path_ = path;
  g_device_path.store(device_path_.c_str());

  if (!settings_.debug) {
    close(0);
    close(1);
    close(2);
    ensure_standard_descriptors();
    // The claimed file goes now, while only this process can remove it: were it left
    // to the parent's exit routine, that could run after the daemon made its link
    // and remove the link instead.
    g_device_path.store(nullptr);
    unlink(device_path_.c_str());
    pid_t pid = fork();
    if (pid < 0) return NETFEEDER_FAILED;
    if (pid > 0) return NETFEEDER_OK;  // the parent ends here; the daemon goes on
    g_device_path.store(device_path_.c_str());
    setsid();
  } else {
    setsid();  // fails for a process group leader, which is fine
  }

  if (!open_pty(pty_, settings_.debug)) {
    if (settings_.debug) write_all(1, "Could not open pty exiting\n");
    return NETFEEDER_FAILED;
  }
  if (!link_device(device_path_, pty_, dialer_)) {
    // Someone else has the name now: leave their file alone.
    g_device_path.store(nullptr);
    write_all(1, strprintf("Could not create %s.\n", device_path_.c_str()));
    return NETFEEDER_FAILED;
  }
  setup.input_fd = pty_.master.get();
  return -1;
}

}  // namespace

int run_netfeeder(int argc, char** argv) {
  Agent agent;
  return agent.run(argc, argv);
}
