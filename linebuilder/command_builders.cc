// The transport agents' command lines, step by step.
#include "linebuilder/command_builders.h"

#include <string_view>

#include "common/debug_trace.h"
#include "common/format.h"
#include "common/io.h"
#include "common/paths.h"
#include "linebuilder/shell_words.h"
#include "pdd/definitions.h"

namespace {

constexpr const char* kProgram = "linebuilder";

// Writes one line of the debug listing (debug bit 2).
#define LIST(...) debug_trace().print(DEBUG_LISTING, __VA_ARGS__)

bool is_set(const std::string& value) { return !value.empty(); }
bool is_set_not_none(const std::string& value) { return !value.empty() && value != "none"; }

// Lists a network or serial step that changed the command, with the command so far.
void added(const char* step, const std::string& command) {
  LIST("%s", step);
  LIST("\t\t%s\n", command.c_str());
}

// Appends `option` and the VDD value of `key` when the value passes `wanted`.
void add_value(std::string& command, const char* key, bool (*wanted)(const std::string&),
               const char* option, const char* step) {
  const std::string& value = get_definition(key);
  if (!wanted(value)) return;
  command += option;
  command += value;
  added(step, command);
}

std::optional<std::string> setup_network_device(const JobDetails& job) {
  LIST("Start of setup_network_device\n");
  std::string command = agent_path("netfeeder");
  added("\tAdded transport\n", command);
  command += " -u " + shell_word(job.user) + "@" + shell_word(job.host);
  added("\tAdded user @ host \n", command);
  // An empty queue name is written as an empty word, so that the agent does not
  // take the next option for its printer name.
  command += " -n " + (job.queue.empty() ? std::string("''") : shell_word(job.queue));
  added("\tAdded queue name \n", command);
  add_value(command, "logfile", is_set_not_none, " -l ", "\tAdded logfile \n");
  add_value(command, "ov_server_hostname", is_set_not_none, " -S ", "\tAdded OVserver\n");
  add_value(command, "administrator", is_set_not_none, " -a ", "\tAdded administrator \n");

  // There is no key of its own for printer responses to the administrator: they
  // go the way of the administrator's IR conditions.
  struct Delivery {
    const char* key;
    const char* mail;
    const char* write;
  };
  const Delivery deliveries[] = {{"ir_user", " -miu", " -wiu"},
                                 {"pr_user", " -mlu", " -wlu"},
                                 {"ir_admin", " -mia", " -wia"},
                                 {"ir_admin", " -mla", " -wla"}};
  for (const Delivery& delivery : deliveries) {
    const std::string& how = get_definition(delivery.key);
    if (how == "mail") command += delivery.mail;
    if (how == "write") command += delivery.write;
  }
  added("\tAdded IR/PR options \n", command);

  add_value(command, "alt_mail_hostname", is_set, " -c ", "\tAdded Alternate Mail host\n");
  add_value(command, "alt_ov_server_hostname", is_set, " -S ",
            "\tAdded Alternate OV server hostname\n");
  command += " -j \"" + double_quoted_text(job.job) + "\"";
  added("\tAdded Job Info\n", command);
  add_value(command, "tarragon_ports", is_set, " -p ", "\tAdded PellionQ3 Ports\n");
  add_value(command, "network_host", is_set, " ", "\tAdded Network Host\n");
  LIST("\tcommand: %s\n", command.c_str());
  LIST("End of setup_network_device\n");
  return command;
}

// The key of the VDD that names the device: `key`, or `other_key` when `key` is
// empty or "other". Gives nullptr when `other_key` is needed but empty or "none".
const char* device_key(const char* key, const char* other_key) {
  const std::string& device = get_definition(key);
  if (!device.empty() && device != "other") return key;
  return is_set_not_none(get_definition(other_key)) ? other_key : nullptr;
}

std::optional<std::string> setup_serial_device() {
  LIST("Start of setup_serial_device\n");
  std::string command = agent_path("serfeeder");
  const char* key = device_key("serial_device", "other_serial_device");
  if (!key) {
    write_all(2, strprintf("\n\n%s:  ERROR\n", kProgram) +
                     strprintf("\nCould not find '%s'\n", "other_serial_device"));
    return std::nullopt;
  }
  command += " -d " + get_definition(key);
  added(strprintf("\tAdded %s\n", key).c_str(), command);
  add_value(command, "baud_rate", is_set_not_none, " -b ", "\tAdded baud_rate\n");
  add_value(command, "data_bits", is_set_not_none, " -c ", "\tAdded data_bits\n");
  add_value(command, "parity", is_set, " -p ", "\tAdded parity\n");
  add_value(command, "serial_protocol", is_set_not_none, " -s ", "\tAdded serial_protocol\n");
  LIST("\tcommand\t: %s\n", command.c_str());
  LIST("End of setup_serial_device\n");
  return command;
}

// Parallel and USB devices differ only in the agent and the keys of the device.
std::optional<std::string> setup_parallel_device(bool usb) {
  LIST("Start of setup_parallel_device\n");
  std::string command = agent_path(usb ? "usbfeeder" : "parfeeder");
  const char* other_key = usb ? "other_usb_device" : "other_parallel_device";
  const char* key = device_key(usb ? "usb_device" : "parallel_device", other_key);
  if (!key) {
    write_all(2, std::string("\n\nERROR\n") + strprintf("\nCould not find '%s''\n", other_key));
    return std::nullopt;
  }
  command += " -d " + get_definition(key);
  // The listing names the parallel keys for USB devices too.
  LIST(key == other_key ? "\tAdded other_parallel_device\n" : "\tAdded parallel_device\n");
  LIST("command\t: %s\n", command.c_str());
  if (get_definition("bpp_device") == "yes") {
    command += " -o";
    LIST("\tAdded bpp_device\n");
    LIST("command\t: %s\n", command.c_str());
  }
  LIST("\tcommand\t: %s\n", command.c_str());
  LIST("End of setup_parallel_device\n");
  return command;
}

}  // namespace

std::string agent_path(const char* agent) { return paths::transport_agent(agent); }

std::optional<std::string> build_command(const std::string& transport_type, const JobDetails& job) {
  std::optional<std::string> command;
  if (transport_type == "network") {
    command = setup_network_device(job);
  } else if (transport_type == "serial") {
    command = setup_serial_device();
  } else if (transport_type == "parallel") {
    command = setup_parallel_device(false);
  } else if (transport_type == "usb") {
    command = setup_parallel_device(true);
  }
  if (command && command->size() > COMMAND_LIMIT + paths::root().size()) return std::nullopt;
  return command;
}
