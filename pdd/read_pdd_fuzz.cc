// Fuzz target of the compiled PDD reader: read_pdd on the input as a file, then what
// the programs do with a PDD the reader accepts: node dumps, code strings of every
// node and code kind, value checks, and release.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "common/debug_trace.h"
#include "jobshaper/code_strings.h"
#include "pdd/isvalid.h"
#include "pdd/library.h"
#include "pdd/print_nodes.h"
#include "pdd/read_nodes.h"
#include "tests/support/fuzz_input.h"

namespace {

// Texts of a node that serve as values to check: the fuzzer controls them all.
std::vector<const char*> node_texts(const NodePtr& item) {
  std::vector<const char*> texts = {"", "1", "-7", "0.5", "on", "a b"};
  auto add = [&texts](const char* text) {
    if (text) texts.push_back(text);
  };
  switch (item.kind) {
    case NodeKind::SCLIST: {
      const auto* list = static_cast<const SclistNode*>(item.node);
      add(list->label);
      for (int32_t i = 0; list->items && i < list->no_of_items; ++i) add(list->items[i].value);
      break;
    }
    case NodeKind::STRING: {
      const auto* node = static_cast<const StringNode*>(item.node);
      add(node->default_string);
      add(node->description);
      add(node->include_char_set);
      break;
    }
    case NodeKind::NUMBER: {
      const auto* node = static_cast<const NumberNode*>(item.node);
      add(node->description);
      add(node->help);
      break;
    }
    default:
      add(item.name);
      break;
  }
  return texts;
}

void use_pdd(const NodePtr* top) {
  print_node_ptr(top);
  const auto* menu = static_cast<const MenuNode*>(top->node);
  CodeState state;
  for (int32_t i = 0; menu->items && i < menu->no_of_items; ++i) {
    const NodePtr& item = menu->items[i];
    if (!item.node) continue;
    print_node_ptr(&item);
    std::vector<const char*> values = node_texts(item);
    values.push_back(nullptr);
    for (const char* value : values) {
      for (int kind = CODE_DS_INIT_STRING; kind <= CODE_STRING3; ++kind) {
        std::string code =
            get_code_string(item.name, value, top, kind, "\"title\"", "user", "host", state);
        (void)decode_codes(code);
        // Only data stream and device nodes tell code kinds apart.
        if (item.kind != NodeKind::PDD && item.kind != NodeKind::DDD) break;
      }
      if (value) (void)check_option_value(item.name, value, top);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Dumps and traces go nowhere, but are all formatted.
  static FILE* null_file = std::fopen("/dev/null", "w");
  if (!null_file) __builtin_trap();
  pdd_library().output_fd = fileno(null_file);
  debug_trace().file = null_file;
  debug_trace().level = DEBUG_LISTING | DEBUG_LIBRARY;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzMemoryFile file(data, size);
  PddHandle pdd(read_pdd(file.path().c_str()));
  if (!is_valid_top_menu(pdd.get())) return 0;
  use_pdd(pdd.get());
  return 0;
}
