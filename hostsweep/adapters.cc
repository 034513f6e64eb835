// The adapter table and its classes.
#include "hostsweep/adapters.h"

#include <cstring>

const std::array<const char*, ADAPTER_COUNT> adapter_names = {
    "UNKNOWN",                // 0
    "Corvane NetPort CX",     // 1: card code 1
    "Corvane NetPort DX",     // 2: card code 2, adapter code 130
    "Corvane NetPort 1/2",    // 3: no adapter code, one or two ports
    "Corvane NetPort 3",      // 4: no adapter code, three ports
    "JetDirect",              // 5
    "JetDirect 3 port",       // 6
    "Corvane NetPort 100",    // 7: adapter code 0
    "Corvane NetPort 1P",     // 8: one port with type-1 ports, code 8 or 9
    "Corvane NetPort 2P",     // 9: two ports
    "Corvane NetPort 3P",     // 10: three ports, adapter code 9
    "IBM INA",                // 11
    "Tektronix INA",          // 12
    "Xerox INA",              // 13
    "Kyocera INA",            // 14
    "Corvane NetPort 200",    // 15: adapter code 2, one port
    "Corvane NetPort 210",    // 16: adapter code 1, one port
    "Corvane NetPort 210P",   // 17: one port with type-1 ports, adapter code 1
    "Corvane NetPort 310",    // 18: three ports, adapter code 1
    "Corvane NetPort 220P",   // 19: one port with type-1 ports, adapter code 2
    "Corvane NetPort 320",    // 20: three ports, adapter code 2
    "Internal Ethernet",      // 21
    "Corvane InLink Series",  // 22: internal adapters, codes 257 to 383
    "Corvane InLink A",       // 23: internal adapter, model pattern A
    "Corvane InLink B",       // 24: internal adapter, model pattern B
    "Corvane InLink C",       // 25: model pattern C
    "Corvane InLink D",       // 26: model pattern D
    "Corvane InLink E",       // 27: model pattern E
    "Corvane InLink F",       // 28: model pattern F
    "Corvane InLink G",       // 29: model pattern G
    "Corvane NetPort 400",    // 30: adapter code 134
    "Corvane NetPort 4",      // 31: adapter code 135, and every four-port adapter
};

int adapter_class(int index) {
  switch (index) {
    case 8:
    case 17:
    case 30:
      return 1;
    case 3:
    case 9:
    case 19:
      return 2;
    case 4:
    case 10:
    case 18:
    case 20:
      return 3;
    case 31:
      return 4;
    default:
      return 0;
  }
}

int adapter_index(const char* name) {
  for (int i = 0; i < ADAPTER_COUNT; ++i) {
    if (name && std::strcmp(adapter_names[i], name) == 0) return i;
  }
  return -1;
}
