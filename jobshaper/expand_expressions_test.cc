// Tests that the one-pass expansion gives the text, and makes the evaluations, that
// the rounds give, on every code it is used for.
#include "jobshaper/expand_expressions.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "pdd/definitions.h"
#include "tests/support/capture.h"

namespace {

TEST(ExpandExpressions, OnePassAgreesWithTheRounds) {
  clear_definitions();
  put_definition("a", "7");
  put_definition("pin_no", "3");
  // Short texts of pieces that matter, so that patterns repeat, nest, stay open
  // and sit next to dollars and braces; "1/0" and "+}" report errors.
  const char* kPieces[] = {"$${a}", "$${", "}", "$", "{", "a", "1/0", "+", "pin_no", "$${1}"};
  std::mt19937 random(20261208);
  std::vector<std::string> codes = {"", "plain", "$${a}$${a}", "x$${pin_no}y", "$${a+1"};
  while (codes.size() < 40000) {
    std::string code;
    for (size_t n = random() % 9; n > 0; --n) code += kPieces[random() % std::size(kPieces)];
    codes.push_back(code);
  }
  int plain = 0;
  for (bool as_byte : {false, true}) {
    std::vector<std::string> by_rounds, in_one_pass;
    ExprState rounds_state, pass_state;
    StderrCapture rounds_errors;
    for (const std::string& code : codes) {
      if (!expands_in_one_pass(code)) continue;
      by_rounds.push_back(code);
      expand_by_rounds(by_rounds.back(), as_byte, rounds_state);
    }
    std::string rounds_text = rounds_errors.text();
    StderrCapture pass_errors;
    for (const std::string& code : codes) {
      if (!expands_in_one_pass(code)) continue;
      in_one_pass.push_back(code);
      expand_in_one_pass(in_one_pass.back(), as_byte, pass_state);
    }
    EXPECT_TRUE(pass_errors.text() == rounds_text) << "the evaluations differ";
    ASSERT_EQ(in_one_pass.size(), by_rounds.size());
    for (size_t i = 0; i < by_rounds.size(); ++i) {
      ASSERT_EQ(in_one_pass[i], by_rounds[i]) << as_byte;
    }
    plain = static_cast<int>(by_rounds.size());
  }
  EXPECT_GT(plain, 10000);  // the comparison covered many codes
  clear_definitions();
}

TEST(ExpandExpressions, WhichCodesOnePassTakes) {
  const std::pair<const char*, bool> cases[] = {
      {"${27}E$${a}x$${a+1}", true},
      {"$${a}}$${b}", true},
      {"$${a$${b}", false},    // two starts before one "}"
      {"$$${a}", false},       // "$" then "${7}" is an expression again
      {"$$ ${a}$${b}", true},  // "$$" without "{" starts nothing
      {"$${a", true},
      {"$${a $${b", false},
  };
  for (const auto& [code, expected] : cases) EXPECT_EQ(expands_in_one_pass(code), expected) << code;
}

}  // namespace
