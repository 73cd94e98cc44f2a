#include "core/coefficient_entry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/equation.h"
#include "core/exceptions.h"
#include "tests/core/test_support.h"

namespace {

bool Passes(int code) {
  char key = static_cast<char>(code);
  FilterCoefficientKey(key);
  EXPECT_TRUE(key == 0 || key == static_cast<char>(code)) << "code " << code << " rewritten";
  return key != 0;
}

void ExpectAcceptedSet(const std::string& accepted) {
  for (int code = 0; code < 256; ++code) {
    const bool expected = accepted.find(static_cast<char>(code)) != std::string::npos;
    EXPECT_EQ(Passes(code), expected) << "code " << code << " with separator '"
                                      << DecimalSeparator << "'";
  }
}

TEST(KeyFilter, AllCodesWithFullStop) {
  SeparatorScope stop('.');
  ExpectAcceptedSet("0123456789+-.\b");
}

TEST(KeyFilter, AllCodesWithComma) {
  SeparatorScope comma(',');
  ExpectAcceptedSet("0123456789+-.,\b");
}

TEST(KeyFilter, HighSeparatorPassesButNoOtherHighCode) {
  SeparatorScope highSeparator('\xB7');  // a middle dot, code 183
  ExpectAcceptedSet("0123456789+-.\b\xB7");
}

TEST(KeyFilter, ReadsTheSeparatorAtEveryCall) {
  SeparatorScope stop('.');
  EXPECT_FALSE(Passes(','));
  DecimalSeparator = ',';
  EXPECT_TRUE(Passes(','));
}

TEST(StoreCoefficient, ConvertsOrKeepsTheOldValue) {
  double coefficient = 7;
  StoreCoefficient(coefficient, "1e3");
  EXPECT_EQ(coefficient, 1000);
  for (const char* text : {"", "+", "-", "1-2", "1.2.3", "4-", "abc", "1e4933"}) {
    StoreCoefficient(coefficient, text);
    EXPECT_EQ(coefficient, 1000) << text;
  }
  StoreCoefficient(coefficient, ".");
  EXPECT_EQ(coefficient, 0);
  StoreCoefficient(coefficient, "-0");
  EXPECT_TRUE(std::signbit(coefficient));
  StoreCoefficient(coefficient, "1e-400");
  EXPECT_EQ(coefficient, 0);
  EXPECT_FALSE(std::signbit(coefficient));
}

TEST(StoreCoefficient, RoundsTwiceAsTheFieldDoes) {
  // The extended value lies exactly halfway between two doubles; the tie goes to
  // the even one, not to the double nearest the text.
  double coefficient = 0;
  StoreCoefficient(coefficient, "0.4024198556304662");
  EXPECT_EQ(DoubleBits(coefficient), DoubleBits(0.40241985563046623));
}

TEST(StoreCoefficient, OverflowKeepsTheValueAndThrows) {
  const struct {
    const char* text;
    bool overflows;
  } cases[] = {{"1.7976931348623158e308", false},
               {"1.7976931348623159e308", true},
               {"2e308", true},
               {"-1e400", true},
               {"1e4932", true}};
  for (const auto& c : cases) {
    double coefficient = 5;
    if (c.overflows) {
      EXPECT_THROW(StoreCoefficient(coefficient, c.text), EOverflow) << c.text;
      EXPECT_EQ(coefficient, 5) << c.text;
    } else {
      StoreCoefficient(coefficient, c.text);
      EXPECT_EQ(coefficient, 1.7976931348623157e308) << c.text;
    }
  }
}

TEST(StoreCoefficient, AcceptsTheCurrentSeparatorOnly) {
  SeparatorScope comma(',');
  double coefficient = 1;
  StoreCoefficient(coefficient, "2.5");
  EXPECT_EQ(coefficient, 1);
  StoreCoefficient(coefficient, "2,5");
  EXPECT_EQ(coefficient, 2.5);
}

// The change handlers' work without a window: store the edited field's text,
// then solve with all three coefficients. The overflow skips the solve.
struct Fields {
  Equation equation;
  std::string solutions;  // empty until the first edit

  void Edit(char field, const std::string& text) {
    double& coefficient = field == 'a' ? equation.a : field == 'b' ? equation.b : equation.c;
    StoreCoefficient(coefficient, text);
    solutions = equation.Solve(equation.a, equation.b, equation.c);
  }
};

TEST(EditSequence, FromStartToOverflowAndBack) {
  const struct {
    char field;
    const char* text;
    double a, b, c;
    const char* solutions;
    bool overflow;
  } steps[] = {
      {'a', "1", 1, 0, 0, "0.00", false},  // the root is -0
      {'a', "", 1, 0, 0, "0.00", false},
      {'a', "-", 1, 0, 0, "0.00", false},
      {'a', "-1", -1, 0, 0, "0.00", false},
      {'c', "4", -1, 0, 4, "-2.00 et 2.00", false},
      {'c', "4-", -1, 0, 4, "-2.00 et 2.00", false},
      {'b', "3", -1, 3, 4, "-1.00 et 4.00", false},
      {'a', "", -1, 3, 4, "-1.00 et 4.00", false},
      {'a', "0", 0, 3, 4, "-1.33", false},
      {'b', "1e400", 0, 3, 4, "-1.33", true},
      {'b', "1", 0, 1, 4, "-4.00", false},
  };
  Fields fields;
  int number = 0;
  for (const auto& step : steps) {
    ++number;
    if (step.overflow) {
      EXPECT_THROW(fields.Edit(step.field, step.text), EOverflow) << "step " << number;
    } else {
      fields.Edit(step.field, step.text);
    }
    EXPECT_EQ(fields.equation.a, step.a) << "step " << number;
    EXPECT_EQ(fields.equation.b, step.b) << "step " << number;
    EXPECT_EQ(fields.equation.c, step.c) << "step " << number;
    EXPECT_EQ(fields.solutions, step.solutions) << "step " << number;
  }
}

TEST(EditSequence, FirstEditFillsTheSolutionsEvenIfItDoesNotConvert) {
  Fields fields;
  fields.Edit('a', "");
  EXPECT_EQ(fields.solutions, "Tous les r\xE9" "els sont des solutions");
}

}  // namespace
