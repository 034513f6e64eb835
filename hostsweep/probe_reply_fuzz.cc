// Fuzz target of the parsers of NPA replies in printer identification: the adapter
// code, the port types, the printers of a plain and of an indexed reply, and the
// requests and adapter index that follow from them. Checks the documented reading
// of the adapter code and port types, and the limit of model texts.
//
// Input: byte 0 holds the -i flag and picks the reply status; the rest is the reply.
#include <cstdint>
#include <span>

#include "hostsweep/probe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool ignore_adapter_status = data[0] & 1;
  const uint8_t status = (data[0] & 2) ? 0x84 : data[0] >> 2;
  std::span<const uint8_t> reply(data + 1, size - 1);

  uint16_t code = adapter_code_from_reply(reply, status);
  if (reply.size() < 6 && code != ADAPTER_CODE_NOT_REPORTED) __builtin_trap();
  PortTypes types = port_types_from_reply(reply);
  for (int i = 0; i < NPA_PORT_TYPES; ++i) {
    size_t at = 4 + 2 * static_cast<size_t>(i);
    if (types[i] != (at < reply.size() ? reply[at] : PORT_TYPE_NONE)) __builtin_trap();
  }
  for (const auto& found : {parse_plain_reply(reply, ignore_adapter_status),
                            parse_indexed_reply(reply, ignore_adapter_status)}) {
    for (const FoundPort& port : found) {
      if (port.model.size() > MODEL_TEXT_LIMIT) __builtin_trap();
    }
  }
  NpaProbe probe;
  probe.ports = data[0] % 9;
  probe.adapter_code = code;
  (void)port_request(probe, types);
  (void)npa_adapter_index(probe);
  return 0;
}
