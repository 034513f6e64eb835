// CUPS's option text, read as cupsParseOptions reads it.
#include "cups/job_options.h"

#include <algorithm>

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

// Reads a value starting at `pos`: quoted parts, backslash escapes and brace
// collections, up to the next unquoted blank.
std::string read_value(std::string_view text, size_t& pos) {
  std::string value;
  while (pos < text.size() && !is_blank(text[pos])) {
    char c = text[pos];
    if (c == '\\' && pos + 1 < text.size()) {
      value += text[pos + 1];
      pos += 2;
    } else if (c == '\'' || c == '"') {
      for (++pos; pos < text.size() && text[pos] != c; ++pos) {
        if (text[pos] == '\\' && pos + 1 < text.size()) ++pos;
        value += text[pos];
      }
      if (pos < text.size()) ++pos;  // the closing quote
    } else if (c == '{') {
      // A collection stays as written, nested braces and quotes included.
      int depth = 0;
      char quote = 0;
      for (; pos < text.size(); ++pos) {
        char d = text[pos];
        value += d;
        if (quote) {
          if (d == '\\' && pos + 1 < text.size()) value += text[++pos];
          if (d == quote) quote = 0;
        } else if (d == '\'' || d == '"') {
          quote = d;
        } else if (d == '{') {
          ++depth;
        } else if (d == '}' && --depth == 0) {
          ++pos;
          break;
        }
      }
    } else {
      value += c;
      ++pos;
    }
  }
  return value;
}

void set_option(std::vector<JobOption>& options, std::string name, std::string value) {
  std::erase_if(options, [&](const JobOption& option) { return option.name == name; });
  options.push_back({std::move(name), std::move(value)});
}

}  // namespace

std::vector<JobOption> parse_job_options(std::string_view text) {
  std::vector<JobOption> options;
  size_t pos = 0;
  for (;;) {
    while (pos < text.size() && is_blank(text[pos])) ++pos;
    if (pos >= text.size()) break;
    size_t start = pos;
    while (pos < text.size() && !is_blank(text[pos]) && text[pos] != '=') ++pos;
    std::string name(text.substr(start, pos - start));
    if (pos < text.size() && text[pos] == '=') {
      ++pos;
      std::string value = read_value(text, pos);
      if (!name.empty()) set_option(options, std::move(name), std::move(value));
    } else if (name.size() > 2 && (name[0] == 'n' || name[0] == 'N') &&
               (name[1] == 'o' || name[1] == 'O')) {
      set_option(options, name.substr(2), "false");
    } else {
      set_option(options, std::move(name), "true");
    }
  }
  return options;
}

const std::string* find_option(const std::vector<JobOption>& options, std::string_view name) {
  auto found = std::find_if(options.begin(), options.end(),
                            [&](const JobOption& option) { return option.name == name; });
  return found == options.end() ? nullptr : &found->value;
}
