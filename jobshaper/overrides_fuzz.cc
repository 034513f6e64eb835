// Fuzz target of the -p overrides: apply_overrides with the input as the options
// string against the sample queue (its VQD and PDD, read once from a sample tree),
// for both of its data streams, then the code strings of the settings it changed.
#include <ftw.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "common/paths.h"
#include "jobshaper/code_strings.h"
#include "jobshaper/overrides.h"
#include "pdd/definitions.h"
#include "pdd/read_nodes.h"
#include "sample/sample_tree.h"

namespace {

std::string g_vqd;  // the sample queue's definition file
PddHandle g_pdd;    // the sample PDD

std::string read_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) __builtin_trap();
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void load_vqd() {
  FILE* stream = fmemopen(g_vqd.data(), g_vqd.size(), "r");
  if (!stream) __builtin_trap();
  load_definitions(stream);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char root[] = "/tmp/overrides_fuzz.XXXXXX";
  if (!mkdtemp(root) || !write_sample_tree(root)) __builtin_trap();
  g_vqd = read_text(below_root(root, paths::system_vqd("sample_auto")));
  g_pdd.reset(read_pdd(below_root(root, paths::pdd_file("generic_pcl.b")).c_str()));
  if (!is_valid_top_menu(g_pdd.get())) __builtin_trap();
  nftw(
      root, [](const char* path, const struct stat*, int, FTW*) { return remove(path); }, 16,
      FTW_DEPTH | FTW_PHYS);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string options(reinterpret_cast<const char*>(data), size);
  for (const char* stream : {"pcl", "ps"}) {
    load_vqd();
    apply_overrides(options, stream, g_pdd.get());
    CodeState state;
    for (const Definition* entry : definition_table().entries()) {
      std::string code = get_code_string(entry->name.c_str(), entry->value.c_str(), g_pdd.get(),
                                         CODE_INIT_SEQUENCE, "\"job\"", "user", "host", state);
      (void)decode_codes(code);
    }
  }
  return 0;
}
