// The keys of the source format for the plain fields of each node record, in the
// order the decompiler writes them: the names of the node model (pdd/node.h).
// Tags, list items, menu items and block extras have keys of their own.
#pragma once

#include <cstdint>
#include <string>

#include "pdd/pdd_writer.h"

namespace pddtool {

// A text or whole-number field of record type R under `key`.
template <typename R>
struct Field {
  const char* key;
  std::string R::*text = nullptr;
  int32_t R::*number = nullptr;
  bool required = false;  // numbers only: no default
};

using pddfile::DddRecord;
using pddfile::MenuRecord;
using pddfile::NumberRecord;
using pddfile::PddRecord;
using pddfile::SclistItemRecord;
using pddfile::SclistRecord;
using pddfile::StringRecord;

// valid_type may also be written as a list of class names (VALID_CLASS_NAMES).
inline constexpr Field<StringRecord> kStringFields[] = {
    {"title", &StringRecord::title},
    {"description", &StringRecord::description},
    {"help", &StringRecord::help},
    {"next_ptr", &StringRecord::next_ptr},
    {"default_string", &StringRecord::default_string},
    {"valid_type", nullptr, &StringRecord::valid_type},
    {"include_char_set", &StringRecord::include_set},
    {"exclude_char_set", &StringRecord::exclude_set},
    {"max_length", nullptr, &StringRecord::max_length, true},
    {"validation_function", &StringRecord::validation_function},
    {"p_code", &StringRecord::p_code},
};

// The list's default (default / default_item) and its items are keys of their own.
inline constexpr Field<SclistRecord> kSclistFields[] = {
    {"label", &SclistRecord::label},
    {"description", &SclistRecord::description},
    {"help", &SclistRecord::help},
};

// The value comes first: it names the choice in queue definitions.
inline constexpr Field<SclistItemRecord> kItemFields[] = {
    {"value", &SclistItemRecord::value},
    {"label", &SclistItemRecord::label},
    {"description", &SclistItemRecord::description},
    {"printer_code", &SclistItemRecord::printer_code},
    {"next_ptr", &SclistItemRecord::next_ptr},
};

inline constexpr Field<NumberRecord> kNumberFields[] = {
    {"title", &NumberRecord::title},
    {"description", &NumberRecord::description},
    {"help", &NumberRecord::help},
    {"next_ptr", &NumberRecord::next_ptr},
    {"default_number", nullptr, &NumberRecord::default_number, true},
    {"decimal_places", nullptr, &NumberRecord::decimal_places},
    {"min_range", nullptr, &NumberRecord::min_range, true},
    {"max_range", nullptr, &NumberRecord::max_range, true},
    {"validation_function", &NumberRecord::validation_function},
    {"printer_code", &NumberRecord::printer_code},
    {"number_type", nullptr, &NumberRecord::number_type},
};

inline constexpr Field<MenuRecord> kMenuFields[] = {
    {"label", &MenuRecord::label},
    {"prompt", &MenuRecord::prompt},
    {"help", &MenuRecord::help},
    {"next_ptr", &MenuRecord::next_ptr},
};

inline constexpr Field<PddRecord> kPddFields[] = {
    {"init_sequence", &PddRecord::init_sequence},
    {"banner_init_sequence", &PddRecord::banner_init_sequence},
    {"ds_init_string", &PddRecord::ds_init_string},
    {"ds_end_string", &PddRecord::ds_end_string},
    {"special_char1", nullptr, &PddRecord::special_char1},
    {"special_char2", nullptr, &PddRecord::special_char2},
    {"special_char3", nullptr, &PddRecord::special_char3},
    {"string1", &PddRecord::string1},
    {"string2", &PddRecord::string2},
    {"string3", &PddRecord::string3},
};

inline constexpr Field<DddRecord> kDddFields[] = {
    {"transport", &DddRecord::transport},
};

// Names of the character classes of valid_type, bit 0 first (VALID_DIGITS ...).
inline constexpr const char* VALID_CLASS_NAMES[] = {"digits", "letters", "space", "punctuation",
                                                    "control"};

// Keys of the extras of a string block (BlockExtra) and of a menu's item block.
inline constexpr const char* BLOCK_COUNT_KEY = "block_count";
inline constexpr const char* BLOCK_TAIL_KEY = "block_tail";
inline constexpr const char* ITEMS_COUNT_KEY = "items_count";
inline constexpr const char* ITEMS_TAIL_KEY = "items_tail";

}  // namespace pddtool
