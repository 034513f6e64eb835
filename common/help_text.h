// The OPTIONS section of the programs' help texts: each option a heading line
// indented four blanks, followed by its text lines indented seven.
#pragma once

#include <initializer_list>
#include <string>

struct HelpOption {
  const char* heading;  // "-q name"
  const char* lines;    // the text, each line ending in "\n"
};

// "\nOPTIONS:\n", then for each option a blank line, the heading and its lines.
std::string help_options(std::initializer_list<HelpOption> options);
