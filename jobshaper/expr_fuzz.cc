// Fuzz target of the expression evaluator: evaluate_expression on the input, twice
// with one state (the pitch rule carries over) and once with a fresh one.
#include <cstdint>
#include <string_view>

#include "jobshaper/expr.h"
#include "pdd/definitions.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  put_definition("pcl_pitch", "16.67");
  put_definition("pcl_copies", "3");
  put_definition("big", "99999999999999999999");
  put_definition("n", "-12abc");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  ExprState state;
  int first = evaluate_expression(text, state);
  (void)evaluate_expression(text, state);
  ExprState fresh;
  // The same text with a fresh state gives the same outcome.
  if (evaluate_expression(text, fresh) != first) __builtin_trap();
  return 0;
}
