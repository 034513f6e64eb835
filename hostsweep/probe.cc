// Printer identification.
#include "hostsweep/probe.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>

#include "common/format.h"
#include "hostsweep/adapters.h"
#include "hostsweep/snmp_value.h"

namespace {

constexpr const char* kAdapterVariables[] = {
    ".iso.org.dod.internet.private.enterprises.corvane.adapter.corvhdwr.corvhdwrNumPorts.0",
    ".iso.org.dod.internet.private.enterprises.corvane.adapter.opsys.15.0",
    ".iso.org.dod.internet.private.enterprises.corvane.adapter.opsys.14.0",
    ".iso.org.dod.internet.private.enterprises.corvane.adapter.opsys.opsysCardEC.0",
};
constexpr const char* kPrinterName =
    ".iso.org.dod.internet.private.enterprises.corvane.printer.prtcore.prtcoreInfoTable."
    "prtcoreInfoEntry.prtcorePrinterName.1";
constexpr const char* kSecondVendorVariables[] = {
    ".iso.org.dod.internet.private.enterprises.674.10898.100.2.1.2.1.2.1",
    ".iso.org.dod.internet.private.enterprises.674.10898.100.1.6.1.0",
    ".iso.org.dod.internet.private.enterprises.674.10898.100.1.1.15.0",
    ".iso.org.dod.internet.private.enterprises.674.10898.100.1.1.14.0",
    ".iso.org.dod.internet.private.enterprises.674.10898.100.1.1.11.0",
};

// The offset in a rendered value that tells an internal adapter, and the characters
// there that do (for a value of other bytes: bit 0x04 of its second byte).
constexpr size_t kInternalFlagOffset = 10;
constexpr const char* kInternalFlagDigits = "4567CDEF";

template <size_t N>
SnmpVariableList variables(SnmpQueries& snmp, const char* const (&names)[N]) {
  SnmpVariableList list;
  for (const char* name : names) snmp.add_variable(list, name);
  return list;
}

bool has_value(const netsnmp_variable_list* variable) {
  return variable && variable->val_len > 0 && variable->type != ASN_NULL;
}

}  // namespace

std::string model_pattern(const char* code) {
  std::string pattern;
  size_t length = std::strlen(code);
  for (size_t i = 0; i < length; ++i) {
    if (!pattern.empty()) pattern += ' ';
    pattern += strprintf("%02X", static_cast<unsigned char>(code[i]));
    if (i + 1 < length) pattern += " 00";
  }
  return pattern;
}

void PrinterIdentifier::done() {
  if (engine_) engine_->probe_done();
}

SnmpVariableList PrinterIdentifier::adapter_query() { return variables(snmp_, kAdapterVariables); }

int PrinterIdentifier::identify_address(const std::string& address) {
  return snmp_.get_new_session(
      address, adapter_query(),
      [this, address](int status, SnmpSession& session, const netsnmp_variable_list* v, int) {
        return adapter_answer(address, status, session, v);
      },
      1);
}

int PrinterIdentifier::adapter_answer(const std::string& address, int status, SnmpSession& session,
                                      const netsnmp_variable_list* variables) {
  if (status == SNMP_ERR_NOSUCHNAME) return second_vendor(address, session);
  const netsnmp_variable_list* ports_variable = variables;
  if (status != SNMP_ANSWERED || !has_value(ports_variable)) {
    done();
    return SNMP_CLOSE_SESSION;
  }
  int ports = ports_variable->val.integer ? static_cast<int>(*ports_variable->val.integer) : 0;
  const netsnmp_variable_list* card_model = ports_variable->next_variable;
  if (!has_value(card_model)) {
    done();
    return SNMP_CLOSE_SESSION;
  }
  std::string rendered = render_value(*card_model);
  bool internal = rendered.size() > kInternalFlagOffset &&
                  std::strchr(kInternalFlagDigits, rendered[kInternalFlagOffset]) != nullptr;
  const netsnmp_variable_list* firmware = card_model->next_variable;
  if (!has_value(firmware)) {
    done();
    return SNMP_CLOSE_SESSION;
  }
  std::string firmware_text = render_value(*firmware);
  auto matches = [&](const char* code) {
    return firmware_text.find(model_pattern(code)) != std::string::npos;
  };
  if (internal) {
    int index = matches(MODEL_CODE_A) ? 23 : matches(MODEL_CODE_B) ? 24 : ADAPTER_INTERNAL_ETHERNET;
    return printer_name(address, index, session);
  }
  const std::pair<const char*, int> patterns[] = {{MODEL_CODE_C, 25},
                                                  {MODEL_CODE_D, 26},
                                                  {MODEL_CODE_E, 27},
                                                  {MODEL_CODE_F, 28},
                                                  {MODEL_CODE_G, 29}};
  for (const auto& [code, index] : patterns) {
    if (matches(code)) return printer_name(address, index, session);
  }
  const netsnmp_variable_list* card_code = firmware->next_variable;
  if (!has_value(card_code)) {
    done();
    return SNMP_CLOSE_SESSION;
  }
  std::string card = value_text(*card_code);
  if (card == CARD_CODE_1) return printer_name(address, 1, session);
  if (card == CARD_CODE_2) return printer_name(address, 2, session);
  npa_dialogue(address, ports);
  return SNMP_CLOSE_SESSION;
}

