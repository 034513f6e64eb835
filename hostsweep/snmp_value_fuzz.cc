// Fuzz target of the rendering of SNMP values: render_value and value_text of a
// variable built from the input (byte 0 the type, the rest the value), once as the
// SNMP library's setter builds it and once with the bytes exactly as they are, in a
// buffer of their own size. Checks value_text's length limit.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "hostsweep/snmp_value.h"

namespace {

void render(const netsnmp_variable_list& var) {
  (void)render_value(var);
  if (value_text(var).size() > VALUE_TEXT_MAX) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const u_char type = data[0];
  const uint8_t* value = data + 1;
  const size_t length = size - 1;

  netsnmp_variable_list set = {};
  if (snmp_set_var_typed_value(&set, type, value, length) == 0) render(set);
  snmp_free_var_internals(&set);

  netsnmp_variable_list raw = {};
  raw.type = type;
  raw.val_len = length;
  void* copy = length ? std::malloc(length) : nullptr;
  if (copy) std::memcpy(copy, value, length);
  raw.val.string = static_cast<u_char*>(copy);
  render(raw);
  std::free(copy);
  return 0;
}
