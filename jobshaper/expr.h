// Evaluator of the arithmetic expressions in printer code strings ($${...}).
// Values are doubles; names are read from the definition table as integer prefixes.
#pragma once

#include <string>
#include <string_view>

struct ExprState {
  // Set when "pcl_pitch" is read with the stored text "16.67"; the next result is
  // then "16.67" itself.
  bool pcl_pitch = false;
  // Text of the last number produced ("%g"), kept until the next one.
  std::string result;
};

// Evaluates `text` (which ends at its end or at the first "}"). Returns 0 when a
// result was produced (in state.result), 1 on a syntax error or parse stack
// exhaustion; errors are reported on standard error.
int evaluate_expression(std::string_view text, ExprState& state);