int PrinterIdentifier::printer_name(const std::string& address, int adapter_index,
                                    SnmpSession& session) {
  SnmpVariableList list;
  snmp_.add_variable(list, kPrinterName);
  int sent = snmp_.get_on_session(
      session, list,
      [this, address, adapter_index](int status, SnmpSession&, const netsnmp_variable_list* v,
                                     int) {
        if (status == SNMP_ANSWERED && v)
          report_.report_printer(address, 1, adapter_index, value_text(*v));
        done();
        return SNMP_CLOSE_SESSION;
      },
      adapter_index);
  (void)sent;  // a follow-up that cannot be sent gets its completion with -1
  return SNMP_KEEP_SESSION;
}

int PrinterIdentifier::second_vendor(const std::string& address, SnmpSession& session) {
  snmp_.get_on_session(
      session, variables(snmp_, kSecondVendorVariables),
      [this, address](int status, SnmpSession&, const netsnmp_variable_list* v, int) {
        if (status == SNMP_ANSWERED && v) {
          report_.report_printer(address, 1, ADAPTER_INTERNAL_ETHERNET, value_text(*v));
        }
        done();
        return SNMP_CLOSE_SESSION;
      },
      1);
  return SNMP_KEEP_SESSION;
}

namespace {

constexpr uint8_t kAdapterCodeRequest[] = {0x00, 0x06, 0x15};
constexpr uint8_t kPortTypesRequest[] = {0x00, 0x06, 0x0C};
// Where C1's reply holds the adapter code and C2's the first port type (then every
// second byte).
constexpr size_t kAdapterCodeOffset = 4;
constexpr size_t kFirstPortTypeOffset = 4;
// The model variable of an indexed reply.
constexpr uint8_t kModelGroup = 0x06;
constexpr uint8_t kModelIdentifier = 0x4B;
// The name variable that follows an empty value in a plain reply.
constexpr uint8_t kNameGroup = 0x06;
constexpr uint8_t kNameIdentifier = 0x22;

// Statuses that end the dialogue: at C1 a data error does not.
bool ends_at_c1(uint8_t status) {
  return status == NPA_CMD_REJECTED || status == NPA_CMD_ERROR || status == NPA_TIMEOUT ||
         status == NPA_CONNECT_TIMEOUT;
}
bool ends_later(uint8_t status) { return ends_at_c1(status) || status == NPA_DATA_ERROR; }

// A value as a model text: up to its first zero byte, at most MODEL_TEXT_LIMIT.
std::string model_text(std::span<const uint8_t> value) {
  auto end = std::find(value.begin(), value.end(), 0);
  std::string text(value.begin(), end);
  if (text.size() > MODEL_TEXT_LIMIT) text.resize(MODEL_TEXT_LIMIT);
  return text;
}

// A name text: the non-zero bytes (a UTF-16LE name squeezed to single bytes), cut
// before the blank that precedes "Ethernet".
std::string name_text(std::span<const uint8_t> bytes) {
  std::string text;
  for (uint8_t byte : bytes) {
    if (byte != 0) text += static_cast<char>(byte);
  }
  size_t ethernet = text.find("Ethernet");
  if (ethernet != std::string::npos) {
    text.resize(ethernet > 0 && text[ethernet - 1] == ' ' ? ethernet - 1 : ethernet);
  }
  if (text.size() > MODEL_TEXT_LIMIT) text.resize(MODEL_TEXT_LIMIT);
  return text;
}

}  // namespace

