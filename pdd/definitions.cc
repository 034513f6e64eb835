// The definition table of one VQD or VDD file.
#include "pdd/definitions.h"

#include <new>

namespace {
const std::string kEmpty;
}

Definition DefinitionTable::parse_line(std::string_view line) {
  // A line is a C text: anything after a zero byte is not part of it.
  line = line.substr(0, line.find('\0'));
  Definition entry;
  size_t key_end = line.find('=');
  std::string_view key = line.substr(0, key_end);
  entry.name.assign(key.substr(0, KEY_LIMIT));
  // A line that starts with '=' has no key, and then no value either: the key and
  // the value are matched as one pattern, which stops at an empty key.
  if (key_end != std::string_view::npos && key_end != 0) {
    std::string_view rest = line.substr(key_end + 1);
    rest = rest.substr(0, rest.find('\n'));
    entry.value.assign(rest.substr(0, VALUE_LIMIT));
  }
  return entry;
}

int DefinitionTable::load(FILE* stream) {
  clear();
  std::string piece;
  for (;;) {
    piece.clear();
    int c = EOF;
    while (piece.size() < LINE_LIMIT && (c = std::getc(stream)) != EOF) {
      piece.push_back(static_cast<char>(c));
      if (c == '\n') break;
    }
    if (!piece.empty()) entries_.push_back(parse_line(piece));
    if (c == EOF) break;
  }
  std::fclose(stream);
  return 0;
}

const Definition* DefinitionTable::find(std::string_view key) const {
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
    if (it->name == key) return &*it;
  }
  return nullptr;
}

const std::string& DefinitionTable::get(std::string_view key) const {
  const Definition* entry = find(key);
  return entry ? entry->value : kEmpty;
}

int DefinitionTable::put(std::string_view key, std::string_view value) {
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
    if (it->name == key) {
      it->value.assign(value);
      return 1;
    }
  }
  return add(key, value);
}

int DefinitionTable::add(std::string_view key, std::string_view value) {
  try {
    entries_.push_back(Definition{std::string(key), std::string(value)});
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return 1;
}

void DefinitionTable::clear() {
  entries_.clear();
  entries_.shrink_to_fit();
}

std::vector<const Definition*> DefinitionTable::entries() const {
  std::vector<const Definition*> result;
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) result.push_back(&*it);
  return result;
}

DefinitionTable& definition_table() {
  static DefinitionTable table;
  return table;
}

int load_definitions(FILE* stream) { return definition_table().load(stream); }
const Definition* find_definition(std::string_view key) { return definition_table().find(key); }
const std::string& get_definition(std::string_view key) { return definition_table().get(key); }
int put_definition(std::string_view key, std::string_view value) {
  return definition_table().put(key, value);
}
int add_definition(std::string_view key, std::string_view value) {
  return definition_table().add(key, value);
}
void clear_definitions() { definition_table().clear(); }
