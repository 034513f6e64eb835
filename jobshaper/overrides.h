// Per-job overrides of a queue's settings ("tag=value" pairs given with -p).
#pragma once

#include <string>

#include "pdd/node.h"

// Checks each pair of `options` against the PDD and writes the accepted values into
// the definition table under the key "<data stream>_<tag>". Never fails; rejected
// pairs are only reported in the debug listing.
void apply_overrides(const std::string& options, const std::string& data_stream,
                     const NodePtr* top_menu);
