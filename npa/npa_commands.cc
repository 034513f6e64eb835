// The NPA vocabulary's names and the debug rendering of NPA and INA headers.
#include "npa/npa_commands.h"

#include <array>
#include <string>

namespace {

constexpr const char* kUnknownCommand = "UNKNOWN COMMAND";
constexpr const char* kUnknownSubcommand = "UNKNOWN SUBCOMMAND";

struct NamedCommand {
  uint8_t code;
  const char* name;
  std::span<const char* const> subcommands;  // by subcommand code, from 0
};

constexpr const char* kDeviceCharacteristics[] = {"Sumarry", "Reserved", "Input Characteristics",
                                                  "Output Characteristics",
                                                  "Options Characteristics"};
constexpr const char* kInterpreterCharacteristics[] = {
    "Summary", "Font Characteristics", "Input Characteristics", "Output Characteristics"};
constexpr const char* kConfigurationControl[] = {"Read Current Printer Configuration",
                                                 "Reset Printer",
                                                 "Select Error Checking Procedures",
                                                 "Select Device Status Alert",
                                                 "Data Loop Back",
                                                 "Select Host Packet Size",
                                                 "Reset Host Controlled Counter",
                                                 "Select Interpreter Messages",
                                                 "Read Interpreter Messages Selected"};
constexpr const char* kDeviceStatus[] = {"Status Summary",
                                         "Input Status",
                                         "Output Status",
                                         "Input Alert",
                                         "Output Alert",
                                         "Jam Alert",
                                         "Operator Interention Required Alert",
                                         "Warnings",
                                         "Device Service Alert",
                                         "Configuration Change Alert",
                                         "Supplies Alert",
                                         "Printer Statisics",
                                         "Supplies Status"};
constexpr const char* kJobControl[] = {"Start Job", "End Job", "Query Job"};
constexpr const char* kLogicalUnit[] = {"Summary"};

constexpr NamedCommand kCommands[] = {
    {0x01, "Request Device Characteristics", kDeviceCharacteristics},
    {0x02, "Request Interpreter Characteristics", kInterpreterCharacteristics},
    {0x03, "Printer Configuration Control", kConfigurationControl},
    {0x04, "Request Device Status", kDeviceStatus},
    {0x05, "Job Control Command", kJobControl},
    {0x06, "Request Logical Unit Characteristics", kLogicalUnit},
    {NPA_CORVANE_EXTENSION, "Corvane Extension", {}},
};

struct NamedSubcommand {
  uint8_t code;
  const char* name;
};

constexpr NamedSubcommand kExtensionSubcommands[] = {
    {0x03, "Register for Corvane Extension Alerts"},
    {0x07, "Supply Information"},
    {0x80, "Job Page Control - Read/Override Printhead ID"},
    {0xD0, "Push Tarragon Internal Panel Button"},
    {0xD1, "Tarragon Internal Panel Control/Monitor"},
    {NPA_VAR_MANAGER, "Tarragon Internal Var Manager"},
    {NPA_VAR_MANAGER_INDEXED, "Tarragon Internal Var Manager - Indexed"},
    {0xE0, "Push Front Panel Button"},
    {0xE1, "Front Panel Control/Monitor"},
};

constexpr const char* kVariableOperations[] = {"Read Variable(s)", "Write Variable(s)",
                                               "Write with delay Variable(s)"};

const NamedCommand* find_command(uint8_t command) {
  for (const NamedCommand& c : kCommands) {
    if (c.code == command) return &c;
  }
  return nullptr;
}

void line(FILE* out, const char* text) { std::fprintf(out, "| %s\n", text); }

// The data of the extension subcommands, as far as the vocabulary reads it.
void trace_extension_data(FILE* out, uint8_t subcommand, std::span<const uint8_t> data) {
  if (data.empty()) return;
  switch (subcommand) {
    case 0x03:
    case 0x07:
      if (data[0] & 0x01) line(out, "Job Accounting Alert");
      if (data[0] & 0x80) line(out, "Toner Prediction Alert");
      return;
    case 0xD0:
    case 0xE0:
      if (data.size() >= 3) {
        std::fprintf(out, "| lock(%02x%02x)  Button(%d)\n", data[0], data[1], data[2]);
      }
      return;
    case NPA_VAR_MANAGER:
    case NPA_VAR_MANAGER_INDEXED:
      if (data[0] < std::size(kVariableOperations)) line(out, kVariableOperations[data[0]]);
      return;
    case 0xD1:
    case 0xE1: {
      const char* panel = nullptr;
      switch (data[0]) {
        case 0:
        case 1:
          panel = data[0] == 0 ? "Disable Remote Front Panel" : "Enable Remote Front Panel";
          if (data.size() >= 3) {
            std::fprintf(out, "| %s  lock(%02x%02x)\n", panel, data[1], data[2]);
          } else {
            line(out, panel);
          }
          return;
        case 2:
          line(out, "Return Front Panel Messages & Attributes");
          return;
        case 4:
          line(out, "Retrun Front Panel Messages Only");
          return;
        case 3:
        case 5:
          panel = data[0] == 3 ? "Front Panel Change Alert with Attribute data"
                               : "Front Panel Change Alert with NO Attribute data";
          std::fprintf(out, "| %s %s\n", data.size() >= 2 && data[1] ? "Arm" : "Disarm", panel);
          return;
        default:
          return;
      }
    }
    default:
      return;
  }
}

void trace_request_flags(FILE* out, uint8_t flags) {
  if (flags & 0x80) line(out, "NOP");
  line(out, flags & NPA_FLAG_NPAP ? "NPAP" : "LU");
  line(out, flags & NPA_FLAG_CONTINUE ? "CONTINUE" : "COMPLETE");
  line(out, flags & NPA_FLAG_REPLY ? "REPLY" : "NOREPLY");
  if (flags & NPA_FLAG_RESERVED) line(out, "RESERVE BITS SET!!!");
}

void trace_reply_flags(FILE* out, uint8_t flags) {
  constexpr const char* kErrors[] = {"CMD REJECTED", "DATA ERROR", "CMD ERROR", "ADV ERROR"};
  constexpr const char* kAlerts[] = {nullptr, "Alert", "IR", "9XX Service Error"};
  if (flags & NPA_FLAG_ERROR) line(out, kErrors[(flags & NPA_ERROR_KIND) >> 2]);
  line(out, flags & NPA_FLAG_NPAP ? "NPAP" : "LU");
  line(out, flags & NPA_FLAG_CONTINUE ? "CONTINUE" : "COMPLETE");
  line(out, flags & NPA_FLAG_REPLY ? "REQUIRED RESPONSE" : "UNSOLICITED RESPONSE");
  if (const char* alert = kAlerts[flags & NPA_ALERT_KIND]) line(out, alert);
}

std::string binary(uint8_t byte) {
  std::string digits;
  for (int bit = 7; bit >= 0; --bit) digits += (byte >> bit) & 1 ? '1' : '0';
  return digits;
}

}  // namespace

