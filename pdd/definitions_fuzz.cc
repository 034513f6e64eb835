// Fuzz target of the definition file loader: load_definitions on the input as a
// stream, then lookups of every key read; checks the limits of keys and values.
#include <cstdint>
#include <cstdio>
#include <string>

#include "pdd/definitions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // fmemopen cannot open an empty buffer: an empty file is a stream at its end.
  std::string text(reinterpret_cast<const char*>(data), size);
  FILE* stream = size ? fmemopen(text.data(), size, "r") : std::fopen("/dev/null", "r");
  if (!stream) __builtin_trap();
  load_definitions(stream);  // closes the stream

  for (const Definition* entry : definition_table().entries()) {
    if (entry->name.size() > DefinitionTable::KEY_LIMIT) __builtin_trap();
    if (entry->value.size() > DefinitionTable::VALUE_LIMIT) __builtin_trap();
    const Definition* found = find_definition(entry->name);
    if (!found || found->name != entry->name) __builtin_trap();
    (void)get_definition(entry->name + "_");
  }
  put_definition("ds_list", "pcl");
  if (get_definition("ds_list") != "pcl") __builtin_trap();
  clear_definitions();
  return 0;
}
