// Tests of the expression evaluator: grammar, tokens, setting values, the
// pcl_pitch exception, errors and the parse stack limit.
#include "jobshaper/expr.h"

#include <gtest/gtest.h>

#include <string>

#include "pdd/definitions.h"
#include "tests/support/capture.h"

namespace {

class ExprTest : public ::testing::Test {
 protected:
  void SetUp() override { clear_definitions(); }
  void TearDown() override { clear_definitions(); }

  // Evaluates `text`, keeping what went to standard error in `errors_`.
  int evaluate(const std::string& text) {
    StderrCapture capture;
    int status = evaluate_expression(text, state_);
    errors_ = capture.text();
    return status;
  }

  ExprState state_;
  std::string errors_;
};

TEST_F(ExprTest, Results) {
  put_definition("x", "5");
  put_definition("y", "3");
  put_definition("width", "12.9");
  put_definition("padded", " \t-7abc");
  put_definition("words", "abc");
  put_definition("huge", "99999999999");
  put_definition("a_b-c1", "9");
  const struct {
    const char* text;
    const char* result;
    const char* errors;
  } cases[] = {
      {"2+3*4", "14", ""},
      {"1-2-3", "-4", ""},
      {"16/4/2", "2", ""},
      {"-1+2", "1", ""},
      {"2*3/4", "1.5", ""},
      {"-(2+3)*2", "-10", ""},
      {"- -2", "2", ""},
      {" \t2 \t* 4 ", "8", ""},
      {"3}garbage(", "3", ""},
      {"7/0", "7", "divide by zero\n"},
      {"5/0+1", "6", "divide by zero\n"},
      {"8/(2-2)/0", "8", "divide by zero\ndivide by zero\n"},
      {".5", "0.5", ""},
      {"1.5e-3", "0.0015", ""},
      {"1.5E+2", "150", ""},
      {"1000000", "1e+06", ""},
      {"999999", "999999", ""},
      {"0.0001", "0.0001", ""},
      {"0.00001", "1e-05", ""},
      {"123456789", "1.23457e+08", ""},
      {"1.0e999", "inf", ""},
      {"x - y", "2", ""},
      {"x-y", "0", ""},
      {"a_b-c1", "9", ""},
      {"width", "12", ""},
      {"padded", "-7", ""},
      {"words", "0", ""},
      {"missing", "0", ""},
      {"huge", "2.14748e+09", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(evaluate(c.text), 0);
    EXPECT_EQ(state_.result, c.result);
    EXPECT_EQ(errors_, c.errors);
  }
}

TEST_F(ExprTest, SyntaxErrorsKeepThePreviousResult) {
  const char* const texts[] = {"2 3", "(1",  "1+", "",   "}",        "1e3",
                               "12.", "2\n", "1)", "*2", "\xc3\xa9", "1 ~ 2"};
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    ASSERT_EQ(evaluate("40+2"), 0);
    EXPECT_EQ(evaluate(text), 1);
    EXPECT_EQ(state_.result, "42");
    EXPECT_EQ(errors_, "syntax error\n");
  }
}

TEST_F(ExprTest, PclPitchOfSixteenPointSixSevenIsKeptAsWritten) {
  put_definition("pcl_pitch", "16.67");
  const char* const steps[][2] = {{"pcl_pitch", "16.67"}, {"pcl_pitch*2", "16.67"}, {"2", "2"}};
  for (const auto& [text, result] : steps) {
    EXPECT_EQ(evaluate(text), 0);
    EXPECT_EQ(state_.result, result) << text;
  }
  put_definition("pcl_pitch", "10");
  EXPECT_EQ(evaluate("pcl_pitch"), 0);
  EXPECT_EQ(state_.result, "10");
  put_definition("pcl_pitch", "16.670");
  EXPECT_EQ(evaluate("pcl_pitch"), 0);
  EXPECT_EQ(state_.result, "16");

  // A failed expression does not leave the flag for the next one.
  put_definition("pcl_pitch", "16.67");
  EXPECT_EQ(evaluate("pcl_pitch+"), 1);
  EXPECT_FALSE(state_.pcl_pitch);
  EXPECT_EQ(evaluate("3"), 0);
  EXPECT_EQ(state_.result, "3");
}

TEST_F(ExprTest, ParseStackStopsAtTenThousandEntries) {
  const struct {
    std::string text;
    int status;
    const char* result;
    const char* errors;
  } cases[] = {
      {std::string(9000, '(') + "1" + std::string(9000, ')'), 0, "1", ""},
      {std::string(10000, '(') + "1" + std::string(10000, ')'), 1, "42", "memory exhausted\n"},
      {std::string(50000, '-') + "1", 1, "42", "memory exhausted\n"},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(evaluate("42"), 0);
    EXPECT_EQ(evaluate(c.text), c.status);
    EXPECT_EQ(state_.result, c.result);
    EXPECT_EQ(errors_, c.errors);
  }
}

}  // namespace
