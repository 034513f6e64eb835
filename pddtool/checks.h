// The compiler's own checks of a record, beyond what the reader checks: what a
// source may say in its typed records. The decompiler applies the same checks to
// choose between a typed record and raw bytes, so that what it writes compiles.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "pddtool/records.h"

namespace pddtool {

// A fault of a record and where it lies, by the source's keys.
struct Problem {
  Problem() = default;
  Problem(std::string message_, std::string field_ = "", int item_ = -1,
          std::string item_field_ = "")
      : message(std::move(message_)),
        field(std::move(field_)),
        item(item_),
        item_field(std::move(item_field_)) {}

  std::string message;  // one line, without the place
  // A key of the record; "tag" for the record's tag; "" for the record itself.
  std::string field;
  int item = -1;           // with field "items": the item's index
  std::string item_field;  // a key of that item ("" for the item itself)
};

// The longest key a queue definition holds (DefinitionTable::KEY_LIMIT), and so
// the longest tag of an option.
inline constexpr size_t OPTION_TAG_LIMIT = 55;

// Faults of one record on its own, in the order of its fields:
// - a node's tag that is empty, holds a blank, a control character, "=" or ",",
//   or (for an option: string, sclist, number) is longer than OPTION_TAG_LIMIT;
// - a text (every string the reader uses) that holds a zero byte or "$$$", or ends
//   with "$" (the reader would cut it short);
// - a list without items or whose default item is out of range;
// - a menu of more than PDD_BLOCK_STRING_LIMIT items;
// - block extras the reader would not read back as given: a count below the
//   record's own number of strings or above PDD_BLOCK_STRING_LIMIT, or a tail
//   without the further strings the count announces;
// - a skip code that the reader reads a body for.
std::vector<Problem> check_record(const Record& record);

// The message of a list whose default item is out of range, or "" when it is in
// range.
std::string default_item_problem(const pddfile::SclistRecord& list);

}  // namespace pddtool
