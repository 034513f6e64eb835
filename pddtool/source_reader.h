// Reads a PDD source (YAML, format in pddtool/README.md) into records, keeping the
// place of every part for messages, and applies the checks each record must pass
// on its own (pddtool/checks.h).
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "pddtool/checks.h"
#include "pddtool/records.h"

namespace pddtool {

// A place in the source, line and column counted from 1.
struct SourceMark {
  int line = 1;
  int column = 1;
};

struct Diagnostic {
  SourceMark at;
  std::string message;  // one line
};

// One record of a source and where its parts are.
struct SourceRecord {
  Record record;
  SourceMark at;                           // the record (its first key)
  std::map<std::string, SourceMark> keys;  // the value of each key given; "tag": the tag
  std::vector<SourceMark> items;           // each entry of "items"
  std::vector<std::map<std::string, SourceMark>> item_keys;  // the keys of each list item
};

// The most precise place the record has for `problem`.
SourceMark locate(const SourceRecord& record, const Problem& problem);

// Reads `text`. Gives false with the faults in `errors`, in source order: text that
// is not UTF-8, YAML syntax, more than one document, a record of no known kind,
// unknown or repeated keys, values of the wrong type or range, a list default that
// names no item, and every problem of check_record.
bool parse_source(std::string_view text, std::vector<SourceRecord>* records,
                  std::vector<Diagnostic>* errors);

}  // namespace pddtool
