// The queue definition (VQD) lines of a compiled PDD, for the administration
// scripts: the data stream and every option of it with its default, some of them
// replaced by values given, each checked as jobshaper checks a -p override.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "pdd/node.h"

namespace pddtool {

// The data stream a queue takes when none is named and the PDD has several.
inline constexpr const char* AUTOMATIC_STREAM = "automatic";

// A queue definition holds at most this many characters of a value
// (DefinitionTable::VALUE_LIMIT); a longer one would be cut when it is read.
inline constexpr size_t VQD_VALUE_LIMIT = 255;

struct SettingsRequest {
  // The data stream: a PDD node's tag, or AUTOMATIC_STREAM for every stream; empty
  // for the PDD's only stream, or AUTOMATIC_STREAM when it has several.
  std::string stream;
  // (tag, value) pairs; a tag with or without the "STREAM_" prefix.
  std::vector<std::pair<std::string, std::string>> values;
};

// The lines "ds_list=STREAM\n", then "TAG=VALUE\n" for every SCLIST, STRING and
// NUMBER item of the top menu whose tag starts with "STREAM_" (for AUTOMATIC_STREAM:
// any stream's prefix), first occurrence of each tag only, in PDD order. VALUE is
// the default as a queue definition holds it (the default item's value, the
// default text, the default number written with its decimal places by
// format_scaled_number), or the value given for it. A value given must pass
// check_option_value and fit a queue definition line (no line break, at most
// VQD_VALUE_LIMIT characters). Gives false with one line in *err (without a line
// break) for an unknown stream or tag, or a refused value, and nothing in *out.
// Accepted values become the nodes' current values (check_option_value does that).
bool queue_settings(const NodePtr* top_menu, const SettingsRequest& request, std::string* out,
                    std::string* err);

}  // namespace pddtool
