// Printer identification.
#include "hostsweep/probe.h"

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

int PrinterIdentifier::identify_address(const std::string& address) {
  return snmp_.get_new_session(
      address, variables(snmp_, kAdapterVariables),
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
      session, std::move(list),
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

void PrinterIdentifier::npa_dialogue(const std::string&, int) {
  // The adapter is asked over NPA for its ports and printers; until that dialogue is
  // built, the address ends here without a report.
  done();
}
