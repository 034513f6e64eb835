// The OPTIONS section of the programs' help texts.
#include "common/help_text.h"

#include <cstring>

std::string help_options(std::initializer_list<HelpOption> options) {
  std::string text = "\nOPTIONS:\n";
  for (const HelpOption& option : options) {
    text += "\n    ";
    text += option.heading;
    text += "\n";
    for (const char* line = option.lines; *line;) {
      const char* end = std::strchr(line, '\n');
      size_t length = end ? static_cast<size_t>(end - line) + 1 : std::strlen(line);
      text += "       ";
      text.append(line, length);
      if (!end) text += "\n";
      line += length;
    }
  }
  return text;
}
