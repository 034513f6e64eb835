// Shell-inert forms of job data.
#include "linebuilder/shell_words.h"

namespace {

bool is_plain(char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  return std::string_view("._@%+=:,/-").find(c) != std::string_view::npos;
}

}  // namespace

std::string shell_word(std::string_view text) {
  bool plain = true;
  for (char c : text) plain = plain && is_plain(c);
  if (plain) return std::string(text);
  std::string word = "'";
  for (char c : text) {
    if (c == '\'') {
      word += "'\\''";
    } else {
      word += c;
    }
  }
  word += '\'';
  return word;
}

std::string double_quoted_text(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    if (c == '\\' || c == '"' || c == '$' || c == '`') escaped += '\\';
    escaped += c;
  }
  return escaped;
}
