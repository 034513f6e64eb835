// Reporting found printers, the results table and the printer list files.
#include "hostsweep/printers.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstring>
#include <tuple>

#include "common/format.h"
#include "common/program_frame.h"
#include "hostsweep/adapters.h"

namespace {

constexpr size_t kGrowth = 100;
constexpr const char* kUnknownPrinter = "Unknown Printer";
constexpr const char* kColumns = "%-16s %d %-10s %-10s %-20s %-35s %s\n";

// The order key of a record.
std::tuple<uint8_t, uint32_t, char> key(uint8_t kind, const Address& a, char port) {
  uint32_t value = uint32_t{a[3]} << 24 | uint32_t{a[2]} << 16 | uint32_t{a[1]} << 8 | a[0];
  return {kind, value, port};
}

std::optional<Address> address_of(const std::string& text) {
  in_addr in{};
  if (inet_aton(text.c_str(), &in) == 0) return std::nullopt;
  Address address;
  std::memcpy(address.data(), &in.s_addr, 4);
  return address;
}

}  // namespace

std::string HostNames::name(const std::string& address_text) {
  if (no_lookup_) return address_text;
  auto found = names_.find(address_text);
  if (found != names_.end()) return found->second;
  std::string name = look_up(address_text).value_or(address_text);
  names_.emplace(address_text, name);
  return name;
}

std::optional<std::string> HostNames::look_up(const std::string& address_text) {
  sockaddr_in in{};
  in.sin_family = AF_INET;
  if (inet_aton(address_text.c_str(), &in.sin_addr) == 0) return std::nullopt;
  char host[NI_MAXHOST];
  if (getnameinfo(reinterpret_cast<sockaddr*>(&in), sizeof in, host, sizeof host, nullptr, 0,
                  NI_NAMEREQD) != 0) {
    return std::nullopt;
  }
  return std::string(host);
}

void ResultsTable::record_printer(const std::string& address_text, int port,
                                  const std::string& read_community,
                                  const std::string& write_community, int adapter_index,
                                  const std::string& host_name, const std::string& model) {
  std::optional<Address> address = address_of(address_text);
  if (!address) return;
  char port_char = static_cast<char>('0' + port);
  if (records_.size() == records_.capacity()) records_.reserve(records_.size() + kGrowth);
  auto wanted = key(1, *address, port_char);
  auto at = std::lower_bound(records_.begin(), records_.end(), wanted,
                             [](const std::unique_ptr<FoundPrinter>& r, const auto& k) {
                               return key(r->kind, r->address, r->port) < k;
                             });
  FoundPrinter* record;
  if (at != records_.end() && key((*at)->kind, (*at)->address, (*at)->port) == wanted) {
    record = at->get();
  } else {
    auto made = std::make_unique<FoundPrinter>();
    made->address = *address;
    made->port = port_char;
    record = made.get();
    records_.insert(at, std::move(made));
  }
  bool known = adapter_index >= 0 && adapter_index < ADAPTER_COUNT;
  record->adapter_name = adapter_names[known ? adapter_index : ADAPTER_UNKNOWN];
  record->address_text = address_text;
  record->model = model;
  record->host_name = host_name;
  record->read_community = read_community;
  record->write_community = write_community;
  record->state = 0;
}

std::string adapter_column(const char* adapter_name, const std::string& model) {
  if (adapter_name && std::strstr(adapter_name, "Internal Ethernet")) {
    return strprintf("%s Ethernet", model.c_str());
  }
  return adapter_name ? adapter_name : "";
}

void PrinterReport::report_printer(const std::string& address_text, int port, int adapter_index,
                                   const std::string& model) {
  const OutputSettings& s = settings_;
  std::string host = names_.name(address_text);
  bool known = adapter_index >= 0 && adapter_index < ADAPTER_COUNT;
  const char* adapter = adapter_names[known ? adapter_index : ADAPTER_UNKNOWN];
  if (output_) {
    if (s.colon) {
      std::fputs("0", output_);
    } else {
      std::fprintf(output_, kColumns, address_text.c_str(), port, s.read_community.c_str(),
                   s.write_community.c_str(), adapter, host.c_str(), model.c_str());
    }
    std::fflush(output_);
  }
  std::string column = adapter_column(adapter, model);
  if (s.colon) {
    std::fprintf(shown_, "%s:%s:%s:%s:%d:%d\n", host.c_str(), address_text.c_str(),
                 model.empty() ? kUnknownPrinter : model.c_str(), column.c_str(), port,
                 adapter_class(adapter_index));
  } else {
    std::fprintf(shown_, kColumns, address_text.c_str(), port, s.read_community.c_str(),
                 s.write_community.c_str(), column.c_str(), host.c_str(), model.c_str());
  }
  std::fflush(shown_);
  results_.record_printer(address_text, port, s.read_community, s.write_community, adapter_index,
                          host, model);
  if (progress_) progress_->found();
}

void PrinterReport::write_printer_list(FILE* file) {
  for (const std::unique_ptr<FoundPrinter>& r : results_.records()) {
    // Taken before an empty model is named, as the adapter column always has been.
    std::string column = adapter_column(r->adapter_name, r->model);
    const char* host = r->host_name ? r->host_name->c_str() : "";
    if (settings_.colon) {
      if (r->model.empty()) r->model = kUnknownPrinter;
      std::fprintf(file, "%s:%s:%s:%s:%c:%d\n", host, r->address_text.c_str(), r->model.c_str(),
                   column.c_str(), r->port, adapter_class(adapter_index(r->adapter_name)));
    } else {
      std::fprintf(file, "%-16s %c %-10s %-10s %-20s %-35s %s\n", r->address_text.c_str(), r->port,
                   r->read_community.c_str(), r->write_community.c_str(), column.c_str(), host,
                   r->model.c_str());
    }
  }
}

int read_printer_list(const std::string& path, HostNames& names, ResultsTable& results) {
  FILE* file = std::fopen(path.c_str(), "re");
  if (!file) {
    reportf("Could not open %s\n", path.c_str());
    return -1;
  }
  char line[1025];
  int number = 0;
  while (std::fgets(line, sizeof line, file)) {
    ++number;
    if (line[0] == '#') continue;
    const char* separators = " \t\n";
    char* rest = nullptr;
    char* address = strtok_r(line, separators, &rest);
    if (!address) continue;  // a line of blanks
    char* port = strtok_r(nullptr, separators, &rest);
    if (!port) {
      reportf("Missing the printer port on line %d\n", number);
      continue;
    }
    if (std::strlen(port) != 1) {
      reportf("\nInvalid port specified on line %d\n", number);
      continue;
    }
    char* read_community = strtok_r(nullptr, separators, &rest);
    if (!read_community) {
      reportf("Missing the community name on line %d\n", number);
      continue;
    }
    char* write_community = strtok_r(nullptr, separators, &rest);
    if (!write_community) {
      reportf("Missing the set community name on line %d\n", number);
      continue;
    }
    std::string host = names.name(address);
    results.record_printer(address, port[0] - '0', read_community, write_community, ADAPTER_UNKNOWN,
                           host, host);
  }
  std::fclose(file);
  return 0;
}
