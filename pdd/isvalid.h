// Checks of option values against their PDD nodes: a selection list takes one of
// its choices, a free text only characters of its allowed classes, a number only
// values within its range (scaled by its decimal places).
#pragma once

#include <cstdint>
#include <string>

#include "pdd/node.h"

// 0 when `value` is acceptable for the node named `key` among the top menu's items
// (first match), -1 otherwise (no such node, a MENU, PDD or DDD node, a value that
// does not fit the node's buffer, or a value the node's checks refuse). An accepted
// STRING or NUMBER value becomes the node's current value text.
int check_option_value(const char* key, const char* value, const NodePtr* top_menu);

// Whether `c` is allowed by the classes of `valid_type` (VALID_DIGITS ...) or the
// include set; a character of the exclude set is never allowed.
bool char_allowed(char c, int32_t valid_type, const char* include_set, const char* exclude_set);

// -1 when `text` is below the node's range, 1 above it, 0 otherwise. A text with
// more digits after the decimal separator "." than the node has decimal places is
// not compared (0).
int check_number_range(const char* text, const NumberNode& node);

// Takes `text` as the node's value text when it is within range (true). Otherwise
// sets the node to the nearest bound, reports that on standard error and gives false.
bool apply_number_value(NumberNode& node, const char* text);

// `value` scaled by 10 to the power `decimal_places`, as text: 105 with 2 places is
// "1.05"; with 0 places the integer itself.
std::string format_scaled_number(int32_t value, int32_t decimal_places);
