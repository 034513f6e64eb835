// The backend's run: device discovery, or one job from the device URI to the agent's end.
#include "cups/backend.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <cstdlib>
#include <cstring>

#include "common/descriptors.h"
#include "common/format.h"
#include "common/io.h"
#include "common/paths.h"
#include "common/program_frame.h"
#include "cups/agent_command.h"
#include "cups/conditions.h"
#include "cups/device_uri.h"
#include "cups/discovery.h"
#include "cups/job_options.h"
#include "cups/job_processes.h"
#include "cups/outcomes.h"
#include "cups/queue_plan.h"
#include "cups/relay.h"
#include "pdd/library.h"

namespace {

constexpr const char* kUsage = "Usage: quintaro job-id user title copies options [file]\n";
// The transport command builder answers at once; a bound keeps a broken one from
// holding the job.
constexpr std::chrono::seconds kBuilderLimit(30);
// How much of a program's standard error is kept for the reason of a failure.
constexpr size_t kKeptErrors = 16384;
// The longest job title handed to the transport command builder, whose whole line is
// limited: the title only names the job in the printer's port header.
constexpr size_t kTitleLimit = 64;

std::atomic<int> g_stop_signal{0};

void on_stop_signal(int signal_number) { g_stop_signal = signal_number; }

void install_signal_handlers() {
  struct sigaction action {};
  action.sa_handler = on_stop_signal;
  sigemptyset(&action.sa_mask);
  // CUPS cancels a job with SIGTERM.
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &action, nullptr);
  // A reader that went away shows up as a failed write.
  signal(SIGPIPE, SIG_IGN);
}

void say(std::string_view prefix, std::string_view text) { report(cups_message(prefix, text)); }

int fail(int status, const std::string& reason) {
  say("ERROR: ", reason);
  return status;
}

// `text` cut to `limit` bytes without splitting a UTF-8 character.
std::string cut_text(const std::string& text, size_t limit) {
  if (text.size() <= limit) return text;
  size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

struct Captured {
  int status = -1;  // -1: could not be started, or did not end in time
  std::string out, err;
};

// Runs a program with its standard output and error read into memory, at most `limit`.
Captured run_captured(JobProcesses& processes, const std::string& path,
                      const std::vector<std::string>& argv, std::chrono::seconds limit) {
  Captured result;
  int out[2], err[2];
  if (pipe2(out, O_CLOEXEC) != 0) return result;
  if (pipe2(err, O_CLOEXEC) != 0) {
    close(out[0]);
    close(out[1]);
    return result;
  }
  UniqueFd out_read(out[0]), out_write(out[1]), err_read(err[0]), err_write(err[1]);
  UniqueFd null(open("/dev/null", O_RDONLY | O_CLOEXEC));
  SpawnOptions options;
  options.stdin_fd = null.get();
  options.stdout_fd = out_write.get();
  options.stderr_fd = err_write.get();
  pid_t pid = processes.start(path, argv, options);
  out_write.reset();
  err_write.reset();
  if (pid < 0) return result;
  auto deadline = std::chrono::steady_clock::now() + limit;
  pollfd fds[2] = {{out_read.get(), POLLIN, 0}, {err_read.get(), POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  while (fds[0].fd >= 0 || fds[1].fd >= 0) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || g_stop_signal) break;
    if (poll(fds, 2, static_cast<int>(std::min<long long>(left.count(), 100))) < 0 &&
        errno != EINTR) {
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        if (sinks[i]->size() < kKeptErrors) sinks[i]->append(buffer, static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        fds[i].fd = -1;
      }
    }
  }
  result.status = processes.wait(pid, std::chrono::milliseconds(fds[0].fd < 0 ? 5000 : 0));
  return result;
}

// Keeps a job read from a pipe in an unlinked temporary file, which the backend can read
// more than once (copies, a look at the first bytes). Gives the file or an invalid one.
UniqueFd keep_input(int input, std::string* error) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/quintaro-job-XXXXXX";
  UniqueFd file(mkostemp(pattern.data(), O_CLOEXEC));
  if (!file.valid()) {
    *error = strprintf("Cannot keep the job in a temporary file (%s): %s", pattern.c_str(),
                       std::strerror(errno));
    return file;
  }
  unlink(pattern.c_str());
  char buffer[65536];
  for (;;) {
    ssize_t n = read_retry(input, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0 || !write_all(file.get(), buffer, static_cast<size_t>(n))) {
      *error = strprintf("Cannot keep the job in a temporary file: %s", std::strerror(errno));
      return UniqueFd();
    }
  }
  lseek(file.get(), 0, SEEK_SET);
  return file;
}

class Backend {
 public:
  int run_job(int argc, char** argv);

