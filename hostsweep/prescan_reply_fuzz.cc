// Fuzz target of the prescan's reading of an answer: the request id of any datagram
// that comes back. Checks that a datagram cut anywhere short of its end gives no id
// or the same one (the id lies near the start; nothing past the datagram is read).
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "hostsweep/prescan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of exactly `size` bytes, so that a read past the end is caught.
  std::vector<uint8_t> datagram(data, data + size);
  std::optional<long> id = snmp_message_request_id(datagram);
  if (size > 0) {
    std::vector<uint8_t> shorter(data, data + size - 1);
    std::optional<long> cut = snmp_message_request_id(shorter);
    if (cut && cut != id) __builtin_trap();
  }
  return 0;
}
