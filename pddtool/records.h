// The records of a compiled PDD as pddtool handles them: the node records of
// pdd/pdd_writer.h together with the bytes the reader ignores in their string
// blocks, type codes without a body, and raw bytes. Encoding is exact: a record
// gives back the very bytes it was read from (format in pdd/read_nodes.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "pdd/pdd_writer.h"

namespace pddtool {

// What a string block holds beyond the strings its record uses. Empty for every
// block that PddWriter::add writes.
struct BlockExtra {
  // The block's no_of_strings when it differs from the number of strings the
  // record uses (for a MENU's item block: from its no_of_items).
  std::optional<int32_t> count;
  // The bytes after the record's strings, up to total_strings_len (further strings
  // that the count announces included).
  std::string tail;

  bool empty() const { return !count && tail.empty(); }
};

struct StringEntry {
  pddfile::StringRecord r;
  BlockExtra block;
};
struct SclistEntry {
  pddfile::SclistRecord r;
  BlockExtra block;
  std::vector<BlockExtra> item_blocks;  // one per item of r.items
};
struct NumberEntry {
  pddfile::NumberRecord r;
  BlockExtra block;
};
struct MenuEntry {
  pddfile::MenuRecord r;
  BlockExtra block;
  BlockExtra items_block;  // the second block, holding the item tags
};
struct PddEntry {
  pddfile::PddRecord r;
  BlockExtra block;
};
struct DddEntry {
  pddfile::DddRecord r;
  BlockExtra block;
};
// A type code without a body, which the reader skips.
struct SkipEntry {
  int32_t code = 0;
};
// Bytes written as they are.
struct RawEntry {
  std::string bytes;
};

using Record = std::variant<StringEntry, SclistEntry, NumberEntry, MenuEntry, PddEntry, DddEntry,
                            SkipEntry, RawEntry>;

// The number of strings the first block of each node record holds.
inline constexpr size_t STRING_BLOCK_STRINGS = 10;
inline constexpr size_t SCLIST_BLOCK_STRINGS = 4;
inline constexpr size_t NUMBER_BLOCK_STRINGS = 7;
inline constexpr size_t MENU_BLOCK_STRINGS = 5;
inline constexpr size_t ITEM_BLOCK_STRINGS = 5;
inline constexpr size_t DDD_BLOCK_STRINGS = 2;
inline constexpr size_t PDD_BLOCK_STRINGS = 8;

// The texts of the first block of a record, in file order.
std::vector<std::string> block_strings(const pddfile::StringRecord& r);
std::vector<std::string> block_strings(const pddfile::SclistRecord& r);
std::vector<std::string> block_strings(const pddfile::SclistItemRecord& r);
std::vector<std::string> block_strings(const pddfile::NumberRecord& r);
std::vector<std::string> block_strings(const pddfile::MenuRecord& r);
std::vector<std::string> block_strings(const pddfile::PddRecord& r);
std::vector<std::string> block_strings(const pddfile::DddRecord& r);

// A string block: the strings each followed by "$$$", then extra.tail; its count is
// extra.count when given, else the number of strings.
std::string encode_block(const std::vector<std::string>& strings, const BlockExtra& extra);
// The bytes of a record.
std::string encode_record(const Record& record);

// The tag by which the reader knows the node of a node record ("" for others).
std::string record_tag(const Record& record);
// The record's name in the source: "string", "sclist", ..., "skip", "raw".
const char* record_kind_name(const Record& record);

// Bytes as lowercase hexadecimal, in groups of four bytes separated by blanks and
// lines of `groups_per_line` groups.
std::string to_hex(std::string_view bytes, size_t groups_per_line = 8);
// Reads hexadecimal digits, two per byte; blanks and line breaks are skipped.
// False on any other character or an odd number of digits.
bool from_hex(std::string_view text, std::string* bytes);

}  // namespace pddtool
