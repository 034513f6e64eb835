// Shell-inert forms of job data.
#include "linebuilder/shell_words.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ShellWordsTest, OnlyPlainNamesStayUnquotedAndDoubleQuotedTextIsEscaped) {
  struct Case {
    std::string text;
    std::string word;     // shell_word
    std::string escaped;  // double_quoted_text
  };
  const Case cases[] = {
      {"", "", ""},
      {"a.b_c@d%e+f=g:h,i/j-k", "a.b_c@d%e+f=g:h,i/j-k", "a.b_c@d%e+f=g:h,i/j-k"},
      {"a b", "'a b'", "a b"},
      {"it's", "'it'\\''s'", "it's"},
      {"a\\b\"c$d`e", "'a\\b\"c$d`e'", "a\\\\b\\\"c\\$d\\`e"},
      {"~*?!\n", "'~*?!\n'", "~*?!\n"},
      {"\xc3\xa9", "'\xc3\xa9'", "\xc3\xa9"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(shell_word(c.text), c.word) << c.text;
    EXPECT_EQ(double_quoted_text(c.text), c.escaped) << c.text;
  }
}

}  // namespace
