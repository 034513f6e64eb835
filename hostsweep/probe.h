// Printer identification: for one address, an SNMP query for the maker's adapter
// variables, then the printer name (a maker adapter), or a second vendor's private
// variables (an agent without the maker's variables), or the NPA dialogue with the
// adapter; every printer found is reported, and the probe engine is told once that
// the address is done.
#pragma once

#include <netinet/in.h>

#include <array>
#include <cstdint>
#include <list>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "hostsweep/printers.h"
#include "hostsweep/probe_all.h"
#include "hostsweep/snmp_cmds.h"
#include "npa/npa_transport.h"

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

// The NPA dialogue with an adapter that SNMP did not identify. Three requests, all
// command 0xE0 (Corvane Extension) with session flags 1 and a reply wanted, to UDP
// port 9300, INA port 0x29:
//   C1  subcommand 0xD7, data 00 06 15: the adapter code (reply bytes 4-5)
//   C2  subcommand 0xD7, data 00 06 0C: eight port types (reply bytes 4, 6, ... 18)
//   C3  subcommand 0xD7 or 0xD9, data 00 and a descriptor per port type: the printers
// A reply too short for what is read from it counts as not reporting it.
inline constexpr uint8_t NPA_PROBE_INA_PORT = 0x29;
inline constexpr uint8_t NPA_PROBE_SESSION_FLAGS = 1;
inline constexpr uint16_t ADAPTER_CODE_NOT_REPORTED = 0xFFFF;
inline constexpr uint8_t PORT_TYPE_NONE = 0xFF;
inline constexpr int NPA_PORT_TYPES = 8;
// Model texts are cut to this many characters.
inline constexpr size_t MODEL_TEXT_LIMIT = 256;

// One address in the NPA dialogue.
struct NpaProbe {
  sockaddr_in destination{};  // the address, UDP port 9300
  int ports = 0;              // from the SNMP answer
  std::string address;
  uint16_t adapter_code = ADAPTER_CODE_NOT_REPORTED;
  int type0 = 0, type1 = 0, type2 = 0, type5 = 0;  // port types seen
};

using PortTypes = std::array<uint8_t, NPA_PORT_TYPES>;

// The adapter code from C1's reply and status: 0xFFFF when the reply is shorter than
// 6 bytes or (status 0x84) its byte 3 is 4; else the code of h = byte 4 * 256 +
// byte 5 (0: 7, 1: 16, 2: 15, 128 and 129: 9, 130: 2, 131: 1, 134: 30, 135: 31,
// 256: 21, 257 to 383: 22, others: 0).
uint16_t adapter_code_from_reply(std::span<const uint8_t> reply, uint8_t status);
// The port types in C2's reply; a type past the reply's end is PORT_TYPE_NONE.
PortTypes port_types_from_reply(std::span<const uint8_t> reply);

struct NpaRequest {
  uint8_t subcommand = 0;
  std::vector<uint8_t> data;
  bool operator==(const NpaRequest&) const = default;
};
// C3 for the port types, counting them in `probe`; nothing for a type the dialogue
// does not know (it ends without C3).
std::optional<NpaRequest> port_request(NpaProbe& probe, const PortTypes& types);
// The adapter index of the probed adapter, from its adapter code, port count and
// type-1 ports.
int npa_adapter_index(const NpaProbe& probe);

// A printer found in C3's reply.
struct FoundPort {
  int port = 0;
  std::string model;
  bool operator==(const FoundPort&) const = default;
};
// C3's reply to an indexed request (0xD9): entries of group, identifier, index,
// 16-bit big-endian length and value; group 0x06 identifier 0x4B holds the model of
// the printer on port = index (a value of at most one byte counts only with
// `ignore_adapter_status`, as an empty model). An entry that does not fit ends the
// parse.
std::vector<FoundPort> parse_indexed_reply(std::span<const uint8_t> reply,
                                           bool ignore_adapter_status);
// C3's reply to a plain request (0xD7): entries of variable V, a byte, a count n and
// n bytes (the first the status flag), two bytes, a length L and L value bytes; a
// value of length 0 followed by 06 22 m takes its model from the m name bytes that
// follow (their non-zero bytes, cut before " Ethernet"). A value longer than the
// bytes left gives an empty model and ends the parse; a name never reaches past
// the reply. Status flag 1 skips an entry (with `ignore_adapter_status` only for V
// 0x11); V 0x80, 0x81, 0x10, 0x11 are port 1, 0x82 port 2, 0x91 is skipped, any
// other V ends the parse.
std::vector<FoundPort> parse_plain_reply(std::span<const uint8_t> reply,
                                         bool ignore_adapter_status);

class PrinterIdentifier : public Identifier {
 public:
  // `ignore_adapter_status` is -i.
  PrinterIdentifier(SnmpQueries& snmp, PrinterReport& report, NpaTransport& npa,
                    bool ignore_adapter_status)
      : snmp_(snmp), report_(report), npa_(npa), ignore_adapter_status_(ignore_adapter_status) {}
  void set_engine(ProbeEngine* engine) { engine_ = engine; }

  // Starts the adapter query of `address`: 0 when it is under way, -1 when it could
  // not be started.
  int identify_address(const std::string& address) override;
  // The variables of the adapter query, the first request sent to every address.
  SnmpVariableList adapter_query();

 private:
  int adapter_answer(const std::string& address, int status, SnmpSession& session,
                     const netsnmp_variable_list* variables);
  int printer_name(const std::string& address, int adapter_index, SnmpSession& session);
  int second_vendor(const std::string& address, SnmpSession& session);
  // The NPA dialogue with the adapter: C1, then C2, then C3, each step started by
  // the reply to the one before.
  void npa_dialogue(const std::string& address, int ports);
  using NpaStep = void (PrinterIdentifier::*)(NpaProbe& probe, const NpaSession& session);
  void npa_request(NpaProbe& probe, uint8_t subcommand, std::span<const uint8_t> data,
                   NpaStep next);
  void adapter_code_reply(NpaProbe& probe, const NpaSession& session);
  void port_types_reply(NpaProbe& probe, const NpaSession& session);
  void printers_reply(NpaProbe& probe, const NpaSession& session);
  void end_dialogue(NpaProbe& probe);
  void done();

  SnmpQueries& snmp_;
  PrinterReport& report_;
  NpaTransport& npa_;
  bool ignore_adapter_status_;
  ProbeEngine* engine_ = nullptr;
  std::list<NpaProbe> probes_;  // the dialogues under way
};
