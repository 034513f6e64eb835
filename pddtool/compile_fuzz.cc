// Fuzz target of pddtool's compiler and decompiler. The input as a YAML source:
// compile_source; a compiled result must be a PDD the reader takes, and its
// decompiled source must compile to the same bytes. The input as compiled PDD bytes:
// decompile_pdd, whose source must compile back to the input.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "pdd/library.h"
#include "pdd/read_nodes.h"
#include "pddtool/compile.h"
#include "tests/support/fuzz_input.h"

namespace {

// The source of `bytes` compiles back to `bytes`.
void check_round_trip(const std::string& bytes) {
  std::string source, err;
  if (!pddtool::decompile_pdd(bytes, "fuzz", &source, &err)) {
    if (bytes.size() <= PDD_MAX_FILE_SIZE) __builtin_trap();
    return;
  }
  std::string again;
  std::vector<pddtool::Diagnostic> errors;
  if (!pddtool::compile_source(source, &again, &errors) || again != bytes) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static FILE* null_file = std::fopen("/dev/null", "w");
  if (!null_file) __builtin_trap();
  pdd_library().output_fd = fileno(null_file);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string bytes;
  std::vector<pddtool::Diagnostic> errors;
  if (pddtool::compile_source(text, &bytes, &errors)) {
    if (!errors.empty()) __builtin_trap();
    FuzzMemoryFile file(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    PddHandle pdd(read_pdd(file.path().c_str()));
    if (!bytes.empty() && !is_valid_top_menu(pdd.get())) __builtin_trap();
    check_round_trip(bytes);
  } else if (errors.empty()) {
    __builtin_trap();
  }
  check_round_trip(std::string(text));
  return 0;
}