 private:
  int run_steps(int argc, char** argv);
  int open_input(const char* file);
  int plan();
  int build_agent_command();
  int start_agent();
  // Runs the formatter once; gives -1 to go on, or the exit status.
  int format(bool banner);
  int finish();
  int judge_outcome(Relay::Outcome outcome);
  int judge_agent();
  void on_agent_line(std::string_view line);
  void on_formatter_line(std::string_view line);
  void on_moved();

  // Declared first, so that every process of the job is stopped before the descriptors
  // and the relay go.
  JobProcesses processes_;
  std::string queue_, user_, title_, host_, job_id_;
  int copies_ = 1;
  std::vector<JobOption> options_;
  UniqueFd input_;
  QueuePlan plan_;
  std::vector<std::string> agent_argv_;
  std::unique_ptr<Relay> relay_;
  ConditionReasons conditions_;
  AgentFindings findings_;
  std::string formatter_errors_;
  bool formatting_banner_ = false;
  bool sending_ = false;
};

int Backend::run_job(int argc, char** argv) {
  int status = run_steps(argc, argv);
  // No process of the job outlives the backend, and no reason it set outlives the job.
  processes_.stop_all();
  report(conditions_.clear_all());
  if (relay_ && !sending_) report("STATE: -connecting-to-device\n");
  return status;
}

int Backend::run_steps(int argc, char** argv) {
  // DEVICE_URI keeps what CUPS strips from argv[0] (which holds the queue's name).
  const char* uri = std::getenv("DEVICE_URI");
  if (!uri) uri = argv[0];
  DeviceTarget target = parse_device_uri(uri);
  if (target.kind == DeviceTarget::DISCOVERED) {
    return fail(CUPS_BACKEND_STOP,
                strprintf("The device URI %s names a printer found by discovery: define a device "
                          "and a queue for it (portcreate, lanecreate) and use %s",
                          uri, queue_uri("QUEUE").c_str()));
  }
  if (target.kind != DeviceTarget::QUEUE) {
    return fail(CUPS_BACKEND_STOP,
                strprintf("The device URI %s does not name a queue of the suite (%s)", uri,
                          queue_uri("QUEUE").c_str()));
  }
  queue_ = target.name;
  job_id_ = argv[1];
  user_ = argv[2];
  title_ = argv[3];
  options_ = parse_job_options(argv[5]);
  // The host CUPS names for the job, else this one.
  if (const std::string* host = find_option(options_, "job-originating-host-name");
      host && !host->empty()) {
    host_ = *host;
  } else {
    char name[256] = "";
    gethostname(name, sizeof name - 1);
    host_ = name;
  }
  // CUPS's rule: copies are made by the backend only for a job it reads from a file.
  if (argc == 7) {
    const char* text = argv[4];
    auto [end, error] = std::from_chars(text, text + std::strlen(text), copies_);
    if (error != std::errc() || *end != '\0' || copies_ < 1) {
      return fail(CUPS_BACKEND_FAILED, strprintf("Invalid number of copies '%s'", text));
    }
  }

  install_signal_handlers();
  JobProcesses::adopt_orphans();
  if (int status = open_input(argc == 7 ? argv[6] : nullptr); status >= 0) return status;
  if (int status = plan(); status >= 0) return status;
  if (int status = build_agent_command(); status >= 0) return status;
  if (int status = start_agent(); status >= 0) return status;
  if (plan_.banner) {
    if (int status = format(true); status >= 0) return status;
  }
  for (int run = 0; run < plan_.runs; ++run) {
    if (int status = format(false); status >= 0) return status;
  }
  return finish();
}

int Backend::open_input(const char* file) {
  if (file) {
    input_.reset(open(file, O_RDONLY | O_CLOEXEC));
    if (!input_.valid()) {
      return fail(CUPS_BACKEND_FAILED,
                  strprintf("Cannot open the print file %s: %s", file, std::strerror(errno)));
    }
    return -1;
  }
  // Standard input is read more than once only from a file.
  if (lseek(0, 0, SEEK_CUR) >= 0) {
    input_.reset(dup(0));
    return -1;
  }
  std::string error;
  input_ = keep_input(0, &error);
  return input_.valid() ? -1 : fail(CUPS_BACKEND_FAILED, error);
}

int Backend::plan() {
  JobRequest request;
  request.queue = queue_;
  request.user = user_;
  request.options = options_;
  request.copies = copies_;
  request.input_fd = input_.get();
  PlanResult planned = plan_job(request);
  if (planned.status != CUPS_BACKEND_OK) return fail(planned.status, planned.error);
  plan_ = planned.plan;
  if (!plan_.overrides.empty()) say("DEBUG: ", "Queue options of the job: " + plan_.overrides);
  return -1;
}

