// The transport command builder's run: command line, debug listing, the queue's
// VQD, the device's VDD and the command line on standard output.
#include "linebuilder/linebuilder.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "common/debug_trace.h"
#include "common/format.h"
#include "common/help_text.h"
#include "common/io.h"
#include "common/paths.h"
#include "common/program_frame.h"
#include "linebuilder/command_builders.h"
#include "pdd/definitions.h"

namespace {

constexpr const char* kProgram = "linebuilder";

// Longest texts kept from the command line; longer ones are cut.
constexpr size_t kNameLimit = 254;  // queue, device, host and user names
constexpr size_t kJobLimit = 1023;  // job information
// Longest definition file path, not counting the QUINTARO_ROOT in front.
constexpr size_t kPathLimit = 255;

// Writes one line of the debug listing (debug bit 2).
#define LIST(...) debug_trace().print(DEBUG_LISTING, __VA_ARGS__)

std::string usage_lines() {
  return strprintf("    %s -v name [-j job] [-u user] [-h host] [-d number -t file]\n", kProgram) +
         strprintf("    %s -q name [-j job] [-u user] [-h host] [-d number -t file]\n", kProgram) +
         strprintf("    %s -H\n", kProgram);
}

std::string help_text(const ProgramFrame& frame) {
  std::string text = strprintf("\n%s\n\n", kProgram);
  text += "This program generates the command line arguments for transport agents\n";
  text += "such as netfeeder, parfeeder, usbfeeder, and serfeeder\n";
  text += "based on the virtual device configuration file.\n";
  text += frame.usage_section();
  text += help_options({
      {"-d number", "Specify the debug number. Valid options are 2 or 4."},
      {"-j job", "Specify the name of the print job."},
      {"-h host", "Specify the hostname of the printing host."},
      {"-H", "Display this help and exit."},
      {"-q name", "Specify the name of the printer queue."},
      {"-t file", "Specify the debug filename."},
      {"-u user", "Specify the current username."},
      {"-v name", "Specify the name of the virtual device."},
  });
  text += "\nEXAMPLES:\n\n";
  text += strprintf("    $ %s -q test_pcl -u user1 -h localhost\n", kProgram);
  text += "       For a queue printing to the network host laser1, produces:\n";
  text += strprintf("       %s -u user1@localhost -r -l /tmp/logfile -a root laser1\n\n",
                    agent_path("netfeeder").c_str());
  text += strprintf("    $ %s -v test_device\n", kProgram);
  text += "       For a device on /dev/lp0, produces:\n";
  text += "       parfeeder -d /dev/lp0\n\n";
  return text;
}

class LineBuilder {
 public:
  int run(int argc, char** argv);

 private:
  ProgramFrame frame_{kProgram, usage_lines(), 'H', LINEBUILDER_FAILED};
  int parse_options(int argc, char** argv);
  void list_header() const;
  int read_queue();
  int read_device();
  int transport_failed() const;
  bool too_long(const std::string& path) const {
    return path.size() > kPathLimit + paths::root().size();
  }

