// The MIB compiler behind hostsweep_mibc: reads MIB modules with Net-SNMP's own MIB
// parser and turns the tree it builds into the compiled MIB file of
// hostsweep/mib_tree.h, which discovery loads without parsing MIB text at run time.
#pragma once

#include <string>
#include <vector>

#include "hostsweep/mib_tree.h"

struct MibCompileInput {
  // Directories of MIB text files. Only these are searched, for the modules named
  // below and for the modules they import; the system's MIB directories, the
  // MIBDIRS and MIBS variables and the parser's configuration files are not read.
  std::vector<std::string> mib_dirs;
  // Module names (as in "CORVANE-MIB ... DEFINITIONS"), each found in a file of
  // mib_dirs; a name with a "/" is the path of a file holding a module instead.
  std::vector<std::string> modules;
};

// Reads the modules and gives in *result a synthetic root (as MibTree::root() has)
// whose one child is iso(1) with everything the parser put below it, each node's
// children ordered by sub-identifier (ccitt(0) and joint-iso-ccitt(2), which the
// parser also builds, are left out). Node types map onto MibSyntax by name;
// Integer32 becomes INTEGER and Unsigned32 GAUGE (it travels with Gauge's tag);
// other types give NONE. Descriptions are kept.
// Each of these gives a line in *warnings: an enumeration value that does not fit in
// 16 bits (left out), a label longer than 63 characters (the file keeps 63).
//
// On failure gives false and one line in *err (without newline): a directory that
// cannot be read, a module not found, the parser's first error or warning, a
// sub-identifier above 32 bits or a node deeper than MIB_MAX_DEPTH levels.
//
// Net-SNMP's parser is process-wide and keeps a little memory of every earlier
// parse: call this once per process.
bool compile_mib(const MibCompileInput& input, MibNode* result, std::string* err,
                 std::vector<std::string>* warnings);
