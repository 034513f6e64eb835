// Fuzz target of code-string expansion and the byte-escape scanner. Checks that
// scanning in small chunks gives the bytes of one whole scan, and that the one-pass
// expansion gives the text and evaluator state of the rounds wherever it applies.
//
// Input: byte 0 picks the chunk limit (12 and up) and whether numbers are written
// as byte escapes; the rest is the code string.
#include <cstdint>
#include <string>
#include <string_view>

#include "jobshaper/byte_escapes.h"
#include "jobshaper/code_strings.h"
#include "jobshaper/expand_expressions.h"
#include "pdd/definitions.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Names the expressions can read, the pitch that has its own rule among them.
  put_definition("pcl_pitch", "16.67");
  put_definition("pcl_copies", "3");
  put_definition("pin_no", "42");
  put_definition("n", "-12abc");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t chunk_limit = 12 + (data[0] & 0x3f);
  const bool number_as_byte = (data[0] & 0x80) != 0;
  const std::string code(reinterpret_cast<const char*>(data) + 1, size - 1);

  std::string whole;
  scan_byte_escapes(code, whole);
  std::string chunked;
  decode_byte_escapes(code, chunk_limit, chunked);
  if (chunked != whole || decode_codes(code) != whole) __builtin_trap();

  std::string by_rounds = code;
  ExprState rounds_state;
  expand_by_rounds(by_rounds, number_as_byte, rounds_state);
  if (expands_in_one_pass(code)) {
    std::string one_pass = code;
    ExprState one_pass_state;
    expand_in_one_pass(one_pass, number_as_byte, one_pass_state);
    if (one_pass != by_rounds || one_pass_state.result != rounds_state.result ||
        one_pass_state.pcl_pitch != rounds_state.pcl_pitch) {
      __builtin_trap();
    }
  }
  std::string expanded = code;
  ExprState state;
  expand_expressions(expanded, number_as_byte, state);
  if (expanded != by_rounds) __builtin_trap();

  std::string bytes;
  decode_byte_escapes(expanded, chunk_limit, bytes);
  if (bytes != decode_codes(expanded)) __builtin_trap();
  return 0;
}
