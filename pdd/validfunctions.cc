// The (empty) registry of named validation functions.
#include "pdd/validfunctions.h"

#include <cstring>

namespace {

const ValidationEntry kRegistry[VALIDATION_REGISTRY_SIZE] = {};

}  // namespace

const ValidationEntry* validation_registry() { return kRegistry; }

ValidationFunction find_validation_function(const char* name) {
  const char* wanted = name ? name : "";
  for (const ValidationEntry& entry : kRegistry) {
    const char* entry_name = entry.name ? entry.name : "";
    if (std::strcmp(entry_name, wanted) == 0) return entry.function;
  }
  return nullptr;
}
