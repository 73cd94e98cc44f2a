#include "core/number_text.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <string>

#include "core/exceptions.h"
#include "core/powers_of_ten.h"
#include "tests/core/test_support.h"

namespace {

struct ParseCase {
  const char* name;
  std::string text;
  long double expected;
};

// Expected values as exact extended literals wherever rounding matters.
const ParseCase kValidTexts[] = {
    {"Plain", "1.5", 1.5L},
    {"SpacesAround", "  -2.25  ", -2.25L},
    {"PlusSign", "+3", 3.0L},
    {"TrailingSeparator", "5.", 5.0L},
    {"LeadingSeparator", ".5", 0.5L},
    {"LoneSeparatorIsZero", ".", 0.0L},
    {"LowerExponent", "1e3", 1000.0L},
    {"UpperExponentWithSign", "1E+3", 1000.0L},
    {"ExponentLeadingZeros", "1e+003", 1000.0L},
    // One division by 10^3: the extended value nearest 0.025.
    {"NegativeExponent", "2.5e-2", 0xc.ccccccccccccccdp-9L},
    {"ExponentWithoutDigits", "1e", 1.0L},
    {"ExponentSignWithoutDigits", "1E+", 1.0L},
    {"NegativeExponentWithoutDigits", "1e-", 1.0L},
    {"SeparatorThenExponent", ".e5", 0.0L},
    {"UnderflowToZero", "1e-4999", 0.0L},
    // Thirty decimals: the accumulator rounds once it passes 2^64, and the final
    // division rounds again, landing one unit below 1.
    {"RoundedWhileAccumulating", "1.000000000000000000000000000000", 1.0L - 0x1p-64L},
};

class ValidText : public testing::TestWithParam<ParseCase> {};

TEST_P(ValidText, GivesTheAlgorithmsValue) {
  const ParseCase& c = GetParam();
  const Extended got = StrToFloat(c.text);
  EXPECT_EQ(ExtendedBits(got), ExtendedBits(c.expected)) << "text \"" << c.text << "\"";
}

INSTANTIATE_TEST_SUITE_P(Parsing, ValidText, testing::ValuesIn(kValidTexts),
                         [](const auto& info) { return std::string(info.param.name); });

// Texts whose value needs more than one rounding: within a few units of the
// exact value, and finite. The exact bits are checked against the slow reference.
TEST(Parsing, RoundedMoreThanOnceStaysClose) {
  const struct {
    const char* text;
    long double nearest;  // the extended value nearest the text's
  } cases[] = {{"1e0500", 0xf.9b2ff649b8695d7p+1657L},
               {"1e4932", 0xd.72cb2a95c7ef6cdp+16380L},
               {"12345678901234567890123", 0xa.750ad939d9c5091p+70L},
               {"0.000000000000000000000000000000000000001", 0xa.e397d8aa96c1b78p-133L}};
  for (const auto& c : cases) {
    const Extended v = StrToFloat(c.text);
    const Extended nearest = ExtendedOf(c.nearest);
    EXPECT_TRUE(IsFinite(v)) << c.text;
    EXPECT_TRUE(Abs(v - nearest) <= 4 * Abs(nearest) * ExtendedOf(0x1p-64L))
        << c.text << ": " << ExtendedBits(v);
  }
}

TEST(Parsing, NegativeZeroFromSignedZeroTexts) {
  for (const char* text : {"-0", "-.", "-0.0", "-0e5"}) {
    const Extended v = StrToFloat(text);
    EXPECT_TRUE(v == 0) << text;
    EXPECT_TRUE(SignBit(v)) << text;
  }
  EXPECT_FALSE(SignBit(StrToFloat("0")));
}

TEST(Parsing, InvalidTextsNameTheWholeText) {
  const std::string invalid[] = {"",       "+",     "-",    "e5",     "1,5",   "1.5.2", "- 1",
                                 "1 e5",   "\t1",   "0x10", "$10",    "INF",   "NAN",   "1e5000",
                                 "1e4933", "1e4999", "++1", "1e+-3", "1\n",   "\xA0" "1",
                                 std::string("1\0", 2)};
  for (const std::string& text : invalid) {
    try {
      StrToFloat(text);
      ADD_FAILURE() << "accepted \"" << text << "\"";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message, "'" + text + "' is not a valid floating point value");
    }
  }
}

