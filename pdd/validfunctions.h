// The registry of named validation functions that STRING and NUMBER options may
// name (for example "valid_ip()"). No program of the suite registers one, so every
// lookup gives none and named validation always passes.
#pragma once

// Accepts (true) or rejects a value text.
using ValidationFunction = bool (*)(const char* value);

struct ValidationEntry {
  const char* name;  // as written in a node, parentheses included; nullptr: empty
  ValidationFunction function;
};

inline constexpr int VALIDATION_REGISTRY_SIZE = 30;

// The registry's entries, in lookup order.
const ValidationEntry* validation_registry();

// The function of the first entry whose name equals `name` (an absent name equals
// an empty entry), or nullptr.
ValidationFunction find_validation_function(const char* name);