  JobDetails job_;
  bool have_queue_ = false;
  bool have_device_ = false;
  bool have_host_ = false;
  bool have_user_ = false;
  std::string device_;  // -v, or the VQD's device_name
  std::string vqd_path_;
  std::string vdd_path_;
};

int LineBuilder::parse_options(int argc, char** argv) {
  if (argc < 2) {
    frame_.usage();
    return LINEBUILDER_FAILED;
  }
  auto name = [](std::string& target, bool* given, size_t limit) {
    return [&target, given, limit](const char* value) {
      target = std::string(value).substr(0, limit);
      if (given) *given = true;
      return -1;
    };
  };
  const std::vector<ProgramOption> options = {
      {'H', false,
       [&](const char*) {
         report(help_text(frame_));
         return LINEBUILDER_FAILED;
       }},
      {'q', true,
       [&](const char* queue) {
         job_.queue = std::string(queue).substr(0, kNameLimit);
         have_queue_ = true;
         vqd_path_ = paths::transport_vqd(job_.queue);
         return -1;
       }},
      {'h', true, name(job_.host, &have_host_, kNameLimit)},
      {'u', true, name(job_.user, &have_user_, kNameLimit)},
      {'v', true,
       [&](const char* device) {
         device_ = std::string(device).substr(0, kNameLimit);
         have_device_ = true;
         vdd_path_ = paths::vdd(device_);
         return -1;
       }},
      {'d', true,
       [&](const char* number) {
         frame_.set_debug_number(number);
         return -1;
       }},
      {'t', true,
       [&](const char* file) {
         if (frame_.open_debug_file(file)) return -1;
         reportf("\n%s: Can't Open debug file '%s' for writing.\n\n", kProgram, file);
         return LINEBUILDER_FAILED;
       }},
      {'j', true, name(job_.job, nullptr, kJobLimit)},
  };
  if (int status = frame_.parse(argc, argv, options); status != -1) return status;
  if (!frame_.apply_debug_rule(DebugRule::NONZERO_NUMBER_NEEDS_FILE,
                               "Missing [-t] option, specify a debug filename.\n\n")) {
    return LINEBUILDER_FAILED;
  }
  if (have_queue_ && have_device_) {
    frame_.usage();
    report("Options [ -q|-v ] are mutually exclusive, use one option only.\n\n");
    return LINEBUILDER_FAILED;
  }
  return LINEBUILDER_OK;
}

void LineBuilder::list_header() const {
  LIST("\n-------------------- DEBUGGING OUTPUT ------------------------\n");
  LIST("Program        : %s\n", kProgram);
  if (have_queue_) LIST("Queue name     : %s\n", vqd_path_.c_str());
  if (have_device_) LIST("Virtual Device : %s\n", vdd_path_.c_str());
  if (have_host_) LIST("Hostname       : %s\n", job_.host.c_str());
  if (have_user_) LIST("Username       : %s\n", job_.user.c_str());
  LIST("\n--------------------------------------------------------------\n\n");
}

int LineBuilder::transport_failed() const {
  LIST("ERROR !!. Got a NULL for cmd_line\n");
  report(strprintf("\n%s: transport failed. Program aborted.\n\n", kProgram));
  return LINEBUILDER_FAILED;
}

int LineBuilder::read_queue() {
  // Without -q the path is empty and the queue is reported missing.
  if (too_long(vqd_path_)) return transport_failed();
  FILE* file = open_definition_file(vqd_path_);
  if (!file) {
    frame_.usage();
    report(strprintf("\nERROR: Queue Name [ %s ] does not exist.\n\n", job_.queue.c_str()));
    LIST("\n\n");
    LIST("Can't Open %s\n\n", vqd_path_.c_str());
    return LINEBUILDER_FAILED;
  }
  load_definitions(file);
  device_ = get_definition("device_name");
  vdd_path_ = paths::vdd(device_);
  clear_definitions();
  LIST("Virtual Queue Def \t= %s\n", vqd_path_.c_str());
  LIST("Successfully opened the virtual queue def file.\n");
  LIST("vdd_filename \t= %s\n", vdd_path_.c_str());
  return LINEBUILDER_OK;
}

int LineBuilder::read_device() {
  if (too_long(vdd_path_)) return transport_failed();
  FILE* file = open_definition_file(vdd_path_);
  if (!file) {
    frame_.usage();
    report(strprintf("\nERROR: Device Name [ %s ] does not exist.\n\n", device_.c_str()));
    LIST("\n\n");
    LIST("Can't Open %s\n\n", vdd_path_.c_str());
    return LINEBUILDER_FAILED;
  }
  LIST("Successfully opened the virtual device def file.\n");
  load_definitions(file);
  LIST("Successfully read the virtual device def file.\n");
  return LINEBUILDER_OK;
}

int LineBuilder::run(int argc, char** argv) {
  if (int status = parse_options(argc, argv); status != LINEBUILDER_OK) return status;
  list_header();

  if (!have_device_) {
    if (int status = read_queue(); status != LINEBUILDER_OK) return status;
  }
  if (int status = read_device(); status != LINEBUILDER_OK) return status;

  const std::string transport_type = get_definition("transport_type");
  if (transport_type.empty()) {
    report(strprintf("\n\n%s:  ERROR\n", kProgram) +
           strprintf("\nCould not find '%s' in '%s'\n", "transport_type", vdd_path_.c_str()) +
           strprintf("\tMissing '%s' field in %s\n\n", "transport_type", vdd_path_.c_str()));
    return LINEBUILDER_FAILED;
  }
  LIST("transport_type \t= %s\n", transport_type.c_str());

  std::optional<std::string> command = build_command(transport_type, job_);
  if (!command) return transport_failed();
  if (!write_all(1, *command + "\n")) return LINEBUILDER_FAILED;
  LIST("command_line\t= %s\n", command->c_str());
  return LINEBUILDER_OK;
}

}  // namespace

int run_linebuilder(int argc, char** argv) {
  LineBuilder builder;
  return builder.run(argc, argv);
}
