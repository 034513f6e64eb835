// The device listing: queues of the suite and printers found by discovery.
#include "cups/discovery.h"

#include <dirent.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>

#include "common/format.h"
#include "common/paths.h"
#include "common/program_frame.h"
#include "cups/device_uri.h"
#include "pdd/definitions.h"

namespace {

bool is_dotted_address(std::string_view text) {
  int parts = 0;
  size_t start = 0;
  for (;;) {
    size_t dot = text.find('.', start);
    std::string_view part = text.substr(start, dot == text.npos ? text.npos : dot - start);
    if (part.empty() || part.size() > 3) return false;
    int value = 0;
    for (char c : part) {
      if (c < '0' || c > '9') return false;
      value = value * 10 + (c - '0');
    }
    if (value > 255) return false;
    ++parts;
    if (dot == text.npos) break;
    start = dot + 1;
  }
  return parts == 4;
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && std::string_view(" \t\r").find(text.back()) != text.npos) {
    text.remove_suffix(1);
  }
  return text;
}

// A column-style line: "%-16s %c %-10s %-10s %-20s %-35s %s" with the address, port,
// both communities, adapter, host name and model. The adapter text may hold blanks, so
// the columns are found by their widths; a line whose columns overflowed gives no model.
bool read_column_line(std::string_view line, FoundPrinter* printer) {
  size_t pos = 0;
  // Takes a field of at least `width` characters (a word, padded) and the blank after it.
  auto field = [&](size_t width, std::string_view* word) {
    size_t blank = line.find_first_of(" \t", pos);
    if (blank == line.npos) blank = line.size();
    *word = line.substr(pos, blank - pos);
    size_t end = pos + std::max(width, word->size());
    if (end >= line.size() || line[end] != ' ') return false;
    pos = end + 1;
    return true;
  };
  std::string_view address, word;
  if (!field(16, &address) || !is_dotted_address(address)) return false;
  printer->address = std::string(address);
  printer->model.clear();
  if (field(1, &word) && field(10, &word) && field(10, &word) && pos + 20 < line.size() &&
      line[pos + 20] == ' ') {
    pos += 21;  // the adapter column
    if (field(35, &word)) printer->model = std::string(trim(line.substr(pos)));
  }
  return true;
}

// A colon-style line: host:address:model:adapter:port:class (the model may hold colons).
bool read_colon_line(std::string_view line, FoundPrinter* printer) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (;;) {
    size_t colon = line.find(':', start);
    parts.push_back(line.substr(start, colon == line.npos ? line.npos : colon - start));
    if (colon == line.npos) break;
    start = colon + 1;
  }
  if (parts.size() < 6 || !is_dotted_address(parts[1])) return false;
  printer->address = std::string(parts[1]);
  size_t model_start = parts[0].size() + 1 + parts[1].size() + 1;
  size_t model_end = line.size();
  for (size_t i = 0; i < 3; ++i) model_end = line.rfind(':', model_end - 1);
  printer->model = std::string(trim(line.substr(model_start, model_end - model_start)));
  return true;
}

// Text for a quoted field of a device line: quotes and backslashes, which CUPS would
// read as the field's end or an escape, and control characters become harmless.
std::string quoted(std::string_view text) {
  std::string field = "\"";
  for (char c : text) {
    if (c == '"') {
      field += '\'';
    } else if (c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
      field += ' ';
    } else {
      field += c;
    }
  }
  return field + "\"";
}

// The names in `dir`, sorted.
std::vector<std::string> names_in(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* entry = readdir(d)) {
      std::string name = entry->d_name;
      if (valid_queue_name(name)) names.push_back(name);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// `path` of the path table with `name` taken off its end: the directory it lies in.
std::string directory_of(const std::string& path, std::string_view tail) {
  return path.substr(0, path.size() - tail.size());
}

bool load(const std::string& path, DefinitionTable* table) {
  FILE* file = open_definition_file(path);
  if (!file) return false;
  table->load(file);
  return true;
}

}  // namespace

std::string found_printers_file() { return paths::found_printers(); }

std::vector<FoundPrinter> read_found_printers(std::string_view text) {
  std::vector<FoundPrinter> printers;
  std::set<std::string> seen;
  size_t start = 0;
  while (start < text.size()) {
    size_t newline = text.find('\n', start);
    std::string_view line = text.substr(start, newline == text.npos ? text.npos : newline - start);
    start = newline == text.npos ? text.size() : newline + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (trim(line).empty() || line.front() == '#') continue;
    FoundPrinter printer;
    if (!read_column_line(line, &printer) && !read_colon_line(line, &printer)) continue;
    if (printer.model.empty()) printer.model = "Unknown";
    if (seen.insert(printer.address).second) printers.push_back(std::move(printer));
  }
  return printers;
}

std::string device_listing() {
  std::string listing;
  // The queues, as the formatter finds them.
  const std::string queues = directory_of(paths::system_vqd("q"), "q/.q");
  for (const std::string& queue : names_in(queues)) {
    DefinitionTable vqd;
    if (!load(paths::system_vqd(queue), &vqd)) continue;
    std::string model = vqd.get("printer_type");
    if (model.empty()) model = vqd.get("pdd");
    if (model.empty()) model = "Unknown";
    listing += strprintf("network %s %s %s\n", queue_uri(queue).c_str(), quoted(model).c_str(),
                         quoted(queue + " (" + vqd.get("device_name") + ")").c_str());
  }
  // Printers a device serves already are not offered again.
  std::set<std::string> served;
  const std::string devices = directory_of(paths::vdd("d"), "d");
  for (const std::string& device : names_in(devices)) {
    DefinitionTable vdd;
    if (load(paths::vdd(device), &vdd)) served.insert(vdd.get("network_host"));
  }
  std::ifstream file(found_printers_file(), std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  for (const FoundPrinter& printer : read_found_printers(text)) {
    if (served.count(printer.address)) continue;
    listing += strprintf("network %s %s %s\n", discovered_uri(printer.address).c_str(),
                         quoted(printer.model).c_str(),
                         quoted(printer.address + " (found by discovery, no queue yet)").c_str());
  }
  return listing;
}
