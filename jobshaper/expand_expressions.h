// Expansion of the $${expression} parts of a printer code string: each is replaced
// by the expression's value before the byte escapes are written.
#pragma once

#include <string>
#include <string_view>

#include "jobshaper/expr.h"

// Replaces the expressions of `code` by their values. What is replaced is defined
// by rounds (expand_by_rounds); expand_in_one_pass gives the same text, and the
// same evaluations in the same order, whenever expands_in_one_pass(code) holds,
// which is the case for every ordinary code string. A value is the number the
// evaluator gives, written as the byte escape "${N}" when `number_as_byte`, padded
// with zeros to four digits when the pattern names "pin_no" (and the number is
// shorter), else as it is; an expression that does not parse leaves nothing.
void expand_expressions(std::string& code, bool number_as_byte, ExprState& state);

// One round takes the first "$${" of the text and the first "}" after it; the
// text from the one to the other is the pattern, which is evaluated once and then
// replaced wherever it occurs. Rounds go on until no "$${" is followed by a "}".
// A value can make a new "$${" with what stands before it ("$" and "${12}"), which
// a later round expands again. Each round passes over the whole text, so n
// expressions cost n passes.
void expand_by_rounds(std::string& code, bool number_as_byte, ExprState& state);

// Whether one left-to-right pass gives what the rounds give: no "$${" follows a
// "$", and no stretch between two "}" holds more than one "$${". Then every
// pattern is a fixed piece of the original text and no value forms a new one.
bool expands_in_one_pass(std::string_view code);

// Left to right: each "$${" up to the next "}" is replaced by its value, each
// distinct pattern evaluated once. Only for codes where expands_in_one_pass holds.
void expand_in_one_pass(std::string& code, bool number_as_byte, ExprState& state);
