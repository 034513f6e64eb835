// Writes records as a PDD source (YAML, format in pddtool/README.md) that
// source_reader reads back into the same records.
#pragma once

#include <string>
#include <vector>

#include "pddtool/records.h"

namespace pddtool {

struct WrittenRecord {
  Record record;
  std::string comment;  // written as comment lines above the record; may be empty
};

// The source: `header` as comment lines, then one list entry per record, separated
// by blank lines. Fields that hold their default (an empty text, a zero number,
// no block extras) are left out.
std::string write_source(const std::vector<WrittenRecord>& records, const std::string& header);

}  // namespace pddtool
