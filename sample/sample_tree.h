// The sample tree: a generic PCL printer with PJL (and a PostScript data stream),
// and queues that use it, written below a root directory as the suite finds them
// there through QUINTARO_ROOT.
#pragma once

#include <string>

// The loopback address of the sample device's printer.
#define SAMPLE_PRINTER_ADDRESS "127.0.0.9"

// `place`, a path of the suite's path table, below `root` instead of QUINTARO_ROOT.
std::string below_root(const std::string& root, const std::string& place);

// Writes the sample tree below `root`; its PDD is a copy of the one the build
// compiled from sample/generic_pcl.yaml. Returns false (with a message on standard
// error) when a file cannot be read or written.
bool write_sample_tree(const std::string& root);