uint16_t adapter_code_from_reply(std::span<const uint8_t> reply, uint8_t status) {
  if (reply.size() < kAdapterCodeOffset + 2) return ADAPTER_CODE_NOT_REPORTED;
  if (status == NPA_DATA_ERROR && reply[3] == 4) return ADAPTER_CODE_NOT_REPORTED;
  int h = reply[kAdapterCodeOffset] * 256 + reply[kAdapterCodeOffset + 1];
  switch (h) {
    case 0:
      return 7;
    case 1:
      return 16;
    case 2:
      return 15;
    case 128:
    case 129:
      return 9;
    case 130:
      return 2;
    case 131:
      return 1;
    case 134:
      return 30;
    case 135:
      return 31;
    case 256:
      return 21;
    default:
      return h >= 257 && h <= 383 ? 22 : 0;
  }
}

PortTypes port_types_from_reply(std::span<const uint8_t> reply) {
  PortTypes types;
  for (size_t i = 0; i < types.size(); ++i) {
    size_t at = kFirstPortTypeOffset + 2 * i;
    types[i] = at < reply.size() ? reply[at] : PORT_TYPE_NONE;
  }
  return types;
}

std::optional<NpaRequest> port_request(NpaProbe& probe, const PortTypes& types) {
  NpaRequest request{NPA_VAR_MANAGER, {0x00}};
  auto append = [&request](std::initializer_list<uint8_t> bytes) {
    request.data.insert(request.data.end(), bytes);
  };
  for (uint8_t type : types) {
    switch (type) {
      case PORT_TYPE_NONE:
        break;
      case 0:
        if (probe.type0++ == 0) append({0x91, 0x02, 0x91, 0x01});
        break;
      case 1:
        if (probe.adapter_code == 30) {
          auto port = static_cast<uint8_t>(0x80 + probe.type1);
          append({port, 0x03, port, 0x01});
        } else if (++probe.type1 <= 2) {
          auto port = static_cast<uint8_t>(0x80 + probe.type1);
          append({port, 0x02, port, 0x01});
        }
        break;
      case 2:
        ++probe.type2;
        append({0x10, 0x03, 0x10, 0x02, kNameGroup, kNameIdentifier});
        break;
      case 5:
        if (probe.type5++ == 0) {
          request.subcommand = NPA_VAR_MANAGER_INDEXED;
          append({0x06, 0x4C, 0xFF, kModelGroup, kModelIdentifier, 0xFF});
        }
        break;
      default:
        return std::nullopt;
    }
  }
  return request;
}

int npa_adapter_index(const NpaProbe& probe) {
  uint16_t code = probe.adapter_code;
  if (code == ADAPTER_CODE_NOT_REPORTED) {
    if (probe.ports == 1 || probe.ports == 2) return 3;
    return probe.ports == 3 ? 4 : ADAPTER_UNKNOWN;
  }
  switch (probe.ports) {
    case 2:
      return 9;
    case 3:
      return code == 2 ? 20 : code == 9 ? 10 : code == 1 ? 18 : ADAPTER_UNKNOWN;
    case 4:
      return 31;
    case 1:
      if (probe.type1 == 0) {
        for (int known : {7, 15, 16, 21, 22, 30}) {
          if (code == known) return known;
        }
        return ADAPTER_UNKNOWN;
      }
      switch (code) {
        case 1:
          return 17;
        case 2:
          return 19;
        case 8:
        case 9:
          return 8;
        case 30:
          return 30;
        default:
          return ADAPTER_UNKNOWN;
      }
    default:
      return ADAPTER_UNKNOWN;
  }
}

std::vector<FoundPort> parse_indexed_reply(std::span<const uint8_t> reply,
                                           bool ignore_adapter_status) {
  constexpr size_t kEntryHeader = 5;  // group, identifier, index, length
  std::vector<FoundPort> found;
  for (size_t at = 1; at < reply.size();) {
    if (reply.size() - at < kEntryHeader) break;
    uint8_t group = reply[at], identifier = reply[at + 1], index = reply[at + 2];
    size_t length = reply[at + 3] << 8 | reply[at + 4];
    at += kEntryHeader;
    if (length > reply.size() - at) break;
    if (group == kModelGroup && identifier == kModelIdentifier) {
      if (length > 1) {
        found.push_back({index, model_text(reply.subspan(at, length))});
      } else if (ignore_adapter_status) {
        found.push_back({index, ""});
      }
    }
    at += length;
  }
  return found;
}

