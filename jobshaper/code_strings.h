// Printer code strings: picks the code string of each queue setting from the PDD,
// fills in job information and computed numbers, and writes the result with its
// byte escapes turned into bytes.
//
// Code string syntax: ${N} is one byte of value N (00 to 99 with one or two digits,
// 100 to 255 with three); $${expression} is replaced by the expression's value
// before writing. Everything else stands for itself.
#pragma once

#include <string>
#include <string_view>

#include "jobshaper/expr.h"
#include "pdd/node.h"

// Which code string of a data stream (or device) node is asked for.
enum CodeKind : int {
  CODE_DS_INIT_STRING = 1,
  CODE_INIT_SEQUENCE = 2,
  CODE_BANNER_INIT_SEQUENCE = 3,
  CODE_TRANSPORT = 4,  // device nodes only
  CODE_DS_END_STRING = 5,
  CODE_STRING1 = 6,
  CODE_STRING2 = 7,
  CODE_STRING3 = 8,
};

// Dependency flags between settings, and the evaluator's state. They live for the
// whole run: a flag set by one setting affects the settings listed after it.
struct CodeState {
  bool fax_page = false;
  bool manual_color = false;
  bool manual_balance = false;
  bool gray_correction = true;
  ExprState expr;
};

// The process-wide state used by the functions below.
CodeState& code_state();

// The expanded code string of the node named `name` among the top menu's items
// (first match), for the setting `value` (nullptr: none) and the given code kind.
// `title`, `user` and `host` are the quoted job title, user and host (nullptr: not
// given); their characters reach the printer literally. Gives "" for nothing.
std::string get_code_string(const char* name, const char* value, const NodePtr* top_menu,
                            int code_kind, const char* title, const char* user, const char* host,
                            CodeState& state = code_state());

// The codes of every setting named in `list` (tags separated by `separator`) whose
// value in the definition table is not empty, joined in list order.
std::string get_converted_strings(const std::string& list, const NodePtr* top_menu, char separator,
                                  const char* title, const char* user, const char* host,
                                  CodeState& state = code_state());

// `text` with every `separator` removed.
std::string remove_string_separator(const std::string& text, char separator);

// The bytes that `codes` stands for: byte escapes become single bytes.
std::string decode_codes(std::string_view codes);

// Writes decode_codes(codes) to `fd` (standard output by default), unbuffered.
// Returns 0, or -1 when the write fails (errno set).
int write_codes(std::string_view codes, int fd = 1);
