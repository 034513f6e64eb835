// Fuzz target of the discovery printer list reader: read_printer_list on the input as
// a file, without host name look-ups, then the final list in both styles. Checks that
// the printers kept have addresses and are in the table's order, each once.
#include <arpa/inet.h>

#include <cstdint>
#include <cstdio>
#include <utility>

#include "hostsweep/printers.h"
#include "tests/support/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzMemoryFile file(data, size);
  HostNames names(true);
  ResultsTable results;
  if (read_printer_list(file.path(), names, results) != 0) __builtin_trap();
  static FILE* null_file = std::fopen("/dev/null", "w");
  for (bool colon : {false, true}) {
    OutputSettings settings;
    settings.colon = colon;
    settings.no_lookup = true;
    PrinterReport report(settings, names, results, null_file);
    report.write_printer_list(null_file);
  }
  // In the table's order (by the address with its last octet first, then the port),
  // each (address, port) once.
  std::pair<uint32_t, signed char> last{};
  for (const auto& printer : results.records()) {
    in_addr in{};
    if (inet_aton(printer->address_text.c_str(), &in) == 0) __builtin_trap();
    const Address& a = printer->address;
    std::pair<uint32_t, signed char> order{
        uint32_t{a[3]} << 24 | uint32_t{a[2]} << 16 | uint32_t{a[1]} << 8 | a[0],
        static_cast<signed char>(printer->port)};
    if (&printer != &results.records().front() && order <= last) __builtin_trap();
    last = order;
  }
  return 0;
}
