// The job's options as CUPS passes them (the fifth argument: "name=value" pairs
// separated by blanks, values quoted or escaped as cupsParseOptions reads them).
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct JobOption {
  std::string name;
  std::string value;
};

// Splits CUPS's option text. A value may be written between single or double quotes,
// hold backslash escapes, or be a collection in braces (kept whole, braces included).
// A name without "=" is a boolean: "name" gives "true", "noname" gives name=false.
// When a name occurs more than once, the last value counts (the earlier pair goes).
std::vector<JobOption> parse_job_options(std::string_view text);

// The value of `name`, or nullptr.
const std::string* find_option(const std::vector<JobOption>& options, std::string_view name);