int Backend::build_agent_command() {
  std::string builder = paths::suite_program("linebuilder");
  Captured line = run_captured(
      processes_, builder,
      {builder, "-q", queue_, "-u", user_, "-h", host_, "-j", cut_text(title_, kTitleLimit)},
      kBuilderLimit);
  if (g_stop_signal) return fail(CUPS_BACKEND_FAILED, "The job was stopped by a signal");
  if (line.status != 0) {
    std::string said = condensed_message(line.err);
    return fail(
        CUPS_BACKEND_STOP,
        line.status == 127 || line.status < 0
            ? strprintf("The transport command builder %s could not be run", builder.c_str())
            : strprintf("No transport command for queue %s: %s", queue_.c_str(), said.c_str()));
  }
  say("DEBUG: ", "Transport command: " + line.out);
  AgentCommand command = split_command_line(line.out);
  if (!command.error.empty()) {
    return fail(CUPS_BACKEND_STOP,
                strprintf("The transport command of queue %s cannot be run without a shell (%s)",
                          queue_.c_str(), command.error.c_str()));
  }
  agent_argv_ = std::move(command.argv);
  add_raw_flag(agent_argv_);
  return -1;
}

int Backend::start_agent() {
  int input[2], errors[2], output[2];
  if (pipe2(input, O_CLOEXEC) != 0) {
    return fail(CUPS_BACKEND_FAILED, strprintf("pipe: %s", std::strerror(errno)));
  }
  AgentChannels agent;
  UniqueFd agent_input(input[0]);
  agent.input.reset(input[1]);
  if (pipe2(errors, O_CLOEXEC) != 0) {
    return fail(CUPS_BACKEND_FAILED, strprintf("pipe: %s", std::strerror(errno)));
  }
  UniqueFd agent_errors(errors[1]);
  agent.errors.reset(errors[0]);
  if (pipe2(output, O_CLOEXEC) != 0) {
    return fail(CUPS_BACKEND_FAILED, strprintf("pipe: %s", std::strerror(errno)));
  }
  UniqueFd agent_output(output[1]);
  agent.output.reset(output[0]);

  // The agent's log names the job by these.
  setenv("printer", queue_.c_str(), 1);
  setenv("user", user_.c_str(), 1);
  setenv("title", title_.c_str(), 1);
  setenv("request_id", job_id_.c_str(), 1);
  SpawnOptions options;
  options.stdin_fd = agent_input.get();
  options.stdout_fd = agent_output.get();
  options.stderr_fd = agent_errors.get();
  agent.pid = processes_.start(agent_argv_[0], agent_argv_, options);
  if (agent.pid < 0) {
    return fail(CUPS_BACKEND_FAILED, strprintf("Cannot start the transport agent %s: %s",
                                               agent_argv_[0].c_str(), std::strerror(errno)));
  }
  // The relay keeps the read end to count the bytes that wait in the pipe.
  agent.input_probe = std::move(agent_input);
  report("STATE: +connecting-to-device\n");
  say("INFO: ", "Connecting to the printer");

  RelayLimits limits;
  limits.stall = plan_.stall;
  limits.end = plan_.end;
  RelayHooks hooks;
  hooks.agent_line = [this](std::string_view line) { on_agent_line(line); };
  hooks.formatter_line = [this](std::string_view line) { on_formatter_line(line); };
  hooks.moved = [this](long long) { on_moved(); };
  hooks.last_byte_taken = [] { say("INFO: ", "Waiting for the printer to end the job"); };
  hooks.stop_requested = [] { return g_stop_signal != 0; };
  relay_ = std::make_unique<Relay>(processes_, std::move(agent), limits, std::move(hooks));
  return -1;
}

void Backend::on_agent_line(std::string_view line) {
  say("DEBUG: ", std::string("agent: ") + std::string(line));
  AgentReport said = read_agent_line(line);
  switch (said.kind) {
    case AgentReport::CONDITION:
      report(conditions_.raise(said.detail));
      break;
    case AgentReport::CONNECTION_LOST:
      findings_.connection_lost = true;
      break;
    case AgentReport::UNRESOLVED:
      findings_.unresolved = said.detail;
      break;
    case AgentReport::UNREACHABLE:
      findings_.unreachable = said.detail;
      break;
    case AgentReport::NOTHING:
      if (findings_.messages.size() < kKeptErrors) {
        findings_.messages += std::string(line) + "\n";
      }
      break;
  }
}

void Backend::on_formatter_line(std::string_view line) {
  say("DEBUG: ", std::string("formatter: ") + std::string(line));
  if (formatter_errors_.size() < kKeptErrors) formatter_errors_ += std::string(line) + "\n";
}

void Backend::on_moved() {
  if (!sending_) {
    sending_ = true;
    report("STATE: -connecting-to-device\n");
    say("INFO: ", "Sending the job");
  }
  // The printer takes the job again: the conditions it reported are over.
  if (conditions_.any()) {
    report(conditions_.clear_all());
    say("INFO: ", "Sending the job");
  }
}

