// Fuzz target of the compiled MIB loader: MibTree::load_bytes on the input, then name
// conversions. Checks that a refused file leaves no tree, that a loaded tree encodes
// into a file that loads as the same tree, and that the names of its nodes convert
// to their numbers and back.
#include <cctype>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "hostsweep/mib_tree.h"

namespace {

// A label that name_to_oid reads back as that label.
bool plain_label(const std::string& label) {
  if (label.empty() || !std::isalpha(static_cast<unsigned char>(label[0]))) return false;
  for (char c : label) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_') return false;
  }
  return true;
}

// Visits up to `budget` nodes below `parent`. A node is checked when every node on its
// path is the first of its siblings with its number and, if it has a label, with its
// label (the conversions take the first).
void check_below(const MibTree& tree, const MibNode& parent, std::vector<oid>& path, int& budget) {
  for (const MibNode& node : parent.children) {
    if (--budget < 0 || path.size() >= MIB_MAX_OID_LENGTH) return;
    if (parent.child(node.subid) != &node) continue;
    if (!node.label.empty() && (!plain_label(node.label) || parent.child(node.label) != &node)) {
      continue;
    }
    path.push_back(node.subid);
    std::string name = tree.oid_to_name(path);
    std::vector<oid> again;
    std::string err;
    if (!tree.name_to_oid(name, "", &again, &err) || again != path) __builtin_trap();
    if (tree.deepest_node(path) != &node) __builtin_trap();
    check_below(tree, node, path, budget);
    path.pop_back();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MibTree tree;
  std::string err;
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (tree.load_bytes(bytes, &err) != MibLoadStatus::LOADED) {
    if (tree.loaded() || !tree.root().children.empty() || err.empty()) __builtin_trap();
    return 0;
  }
  MibTree again;
  if (again.load_bytes(encode_mib(tree.root()), &err) != MibLoadStatus::LOADED ||
      !(again.root() == tree.root())) {
    __builtin_trap();
  }
  std::vector<oid> path;
  int budget = 300;
  check_below(tree, tree.root(), path, budget);
  for (const char* name : {"system.sysDescr.0", ".iso.org.dod", ".1.3.6.1.4.1.40599.1", "corvane.2",
                           "..", ".1.3.99999999999"}) {
    std::vector<oid> numbers;
    if (tree.name_to_oid(name, MIB_DEFAULT_PREFIX, &numbers, &err)) {
      (void)tree.oid_to_name(numbers);
      (void)tree.syntax_of(numbers);
    }
  }
  return 0;
}
