// Reads the bytes of a compiled PDD the way read_pdd does (pdd/read_nodes.h) and
// tells, record by record, which bytes the reader takes, what they hold and
// whether it keeps a node from them. The decompiler writes its source from this;
// the compiler checks its output with it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pdd/node.h"
#include "pddtool/checks.h"
#include "pddtool/records.h"

namespace pddtool {

struct ScannedRecord {
  size_t start = 0;  // the bytes [start, end) the reader takes for this record
  size_t end = 0;
  // The record as read, when the reader read all of it: a node record (kept or
  // not) or a skipped type code. Absent when the reader stopped inside it.
  std::optional<Record> record;
  bool kept = false;  // the reader keeps a node from these bytes
  NodeKind kind = NodeKind::MENU;
  std::string tag;  // the node's tag, when `record` is a node record
  // Why the reader leaves these bytes out (empty message for a skipped code):
  // a short read, a count that does not fit, a creation check of the PDD library
  // (its own message), an item tag not found, a full node table.
  Problem problem;
};

// Every byte of `bytes` belongs to exactly one record, in order; a last piece of
// fewer than 4 bytes (no type code) is a record without `record`. Files larger
// than PDD_MAX_FILE_SIZE are scanned all the same: the caller refuses them.
std::vector<ScannedRecord> scan_pdd(std::string_view bytes);

}  // namespace pddtool