TEST(Parsing, OverflowHiddenByLargeNegativeScaleIsStillInvalid) {
  // 5000 integer digits overflow the accumulator; 6000 decimals would scale the
  // result to zero if the overflow were not remembered.
  const std::string text = std::string(5000, '9') + "." + std::string(6000, '0');
  EXPECT_THROW(StrToFloat(text), EConvertError);
}

TEST(Parsing, EveryDigitGoesThroughTheAccumulator) {
  // Decimals are accumulated like integer digits, so 4000 of them still fit the
  // extended range while 5000 overflow it and make the text invalid, whatever
  // value they stand for.
  const double third = static_cast<double>(StrToFloat("0." + std::string(4000, '3')));
  EXPECT_EQ(DoubleBits(third), DoubleBits(1.0 / 3));
  EXPECT_THROW(StrToFloat("0." + std::string(5000, '3')), EConvertError);
  EXPECT_THROW(StrToFloat(std::string(1 << 20, '7')), EConvertError);
  // Zeros do not grow the accumulator: a megabyte of them then a 5 is tiny but
  // its scale lies beyond the tables, so it is zero.
  EXPECT_TRUE(StrToFloat("0." + std::string(1 << 20, '0') + "5") == 0);
}

TEST(Parsing, OnlyTheCurrentSeparatorIsADecimalPoint) {
  SeparatorScope comma(',');
  EXPECT_EQ(ExtendedBits(StrToFloat("1,5")), ExtendedBits(1.5L));
  EXPECT_EQ(ExtendedBits(StrToFloat(",")), ExtendedBits(0.0L));
  EXPECT_THROW(StrToFloat("1.5"), EConvertError);
}

TEST(Parsing, LeavesTheCallersEnvironmentAsItWas) {
  std::feclearexcept(FE_ALL_EXCEPT);
  std::fesetround(FE_UPWARD);
  std::feraiseexcept(FE_DIVBYZERO);
  fenv_t before;
  std::fegetenv(&before);

  // Rounds to nearest even whatever the caller's rounding mode: one exact
  // division of 1 by 10 would round up under FE_UPWARD.
  EXPECT_EQ(ExtendedBits(StrToFloat("0.1")), ExtendedBits(0x1.999999999999999ap-4L));
  EXPECT_THROW(StrToFloat("1e4933"), EConvertError);  // overflows inside
  StrToFloat("1e-4999");                              // underflows inside

  EXPECT_EQ(std::fetestexcept(FE_ALL_EXCEPT), FE_DIVBYZERO);
  EXPECT_EQ(std::fegetround(), FE_UPWARD);
  fenv_t after;
  std::fegetenv(&after);
#if defined(__x86_64__) || defined(__i386__)
  EXPECT_EQ(std::memcmp(&before.__control_word, &after.__control_word, sizeof before.__control_word),
            0);
  EXPECT_EQ(before.__mxcsr, after.__mxcsr);
#elif defined(__aarch64__)
  EXPECT_EQ(before.__fpcr, after.__fpcr);
  EXPECT_EQ(before.__fpsr, after.__fpsr);
#else
  EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
#endif
  std::fesetenv(FE_DFL_ENV);
}

TEST(Scaling, TablesAndLimits) {
  EXPECT_EQ(ExtendedBits(ScaleByPowerOfTen(Extended(1.5), 0)), ExtendedBits(1.5L));
  EXPECT_EQ(ExtendedBits(ScaleByPowerOfTen(Extended(1.5), 3)), ExtendedBits(1500.0L));
  EXPECT_EQ(ExtendedBits(ScaleByPowerOfTen(Extended(1), 27)),
            ExtendedBits(1e27L));  // still one exact factor
  EXPECT_TRUE(ScaleByPowerOfTen(Extended(7), -5120) == 0);
  EXPECT_FALSE(SignBit(ScaleByPowerOfTen(Extended(-7), -5120)));  // +0, whatever the sign
  EXPECT_TRUE(IsInf(ScaleByPowerOfTen(ExtendedOf(0x1p-13000L), 5120)));  // about 1e-3914
  EXPECT_TRUE(ScaleByPowerOfTen(Extended(0), 6000) == 0);
  EXPECT_TRUE(ScaleByPowerOfTen(Extended(1), -2147483647 - 1) == 0);
  // 10^4932 = 10^4 * 10^(32*10) * 10^(512*9): three rounded factors.
  EXPECT_EQ(ExtendedBits(ScaleByPowerOfTen(Extended(1), 4932)),
            ExtendedBits((Extended(1) * kSmallPowersOfTen[4]) * kMediumPowersOfTen[9] *
                         kLargePowersOfTen[8]));
}

