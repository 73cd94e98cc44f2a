#include "core/equation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/exceptions.h"
#include "tests/core/test_support.h"

namespace {

struct SolveCase {
  const char* name;
  double a, b, c;
  const char* text;
};

const SolveCase kSolveCases[] = {
    {"TwoRootsLargerFirst", 1, -3, 2, "2.00 et 1.00"},
    {"NegativeLeadingSmallerFirst", -1, 3, -2, "1.00 et 2.00"},
    {"RootsOfMixedSign", 3, -2, -1, "1.00 et -0.33"},
    {"GoldenRatio", 1, -1, -1, "1.62 et -0.62"},
    {"DoubleRoot", 1, 2, 1, "-1.00"},
    {"DoubleRootScaled", 2, -4, 2, "1.00"},
    {"NoRealRoot", 1, 0, 1, "Pas de Solutions r\xE9" "elles"},
    {"Linear", 0, 2, -4, "2.00"},
    {"EveryReal", 0, 0, 0, "Tous les r\xE9" "els sont des solutions"},
    {"NoSolution", 0, 0, 5, "Pas de Solutions !"},
    {"DiscriminantNotExactlyZero", 1, 0.2, 0.01, "-0.10 et -0.10"},
    {"QuadraticNegativeZeroRoot", 1, 0, 0, "0.00"},
    {"LinearNegativeZeroRoot", 0, 1, 0, "0.00"},
    {"SmallRootPrintsAsZero", 1, -2000000, 1, "2000000.00 et 0.00"},
    {"LinearRootInExponentForm", 0, 1, -1e15, "1E15"},
    {"NegativeZeroCoefficientsCountAsZero", -0.0, -0.0, -0.0, "Tous les r\xE9" "els sont des solutions"},
};

class Solver : public testing::TestWithParam<SolveCase> {};

TEST_P(Solver, WritesTheCasesText) {
  const SolveCase& c = GetParam();
  Equation e;
  EXPECT_EQ(e.Solve(c.a, c.b, c.c), c.text);
}

INSTANTIATE_TEST_SUITE_P(Solve, Solver, testing::ValuesIn(kSolveCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Solve, WritesOnlyTheMembersItsCaseReaches) {
  Equation e;
  e.discriminant = e.x0 = e.x1 = e.x2 = 7;
  e.Solve(0, 2, -4);  // linear: x0 only
  EXPECT_EQ(e.discriminant, 7);
  EXPECT_EQ(e.x0, 2);
  EXPECT_EQ(e.x1, 7);
  e.Solve(1, 0, 1);  // negative discriminant: discriminant only
  EXPECT_EQ(e.discriminant, -4);
  EXPECT_EQ(e.x0, 2);
  EXPECT_EQ(e.x1, 7);
  e.Solve(1, -3, 2);
  EXPECT_EQ(e.discriminant, 1);
  EXPECT_EQ(e.x1, 2);
  EXPECT_EQ(e.x2, 1);
  EXPECT_EQ(e.x0, 2);
}

TEST(Solve, KeepsTheDiscriminantInExtendedUntilStored) {
  // 0.2 * 0.2 - 4 * 0.01 in extended is 1065 * 2^-68, not zero: the double root
  // shows twice.
  Equation e;
  e.Solve(1, 0.2, 0.01);
  EXPECT_EQ(DoubleBits(e.discriminant), DoubleBits(1065 * 0x1p-68));
}

TEST(Solve, OverflowingStoreThrowsAndKeepsOldValue) {
  // b * b = 1e310 does not fit a double.
  Equation e;
  e.discriminant = 3;
  EXPECT_THROW(e.Solve(1, 1e155, 0), EOverflow);
  EXPECT_EQ(e.discriminant, 3);

  // A tiny a beside an ordinary b: the discriminant is stored, then x1 overflows.
  e = Equation();
  e.x1 = e.x2 = 5;
  try {
    e.Solve(1e-300, -1e10, 0);
    ADD_FAILURE() << "no overflow";
  } catch (const EOverflow& overflow) {
    EXPECT_EQ(overflow.Message, "Floating point overflow");
  }
  EXPECT_EQ(e.discriminant, 1e20);
  EXPECT_EQ(e.x1, 5);
  EXPECT_EQ(e.x2, 5);

  // x1 = 0 fits and is stored before x2 overflows.
  e = Equation();
  e.x2 = 5;
  EXPECT_THROW(e.Solve(1e-300, 1e10, 0), EOverflow);
  EXPECT_EQ(e.x1, 0);
  EXPECT_EQ(e.x2, 5);

  // Linear: -c / b beyond the double range.
  e = Equation();
  EXPECT_THROW(e.Solve(0, 1e-10, 1e300), EOverflow);
  EXPECT_EQ(e.x0, 0);
}

TEST(StoreDouble, RoundsOnceAndFaultsOnlyBeyondTheRange) {
  EXPECT_EQ(StoreDouble(ExtendedOf(0x1.fffffffffffff7fep+1023L)),
            0x1.fffffffffffffp+1023);                                        // below the cut
  EXPECT_THROW(StoreDouble(ExtendedOf(0x1.fffffffffffff8p+1023L)), EOverflow);  // 2^1024 - 2^970
  EXPECT_THROW(StoreDouble(ExtendedOf(-0x1.2p+1330L)), EOverflow);              // about -2.6e400
  EXPECT_EQ(StoreDouble(ExtendedOf(0x1p-1074L)), 0x1p-1074);  // subnormal, no fault
  EXPECT_EQ(StoreDouble(ExtendedOf(0x1p-1075L)), 0.0);        // a tie rounds to the even zero
  EXPECT_TRUE(std::signbit(StoreDouble(ExtendedOf(-0x1.2p-1330L))));  // about -4.8e-401
}

}  // namespace