int Backend::format(bool banner) {
  std::string formatter = paths::suite_program("jobshaper");
  std::vector<std::string> argv = {formatter, "-q", queue_};
  if (!title_.empty()) argv.insert(argv.end(), {"-s", title_});
  if (!user_.empty()) argv.insert(argv.end(), {"-u", user_});
  if (!host_.empty()) argv.insert(argv.end(), {"-h", host_});
  if (!plan_.overrides.empty()) argv.insert(argv.end(), {"-p", plan_.overrides});
  if (banner) argv.push_back("-b");

  int output[2], errors[2];
  if (pipe2(output, O_CLOEXEC) != 0) {
    return fail(CUPS_BACKEND_FAILED, strprintf("pipe: %s", std::strerror(errno)));
  }
  UniqueFd output_read(output[0]), output_write(output[1]);
  if (pipe2(errors, O_CLOEXEC) != 0) {
    return fail(CUPS_BACKEND_FAILED, strprintf("pipe: %s", std::strerror(errno)));
  }
  UniqueFd errors_read(errors[0]), errors_write(errors[1]);
  // A banner page reads nothing; every copy reads the job from its start.
  UniqueFd null(open("/dev/null", O_RDONLY | O_CLOEXEC));
  if (!banner) lseek(input_.get(), 0, SEEK_SET);
  SpawnOptions options;
  options.stdin_fd = banner ? null.get() : input_.get();
  options.stdout_fd = output_write.get();
  options.stderr_fd = errors_write.get();
  pid_t pid = processes_.start(formatter, argv, options);
  output_write.reset();
  errors_write.reset();
  if (pid < 0) {
    return fail(CUPS_BACKEND_FAILED, strprintf("Cannot start the job formatter %s: %s",
                                               formatter.c_str(), std::strerror(errno)));
  }
  formatter_errors_.clear();
  formatting_banner_ = banner;
  Relay::Outcome outcome = relay_->carry(pid, std::move(output_read), std::move(errors_read));
  if (outcome != Relay::FORMATTER_ENDED) return judge_outcome(outcome);
  int status = relay_->formatter_status();
  if (status == 0) return -1;
  Verdict verdict = formatter_verdict(status, formatter_errors_, banner, formatter);
  return fail(verdict.status, verdict.reason);
}

int Backend::finish() { return judge_outcome(relay_->finish()); }

int Backend::judge_outcome(Relay::Outcome outcome) {
  switch (outcome) {
    case Relay::FORMATTER_ENDED:
      break;
    case Relay::AGENT_ENDED:
      return judge_agent();
    case Relay::STALLED: {
      long long seconds = plan_.stall.count();
      return fail(CUPS_BACKEND_RETRY,
                  relay_->taken() == 0
                      ? strprintf("The printer took no data for %lld seconds (it cannot be "
                                  "reached, refuses the connection or does not read); the job "
                                  "will be retried",
                                  seconds)
                      : strprintf("The printer stopped taking data for %lld seconds after %lld "
                                  "bytes; the job will be retried",
                                  seconds, relay_->taken()));
    }
    case Relay::END_TIMED_OUT:
      say("INFO: ", strprintf("The printer did not end the job within %lld seconds after its "
                              "last byte; the job was sent",
                              static_cast<long long>(plan_.end.count())));
      return CUPS_BACKEND_OK;
    case Relay::STOPPED:
      return fail(CUPS_BACKEND_FAILED,
                  strprintf("The job was stopped by signal %d", g_stop_signal.load()));
    case Relay::LOOP_FAILED:
      return fail(CUPS_BACKEND_FAILED,
                  strprintf("The job could not be watched: %s", std::strerror(errno)));
  }
  return fail(CUPS_BACKEND_FAILED, "The job ended in an unknown way");
}

int Backend::judge_agent() {
  Verdict verdict = agent_verdict(relay_->agent_status(), relay_->all_taken(), findings_,
                                  relay_->agent_output(), agent_argv_[0]);
  if (verdict.status == CUPS_BACKEND_OK) {
    say("INFO: ", "The job was sent");
    return CUPS_BACKEND_OK;
  }
  return fail(verdict.status, verdict.reason);
}

}  // namespace

int run_backend(int argc, char** argv) {
  ensure_standard_descriptors();
  // The PDD library's messages go where CUPS collects the backend's messages.
  pdd_library().output_fd = 2;
  if (argc == 1) {
    write_all(1, device_listing());
    return CUPS_BACKEND_OK;
  }
  if (argc < 6 || argc > 7) {
    report(kUsage);
    return CUPS_BACKEND_FAILED;
  }
  Backend backend;
  return backend.run_job(argc, argv);
}
