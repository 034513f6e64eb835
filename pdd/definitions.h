// The definition table: the key=value lines of one queue (VQD) or device (VDD)
// definition file, exactly as read. Every line is an entry, nothing is trimmed,
// and when a key occurs on several lines the last one wins.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

struct Definition {
  std::string name;   // everything before the first '=' (at most KEY_LIMIT characters)
  std::string value;  // everything after it up to the newline (at most VALUE_LIMIT)
};

class DefinitionTable {
 public:
  static constexpr size_t LINE_LIMIT = 1023;  // longer lines are read in pieces
  static constexpr size_t KEY_LIMIT = 55;
  static constexpr size_t VALUE_LIMIT = 255;

  // Empties the table, then adds one entry per line of `stream` up to its end.
  // Closes the stream. Never fails.
  int load(FILE* stream);
  // The entry that lookups find for `key` (the last line with that key), or nullptr.
  const Definition* find(std::string_view key) const;
  // The value of find(key), or a shared empty text when the key is absent.
  const std::string& get(std::string_view key) const;
  // Replaces the value of find(key), or adds an entry when there is none. Returns 1.
  int put(std::string_view key, std::string_view value);
  // Adds an entry in front of all others. Returns 1, or 0 when out of memory.
  int add(std::string_view key, std::string_view value);
  void clear();

  // Entries in lookup order: the most recently added first.
  std::vector<const Definition*> entries() const;

  // Splits one line (without limits on its length) into an entry the way the
  // loader does, cutting the key and value at their limits.
  static Definition parse_line(std::string_view line);

 private:
  // Kept in file order; lookups search from the back, which gives the same
  // result as a list that grows at the front.
  std::vector<Definition> entries_;
};

// The process-wide table used by the programs.
DefinitionTable& definition_table();

int load_definitions(FILE* stream);
const Definition* find_definition(std::string_view key);
const std::string& get_definition(std::string_view key);
int put_definition(std::string_view key, std::string_view value);
int add_definition(std::string_view key, std::string_view value);
void clear_definitions();
