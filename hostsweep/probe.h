// Printer identification: for one address, an SNMP query for the maker's adapter
// variables, then the printer name (a maker adapter), or a second vendor's private
// variables (an agent without the maker's variables), or the NPA dialogue with the
// adapter; every printer found is reported, and the probe engine is told once that
// the address is done.
#pragma once

#include <string>

#include "hostsweep/printers.h"
#include "hostsweep/probe_all.h"
#include "hostsweep/snmp_cmds.h"

// The maker's model codes (UTF-16LE in the adapter's variables) that tell internal
// adapters apart, and the card codes of two print servers.
inline constexpr const char* MODEL_CODE_A = "IL100";
inline constexpr const char* MODEL_CODE_B = "IL200";
inline constexpr const char* MODEL_CODE_C = "IL310";
inline constexpr const char* MODEL_CODE_D = "IL320";
inline constexpr const char* MODEL_CODE_E = "IL330";
inline constexpr const char* MODEL_CODE_F = "IL340";
inline constexpr const char* MODEL_CODE_G = "IL350";
inline constexpr const char* CARD_CODE_1 = "CX-1001";
inline constexpr const char* CARD_CODE_2 = "CX-2002";

// The pattern a model code leaves in the rendered value: its UTF-16LE bytes without
// the zero byte of the last character, as upper-case hex pairs separated by blanks.
std::string model_pattern(const char* code);

class PrinterIdentifier : public Identifier {
 public:
  PrinterIdentifier(SnmpQueries& snmp, PrinterReport& report) : snmp_(snmp), report_(report) {}
  void set_engine(ProbeEngine* engine) { engine_ = engine; }

  // Starts the adapter query of `address`: 0 when it is under way, -1 when it could
  // not be started.
  int identify_address(const std::string& address) override;

 private:
  int adapter_answer(const std::string& address, int status, SnmpSession& session,
                     const netsnmp_variable_list* variables);
  int printer_name(const std::string& address, int adapter_index, SnmpSession& session);
  int second_vendor(const std::string& address, SnmpSession& session);
  // The NPA dialogue with the adapter.
  void npa_dialogue(const std::string& address, int ports);
  void done();

  SnmpQueries& snmp_;
  PrinterReport& report_;
  ProbeEngine* engine_ = nullptr;
};
