// The adapter table of discovery: the name of every kind of print server, network
// adapter or printer that identification tells apart. The index found for a printer
// travels with it to the output, which prints the text and derives a class from it.
#pragma once

#include <array>

inline constexpr int ADAPTER_COUNT = 32;
inline constexpr int ADAPTER_UNKNOWN = 0;
inline constexpr int ADAPTER_INTERNAL_ETHERNET = 21;

// Every text differs from the others: the output finds a record's index again by
// comparing texts.
extern const std::array<const char*, ADAPTER_COUNT> adapter_names;

// The class number of the colon-style output: 1, 2, 3 or 4 for the adapters that have
// one, else 0.
int adapter_class(int index);

// The index of `name` among adapter_names (the first equal text), or -1.
int adapter_index(const char* name);