const char* npa_command_name(uint8_t command) {
  const NamedCommand* c = find_command(command);
  return c ? c->name : kUnknownCommand;
}

const char* npa_subcommand_name(uint8_t command, uint8_t subcommand) {
  if (command == NPA_CORVANE_EXTENSION) {
    for (const NamedSubcommand& s : kExtensionSubcommands) {
      if (s.code == subcommand) return s.name;
    }
    return kUnknownSubcommand;
  }
  const NamedCommand* c = find_command(command);
  if (!c || subcommand >= c->subcommands.size()) return kUnknownSubcommand;
  return c->subcommands[subcommand];
}

void npa_trace_header(FILE* out, std::span<const uint8_t> npa, NpaPart part) {
  if (!npa.empty() && npa[0] != NPA_START) {
    std::fprintf(out, "| NPA Start Packet = %02x.  This is not a valid NPA packet!\n", npa[0]);
    return;
  }
  size_t header = part == NpaPart::CONTINUATION ? NPA_CONTINUATION_HEADER_SIZE : NPA_HEADER_SIZE;
  if (npa.size() < header) {
    std::fprintf(out, "| NPA Data:\n");
    npa_hex_dump(out, npa);
    return;
  }
  int length = npa[1] << 8 | npa[2];
  uint8_t flags = npa[3];
  uint8_t command = npa[4];
  std::string flag_digits = binary(flags);
  if (part == NpaPart::CONTINUATION) {
    std::fprintf(out, "| NPA Header:  Len(%d)  Flag(%s)  Command(%02x)  Subcommand(--)\n", length,
                 flag_digits.c_str(), command);
  } else {
    std::fprintf(out, "| NPA Header:  Len(%d)  Flag(%s)  Command(%02x)  Subcommand(%02x)\n", length,
                 flag_digits.c_str(), command, npa[5]);
  }
  if (part == NpaPart::REQUEST) {
    trace_request_flags(out, flags);
  } else {
    trace_reply_flags(out, flags);
  }
  std::span<const uint8_t> data = npa.subspan(header);
  if (part == NpaPart::CONTINUATION) {
    std::fprintf(out, "| %s\n", npa_command_name(command));
  } else {
    std::fprintf(out, "| %s, %s\n", npa_command_name(command),
                 npa_subcommand_name(command, npa[5]));
    if (command == NPA_CORVANE_EXTENSION) trace_extension_data(out, npa[5], data);
  }
  std::fprintf(out, "| NPA Data:\n");
  npa_hex_dump(out, data);
}

void npa_trace_ina_header(FILE* out, int length, uint8_t port) {
  std::fprintf(out, "| INA Header:  len %d  port ('%c',0x%02x)\n", length, port, port);
}

void npa_trace_ina_receive_header(FILE* out, int length, int ack, int sequence, uint8_t port) {
  std::fprintf(out, "| INA Receive Header:  Len(%d)  ACK(%d)  Seq(%d)  port('%c',0x%02x)\n", length,
               ack, sequence, port, port);
}

void npa_hex_dump(FILE* out, std::span<const uint8_t> bytes) {
  constexpr size_t kPerLine = 16;
  for (size_t at = 0; at < bytes.size(); at += kPerLine) {
    std::span<const uint8_t> row = bytes.subspan(at, std::min(kPerLine, bytes.size() - at));
    std::string text = "| ";
    char hex[4];
    for (uint8_t byte : row) {
      std::snprintf(hex, sizeof hex, "%02x ", byte);
      text += hex;
    }
    text.append(3 * (kPerLine - row.size()), ' ');
    text += '\t';
    for (uint8_t byte : row) text += byte < 0x20 ? '.' : static_cast<char>(byte);
    text += '\n';
    std::fputs(text.c_str(), out);
  }
}
