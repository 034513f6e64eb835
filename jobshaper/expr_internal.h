// What the generated expression parser and scanner call back into: name lookup
// and error reporting. Not for use outside the evaluator.
#pragma once

#include <string_view>

#include "jobshaper/expr.h"

// The value of the setting `name`: the decimal integer at the start of its text
// in the definition table (0 when absent or without digits). Reading "pcl_pitch"
// stored as exactly "16.67" sets state.pcl_pitch.
double expr_name_value(ExprState& state, std::string_view name);

// The value of a NUMBER token (digits, point, optional exponent).
double expr_number_value(std::string_view text);

// Prints `message` and a line feed on standard error.
void expr_report(const char* message);