std::vector<FoundPort> parse_plain_reply(std::span<const uint8_t> reply,
                                         bool ignore_adapter_status) {
  std::vector<FoundPort> found;
  for (size_t at = 1; at < reply.size();) {
    // V, one byte, the count n and its n bytes, two bytes, the value length L.
    if (reply.size() - at < 3) break;
    uint8_t variable = reply[at];
    size_t count = reply[at + 2];
    at += 3;
    if (count > reply.size() - at) break;
    uint8_t status = count > 0 ? reply[at] : 0;
    at += count;
    if (reply.size() - at < 3) break;
    size_t length = reply[at + 2];
    at += 3;

    std::string model;
    bool last = false;
    size_t left = reply.size() - at;
    if (length > left) {
      last = true;  // the value is not there: reported without a model
    } else if (length == 0 && left >= 3 && reply[at] == kNameGroup &&
               reply[at + 1] == kNameIdentifier) {
      size_t name_length = reply[at + 2];
      at += 3;
      model = name_text(reply.subspan(at, std::min(name_length, reply.size() - at)));
      at = std::min(at + name_length, reply.size());
    } else {
      model = model_text(reply.subspan(at, length));
      at += length;
    }

    if (ignore_adapter_status && variable != 0x11) status = 0;
    if (status != 1) {
      switch (variable) {
        case 0x80:
        case 0x81:
        case 0x10:
        case 0x11:
          found.push_back({1, model});
          break;
        case 0x82:
          found.push_back({2, model});
          break;
        case 0x91:
          break;
        default:
          return found;
      }
    }
    if (last) break;
  }
  return found;
}

void PrinterIdentifier::npa_dialogue(const std::string& address, int ports) {
  in_addr resolved{};
  if (inet_pton(AF_INET, address.c_str(), &resolved) != 1) {
    done();
    return;
  }
  NpaProbe& probe = probes_.emplace_back();
  probe.destination.sin_family = AF_INET;
  probe.destination.sin_port = htons(NPA_UDP_PORT);
  probe.destination.sin_addr = resolved;
  probe.ports = ports;
  probe.address = address;
  npa_request(probe, NPA_VAR_MANAGER, kAdapterCodeRequest, &PrinterIdentifier::adapter_code_reply);
}

void PrinterIdentifier::npa_request(NpaProbe& probe, uint8_t subcommand,
                                    std::span<const uint8_t> data, NpaStep next) {
  int sent = npa_.npa_send(
      probe.destination, NPA_PROBE_INA_PORT, NPA_PROBE_SESSION_FLAGS, NPA_CORVANE_EXTENSION,
      subcommand, data, 1,
      [this, next](NpaSession& session) {
        (this->*next)(*static_cast<NpaProbe*>(session.user_data), session);
      },
      &probe);
  if (sent != 0) end_dialogue(probe);
}

void PrinterIdentifier::adapter_code_reply(NpaProbe& probe, const NpaSession& session) {
  if (ends_at_c1(session.status)) {
    end_dialogue(probe);
    return;
  }
  probe.adapter_code = adapter_code_from_reply(session.reply(), session.status);
  npa_request(probe, NPA_VAR_MANAGER, kPortTypesRequest, &PrinterIdentifier::port_types_reply);
}

void PrinterIdentifier::port_types_reply(NpaProbe& probe, const NpaSession& session) {
  if (ends_later(session.status)) {
    end_dialogue(probe);
    return;
  }
  std::optional<NpaRequest> request = port_request(probe, port_types_from_reply(session.reply()));
  if (!request) {
    end_dialogue(probe);
    return;
  }
  npa_request(probe, request->subcommand, request->data, &PrinterIdentifier::printers_reply);
}

void PrinterIdentifier::printers_reply(NpaProbe& probe, const NpaSession& session) {
  if (!ends_later(session.status)) {
    int index = npa_adapter_index(probe);
    std::vector<FoundPort> found =
        session.subcommand == NPA_VAR_MANAGER_INDEXED
            ? parse_indexed_reply(session.reply(), ignore_adapter_status_)
            : parse_plain_reply(session.reply(), ignore_adapter_status_);
    for (const FoundPort& printer : found) {
      report_.report_printer(probe.address, printer.port, index, printer.model);
    }
  }
  end_dialogue(probe);
}

void PrinterIdentifier::end_dialogue(NpaProbe& probe) {
  probes_.remove_if([&probe](const NpaProbe& p) { return &p == &probe; });
  done();
}
