// Evaluator of the arithmetic expressions in printer code strings: runs the
// generated scanner and parser over one text and formats the number.
#include "jobshaper/expr.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <new>
#include <string>

#include "common/format.h"
#include "common/io.h"
#include "expr_parser.h"
#include "expr_scanner.h"
#include "jobshaper/expr_internal.h"
#include "pdd/definitions.h"

namespace {

// The stored text that marks the 16.67 characters-per-inch pitch, which has no
// exact "%g" form that the printer accepts; it is sent as written instead.
constexpr std::string_view PCL_PITCH_NAME = "pcl_pitch";
constexpr std::string_view PCL_PITCH_TEXT = "16.67";

// The integer prefix of `text` as atoi reads it on the 32-bit host: leading
// white space, an optional sign, digits; saturated at the range of a 32-bit int.
int32_t integer_prefix(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int64_t magnitude = 0;
  constexpr int64_t LIMIT = int64_t{INT32_MAX} + 1;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (magnitude < LIMIT) magnitude = magnitude * 10 + (text[i] - '0');
  }
  if (negative) return static_cast<int32_t>(-std::min(magnitude, LIMIT));
  return static_cast<int32_t>(std::min<int64_t>(magnitude, INT32_MAX));
}

// Owns one scanner over one text for the length of a parse.
class ExprScanner {
 public:
  ExprScanner(std::string_view text, ExprState& state) {
    if (exprlex_init_extra(&state, &scanner_) != 0) throw std::bad_alloc();
    buffer_ = expr_scan_bytes(text.data(), static_cast<int>(text.size()), scanner_);
  }
  ~ExprScanner() {
    expr_delete_buffer(buffer_, scanner_);
    exprlex_destroy(scanner_);
  }
  ExprScanner(const ExprScanner&) = delete;
  ExprScanner& operator=(const ExprScanner&) = delete;

  yyscan_t get() const { return scanner_; }

 private:
  yyscan_t scanner_ = nullptr;
  YY_BUFFER_STATE buffer_ = nullptr;
};

}  // namespace

double expr_name_value(ExprState& state, std::string_view name) {
  const std::string& stored = get_definition(name);
  if (name == PCL_PITCH_NAME && stored == PCL_PITCH_TEXT) state.pcl_pitch = true;
  return integer_prefix(stored);
}

double expr_number_value(std::string_view text) {
  double value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  (void)end;
  if (error == std::errc::result_out_of_range) {
    // Too large or too small for a double: what strtod gives.
    bool tiny = text.find_first_of("eE") != std::string_view::npos &&
                text.find('-') != std::string_view::npos;
    value = tiny ? 0.0 : HUGE_VAL;
  }
  return value;
}

void expr_report(const char* message) {
  std::string line = std::string(message) + "\n";
  write_all(2, line);
}

int evaluate_expression(std::string_view text, ExprState& state) {
  // Only the text up to the first "}" is an expression; cutting it here also keeps
  // the scanner's buffer small when the caller hands a whole code string.
  text = text.substr(0, text.find('}'));
  if (text.size() > INT_MAX) {
    // Beyond what the generated scanner can take; no parse of it could fit the
    // parse stack either.
    state.pcl_pitch = false;
    expr_report("memory exhausted");
    return 1;
  }
  double value = 0;
  int status;
  {
    ExprScanner scanner(text, state);
    status = exprparse(&value, scanner.get());
  }
  if (status != 0) {
    // A flag set by a failed expression must not turn up in an unrelated later one.
    state.pcl_pitch = false;
    return 1;
  }
  if (state.pcl_pitch) {
    state.pcl_pitch = false;
    state.result = PCL_PITCH_TEXT;
  } else {
    state.result = strprintf("%g", value);
  }
  return 0;
}
