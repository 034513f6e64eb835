// Per-job overrides of a queue's settings.
#include "jobshaper/overrides.h"

// Overrides are accepted on the command line but not applied yet: the value checks
// they need come with the field validation.
void apply_overrides(const std::string& /*options*/, const std::string& /*data_stream*/,
                     const NodePtr* /*top_menu*/) {}
