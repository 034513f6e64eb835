// Expansion of the $${expression} parts of a printer code string.
#include "jobshaper/expand_expressions.h"

#include <string>
#include <unordered_map>

namespace {

constexpr std::string_view EXPRESSION_START = "$${";
constexpr std::string_view PIN_NUMBER_NAME = "pin_no";
// A "$${" right after a "$": a value "${N}" would make a new expression there.
constexpr std::string_view DOLLAR_BEFORE_START = "$$${";

// The value that replaces `pattern` ("$${" expression "}").
std::string pattern_value(std::string_view pattern, bool number_as_byte, ExprState& state) {
  std::string_view expression =
      pattern.substr(EXPRESSION_START.size(), pattern.size() - EXPRESSION_START.size() - 1);
  // An expression that does not parse leaves no number; it is dropped.
  if (evaluate_expression(expression, state) != 0) return "";
  const std::string& number = state.result;
  if (number_as_byte) return "${" + number + "}";
  if (pattern.find(PIN_NUMBER_NAME) != std::string_view::npos && number.size() < 4) {
    return std::string(4 - number.size(), '0') + number;
  }
  return number;
}

void replace_all(std::string& text, std::string_view pattern, std::string_view replacement) {
  std::string out;
  size_t from = 0;
  for (size_t hit; (hit = text.find(pattern, from)) != std::string::npos;
       from = hit + pattern.size()) {
    out.append(text, from, hit - from);
    out += replacement;
  }
  out.append(text, from);
  text.swap(out);
}

}  // namespace

void expand_by_rounds(std::string& code, bool number_as_byte, ExprState& state) {
  // The loop ends: each round replaces a pattern holding "$$" by a text holding
  // at most one "$", so the number of "$" in the text falls every round.
  for (;;) {
    size_t start = code.find(EXPRESSION_START);
    if (start == std::string::npos) return;
    size_t end = code.find('}', start + EXPRESSION_START.size());
    if (end == std::string::npos) return;
    std::string pattern = code.substr(start, end + 1 - start);
    replace_all(code, pattern, pattern_value(pattern, number_as_byte, state));
  }
}

bool expands_in_one_pass(std::string_view code) {
  if (code.find(DOLLAR_BEFORE_START) != std::string_view::npos) return false;
  bool started = false;  // a "$${" since the last "}"
  for (size_t at = code.find_first_of("$}"); at != std::string_view::npos;
       at = code.find_first_of("$}", at + 1)) {
    if (code[at] == '}') {
      started = false;
    } else if (code.substr(at, EXPRESSION_START.size()) == EXPRESSION_START) {
      if (started) return false;
      started = true;
    }
  }
  return true;
}

void expand_in_one_pass(std::string& code, bool number_as_byte, ExprState& state) {
  std::unordered_map<std::string_view, std::string> values;  // patterns point into `code`
  std::string out;
  size_t from = 0;
  for (;;) {
    size_t start = code.find(EXPRESSION_START, from);
    if (start == std::string::npos) break;
    size_t end = code.find('}', start + EXPRESSION_START.size());
    // The rounds end at the first "$${" without a "}" after it, leaving it as it is.
    if (end == std::string::npos) break;
    std::string_view pattern(code.data() + start, end + 1 - start);
    auto [value, fresh] = values.try_emplace(pattern);
    if (fresh) value->second = pattern_value(pattern, number_as_byte, state);
    out.append(code, from, start - from);
    out += value->second;
    from = end + 1;
  }
  if (from == 0) return;  // nothing was replaced
  out.append(code, from);
  code.swap(out);
}

void expand_expressions(std::string& code, bool number_as_byte, ExprState& state) {
  if (expands_in_one_pass(code)) {
    expand_in_one_pass(code, number_as_byte, state);
  } else {
    expand_by_rounds(code, number_as_byte, state);
  }
}
