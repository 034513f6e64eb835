// Checks of option values against their PDD nodes.
#include "pdd/isvalid.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "pdd/validfunctions.h"

namespace {

// Beyond this many decimal places a number text stops being meaningful; the format
// is capped there rather than padding without end.
constexpr int32_t kMaxDecimalPlaces = 64;

const NodePtr* find_item(const NodePtr* top_menu, const char* key) {
  if (!top_menu || top_menu->kind != NodeKind::MENU || !top_menu->node || !key) return nullptr;
  const auto* menu = static_cast<const MenuNode*>(top_menu->node);
  for (int32_t i = 0; i < menu->no_of_items && menu->items; ++i) {
    if (menu->items[i].name && std::strcmp(menu->items[i].name, key) == 0) return &menu->items[i];
  }
  return nullptr;
}

bool passes_validation_function(const char* name, const char* value) {
  ValidationFunction function = find_validation_function(name);
  return function == nullptr || function(value);
}

// A decimal integer prefix (optional blanks and sign, then digits), held to the
// range of a 32-bit integer.
int32_t integer_prefix(const char* text) {
  errno = 0;
  long long value = std::strtoll(text, nullptr, 10);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

// Sets the node's value text when it fits its buffer of width+1 characters.
void set_value_text(NumberNode& node, const std::string& text) {
  if (!node.value_text || node.width < 0) return;
  size_t room = static_cast<size_t>(node.width);
  size_t length = std::min(text.size(), room);
  std::memcpy(node.value_text, text.data(), length);
  node.value_text[length] = '\0';
}

}  // namespace

bool char_allowed(char c, int32_t valid_type, const char* include_set, const char* exclude_set) {
  if (c == '\0') return false;
  if (exclude_set && std::strchr(exclude_set, c)) return false;
  int ch = static_cast<unsigned char>(c);
  if ((valid_type & VALID_DIGITS) && std::isdigit(ch)) return true;
  if ((valid_type & VALID_LETTERS) && std::isalpha(ch)) return true;
  if ((valid_type & VALID_SPACE) && std::isspace(ch)) return true;
  if ((valid_type & VALID_PUNCTUATION) && std::ispunct(ch)) return true;
  if ((valid_type & VALID_CONTROL) && std::iscntrl(ch)) return true;
  return include_set && std::strchr(include_set, c) != nullptr;
}

int check_number_range(const char* text, const NumberNode& node) {
  std::string copy = text ? text : "";
  size_t separator = copy.find('.');
  size_t decimals = separator == std::string::npos ? 0 : copy.size() - separator - 1;
  if (decimals > static_cast<size_t>(std::max<int32_t>(node.decimal_places, 0))) return 0;
  if (decimals > 0) copy.erase(separator, 1);
  int32_t value = integer_prefix(copy.c_str());
  if (value < node.min_range) return -1;
  if (value > node.max_range) return 1;
  return 0;
}

bool apply_number_value(NumberNode& node, const char* text) {
  switch (check_number_range(text, node)) {
    case 0:
      set_value_text(node, text ? text : "");
      return true;
    case -1:
      node.value = node.min_range;
      set_value_text(node, format_scaled_number(node.value, node.decimal_places));
      std::fprintf(stderr,
                   "The number is too small.\nUsing the smallest possible value instead: %s\n",
                   node.value_text ? node.value_text : "");
      return false;
    default:
      node.value = node.max_range;
      set_value_text(node, format_scaled_number(node.value, node.decimal_places));
      std::fprintf(stderr, "The number is too large.\nUsing largest possible value instead: %s\n",
                   node.value_text ? node.value_text : "");
      return false;
  }
}

std::string format_scaled_number(int32_t value, int32_t decimal_places) {
  // Negative values are written with a minus sign in front of the magnitude.
  bool negative = value < 0;
  std::string digits = std::to_string(negative ? -static_cast<int64_t>(value) : value);
  std::string text = negative ? "-" : "";
  if (decimal_places <= 0) return text + digits;
  size_t places = static_cast<size_t>(std::min(decimal_places, kMaxDecimalPlaces));
  if (digits.size() <= places) digits = std::string(places + 1 - digits.size(), '0') + digits;
  size_t whole = digits.size() - places;
  return text + digits.substr(0, whole) + "." + digits.substr(whole);
}

int check_option_value(const char* key, const char* value, const NodePtr* top_menu) {
  const NodePtr* item = find_item(top_menu, key);
  if (!item || !item->node || !value) return -1;
  switch (item->kind) {
    case NodeKind::SCLIST: {
      const auto* list = static_cast<const SclistNode*>(item->node);
      for (int32_t i = 0; i < list->no_of_items && list->items; ++i) {
        if (list->items[i].value && std::strcmp(list->items[i].value, value) == 0) return 0;
      }
      return -1;
    }
    case NodeKind::STRING: {
      auto* node = static_cast<StringNode*>(item->node);
      for (const char* c = value; *c; ++c) {
        if (!char_allowed(*c, node->valid_type, node->include_char_set, node->exclude_char_set)) {
          return -1;
        }
      }
      // A value longer than the node allows does not fit its buffer.
      size_t length = std::strlen(value);
      if (node->max_length < 0 || length > static_cast<size_t>(node->max_length) || !node->value) {
        return -1;
      }
      std::memcpy(node->value, value, length + 1);
      return passes_validation_function(node->validation_function, value) ? 0 : -1;
    }
    case NodeKind::NUMBER: {
      auto* node = static_cast<NumberNode*>(item->node);
      // A number text longer than the node's width does not fit its buffer; out of
      // range, it is clamped like any other.
      if (check_number_range(value, *node) == 0 &&
          (node->width < 0 || std::strlen(value) > static_cast<size_t>(node->width))) {
        return -1;
      }
      if (!apply_number_value(*node, value)) return -1;
      return passes_validation_function(node->validation_function, value) ? 0 : -1;
    }
    default:
      return -1;
  }
}