struct FormatCase {
  const char* name;
  double value;
  const char* text;
};

const FormatCase kFormats[] = {
    {"Zero", 0.0, "0.00"},
    {"NegativeZero", -0.0, "0.00"},
    {"One", 1.0, "1.00"},
    {"MinusOne", -1.0, "-1.00"},
    {"Half", 0.5, "0.50"},
    {"EighthRoundsAwayFromZero", 0.125, "0.13"},
    {"MinusEighthRoundsAwayFromZero", -0.125, "-0.13"},
    {"ThreeEighths", 0.375, "0.38"},
    {"HeldBelowTheHalf", 2.675, "2.67"},
    {"CarryIntoNoRetainedDigit", 0.005, "0.01"},
    {"MinusCarryIntoNoRetainedDigit", -0.005, "-0.01"},
    {"Third", 1.0 / 3, "0.33"},
    {"SmallNegativeIsUnsignedZero", -0.001, "0.00"},
    {"NegativeJustBelowHalfCent", -0.0049, "0.00"},
    {"RoundingPositionBeforeFirstDigit", 0.00001, "0.00"},
    {"CarryThroughNines", 9.996, "10.00"},
    {"Ordinary", 123456.789, "123456.79"},
    {"FifteenDigitsKept", 12345678901234.567, "12345678901234.60"},
    {"CarryPastFirstDigit", 99999999999999.99, "100000000000000.00"},
    {"LargestFixed", 999999999999999.4, "999999999999999.00"},
    {"RoundsIntoExponentForm", 999999999999999.5, "1E15"},
    {"TenToTheFifteen", 1e15, "1E15"},
    {"ExponentForm", 1.5e20, "1.5E20"},
    {"NegativeExponentForm", -1.5e20, "-1.5E20"},
    {"ExponentFormFifteenDigits", 1234567890123456789.0, "1.23456789012346E18"},
    {"LargestDouble", 1.7976931348623157e308, "1.79769313486232E308"},
    {"SmallestSubnormal", 4.9406564584124654e-324, "0.00"},
};

class Formatting : public testing::TestWithParam<FormatCase> {};

TEST_P(Formatting, FixedTwoDecimals) {
  const FormatCase& c = GetParam();
  EXPECT_EQ(FloatToStrF(c.value, ffFixed, 15, 2), c.text) << DoubleBits(c.value);
}

INSTANTIATE_TEST_SUITE_P(FloatToStrF, Formatting, testing::ValuesIn(kFormats),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FloatToStrF, WritesTheCurrentSeparator) {
  SeparatorScope comma(',');
  EXPECT_EQ(FloatToStrF(0.0, ffFixed, 15, 2), "0,00");
  EXPECT_EQ(FloatToStrF(-0.125, ffFixed, 15, 2), "-0,13");
  EXPECT_EQ(FloatToStrF(1.5e20, ffFixed, 15, 2), "1,5E20");
}

TEST(FloatToStrF, NonFiniteValuesAndOtherFormats) {
  EXPECT_EQ(FloatToStrF(ExtendedInfinity(false), ffFixed, 15, 2), "INF");
  EXPECT_EQ(FloatToStrF(ExtendedInfinity(true), ffFixed, 15, 2), "-INF");
  EXPECT_EQ(FloatToStrF(-NAN, ffFixed, 15, 2), "NAN");
  EXPECT_THROW(FloatToStrF(1.0, ffGeneral, 15, 2), std::invalid_argument);
}

}  // namespace
