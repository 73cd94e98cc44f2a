// Checks of the exact reference itself, before it is trusted to judge the core:
// its rounding against the C library's correctly rounded conversions, and its
// three algorithms against the worked examples of the design.
#include <gtest/gtest.h>

#include <bit>
#include <cfenv>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <random>
#include <string>

#include "core/powers_of_ten.h"
#include "tests/core/reference/exact_reference.h"
#include "tests/core/test_support.h"

namespace {

using exact_reference::BigUint;
using exact_reference::Binary;

std::string OptionalBits(const std::optional<ReferenceExtended>& x) {
  return x ? ExtendedBits(*x) : "invalid";
}

// A long double literal that holds an extended value exactly, as the reference's
// type.
ReferenceExtended Exact(long double x) {
#if LDBL_MANT_DIG == 64
  return x;
#else
  return ExtendedOf(x);
#endif
}

ReferenceExtended NonFinite(exact_reference::Binary::Kind kind, bool negative) {
  exact_reference::Binary value;
  value.kind = kind;
  value.negative = negative;
  return exact_reference::ToExtended(value);
}

bool IsInfinite(ReferenceExtended x) {
  return exact_reference::FromExtended(x).kind == exact_reference::Binary::Kind::kInfinity;
}

#if LDBL_MANT_DIG == 64

// glibc's strtold rounds correctly to the x87 format: ties to even, gradual
// underflow, an infinity beyond the range.
ReferenceExtended LibraryExtended(const std::string& text) {
  return std::strtold(text.c_str(), nullptr);
}

#elif LDBL_MANT_DIG == 113

__extension__ typedef unsigned __int128 Bits128;

// The 128-bit value's bits rounded to the x87 format, to nearest even. Both
// formats have the same sign, exponent field and bias; only the 49 lowest
// fraction bits go, and a carry moves into the exponent field as it should
// (subnormal to normal, the largest value to an infinity).
ReferenceExtended RoundedToExtended(Bits128 bits) {
  const std::uint16_t top = static_cast<std::uint16_t>(bits >> 112);
  Bits128 magnitude = bits & ((static_cast<Bits128>(1) << 112) - 1);
  if ((top & 0x7FFF) == 0x7FFF) {  // an infinity or a NaN: no rounding
    return SoftExtended::FromBits(top, std::uint64_t{1} << 63 |
                                           static_cast<std::uint64_t>(magnitude >> 49));
  }
  magnitude |= static_cast<Bits128>(top & 0x7FFF) << 112;  // field and fraction as one number
  const Bits128 rest = magnitude & ((static_cast<Bits128>(1) << 49) - 1);
  const Bits128 half = static_cast<Bits128>(1) << 48;
  magnitude >>= 49;
  if (rest > half || (rest == half && (magnitude & 1) != 0)) ++magnitude;
  const unsigned field = static_cast<unsigned>(magnitude >> 63);
  const std::uint16_t sign = top & 0x8000;
  if (field >= 0x7FFF) return SoftExtended::FromBits(sign | 0x7FFF, std::uint64_t{1} << 63);
  const std::uint64_t fraction = static_cast<std::uint64_t>(magnitude) & ((std::uint64_t{1} << 63) - 1);
  return SoftExtended::FromBits(static_cast<std::uint16_t>(sign | field),
                                (field != 0 ? std::uint64_t{1} << 63 : 0) | fraction);
}

bool IsExtendedMidpoint(Bits128 bits) {
  return (bits & ((static_cast<Bits128>(1) << 49) - 1)) == static_cast<Bits128>(1) << 48;
}

// Where long double is the 128-bit format, strtold rounded down and rounded up
// brackets the exact value between two neighbouring 128-bit values (one value
// when it is exact). Every extended value and every midpoint between two of them
// is a 128-bit value, so no midpoint lies strictly inside the bracket: when one
// end is a midpoint the exact value lies beyond it, towards the other end, and
// otherwise both ends round alike.
ReferenceExtended LibraryExtended(const std::string& text) {
  const int mode = std::fegetround();
  std::fesetround(FE_DOWNWARD);
  const Bits128 low = std::bit_cast<Bits128>(std::strtold(text.c_str(), nullptr));
  std::fesetround(FE_UPWARD);
  const Bits128 high = std::bit_cast<Bits128>(std::strtold(text.c_str(), nullptr));
  std::fesetround(mode);
  if (low != high && IsExtendedMidpoint(low)) return RoundedToExtended(high);
  return RoundedToExtended(low);
}

#else
#error "no correctly rounded extended conversion to judge the reference by"
#endif
std::string OptionalBits(const std::optional<double>& x) {
  return x ? DoubleBits(*x) : "overflow";
}

// The exact value digits x 10^exponent as a fraction.
void DecimalFraction(const std::string& digits, int exponent, BigUint& numerator,
                     BigUint& denominator) {
  numerator = BigUint::FromDecimal(digits);
  denominator = BigUint(1);
  if (exponent >= 0) {
    numerator = numerator * BigUint::PowerOfTen(exponent);
  } else {
    denominator = BigUint::PowerOfTen(-exponent);
  }
}

// glibc's strtold and strtod round correctly (ties to even, gradual underflow),
// so they are an independent judge of the reference's own rounding.
TEST(ExactRounding, AgreesWithCorrectlyRoundedLibraryConversions) {
  const unsigned seed = 20240611;
  std::mt19937 random(seed);
  auto digit_string = [&](int count) {
    std::string s(1, static_cast<char>('1' + random() % 9));
    for (int i = 1; i < count; ++i) s += static_cast<char>('0' + random() % 10);
    return s;
  };
  for (int i = 0; i < 3000; ++i) {
    const std::string digits = digit_string(1 + static_cast<int>(random() % 40));
    // Half the cases around the double range, half across the whole extended one
    // (subnormals and overflow included).
    const int exponent = i % 2 == 0 ? static_cast<int>(random() % 700) - 350 - 20
                                    : static_cast<int>(random() % 9950) - 4990;
    const std::string text = digits + "e" + std::to_string(exponent);
    SCOPED_TRACE("seed " + std::to_string(seed) + ", text " + text);
    BigUint numerator, denominator;
    DecimalFraction(digits, exponent, numerator, denominator);

    const std::optional<ReferenceExtended> extended =
        exact_reference::NearestExtended(false, numerator, denominator);
    const ReferenceExtended library_extended = LibraryExtended(text);
    if (IsInfinite(library_extended)) {
      EXPECT_FALSE(extended.has_value()) << OptionalBits(extended);
    } else {
      EXPECT_EQ(OptionalBits(extended), ExtendedBits(library_extended));
    }

    const std::optional<double> dbl = exact_reference::NearestDouble(true, numerator, denominator);
    const double library_double = std::strtod(("-" + text).c_str(), nullptr);
    if (std::isinf(library_double)) {
      EXPECT_FALSE(dbl.has_value()) << OptionalBits(dbl);
    } else {
      EXPECT_EQ(OptionalBits(dbl), DoubleBits(library_double));
    }
  }
}

// Exact midpoints between neighbouring values, written out in full: the
// library must round each to the even neighbour, and so must the reference.
TEST(ExactRounding, MidpointsAgreeWithTheLibrary) {
  const unsigned seed = 77;
  std::mt19937_64 random(seed);
  for (int i = 0; i < 400; ++i) {
    const bool extended = i % 2 == 0;
    const std::uint64_t m =
        extended ? random() | std::uint64_t{1} << 63 : (random() >> 11) | std::uint64_t{1} << 52;
    const int e = static_cast<int>(random() % 400) - 300;
    const BigUint midpoint = BigUint(m) * BigUint(2) + BigUint(1);  // (2m + 1) * 2^(e - 1)
    const std::string text = exact_reference::ExactDecimalText(midpoint, e - 1);
    SCOPED_TRACE("seed " + std::to_string(seed) + ", text " + text);
    BigUint numerator = midpoint, denominator = 1;
    if (e - 1 >= 0) {
      numerator <<= e - 1;
    } else {
      denominator <<= 1 - e;
    }
    if (extended) {
      EXPECT_EQ(OptionalBits(exact_reference::NearestExtended(false, numerator, denominator)),
                ExtendedBits(LibraryExtended(text)));
    } else {
      EXPECT_EQ(OptionalBits(exact_reference::NearestDouble(false, numerator, denominator)),
                DoubleBits(std::strtod(text.c_str(), nullptr)));
    }
  }
}

TEST(ExactRounding, TiesGoToEven) {
  // 1 + 2^-64 and 1 + 3 * 2^-64 lie halfway between neighbouring extended values.
  const BigUint two_64 = BigUint(1) << 64;
  EXPECT_EQ(ExtendedBits(*exact_reference::NearestExtended(false, two_64 + 1, two_64)),
            ExtendedBits(1.0L));
  EXPECT_EQ(ExtendedBits(*exact_reference::NearestExtended(false, two_64 + 3, two_64)),
            ExtendedBits(1.0L + 0x1p-62L));
  // Half the smallest subnormal double rounds to zero, a little more to it.
  const BigUint two_1075 = BigUint(1) << 1075;
  EXPECT_EQ(DoubleBits(*exact_reference::NearestDouble(true, 1, two_1075)), DoubleBits(-0.0));
  EXPECT_EQ(DoubleBits(*exact_reference::NearestDouble(false, 3, two_1075 << 1)),
            DoubleBits(std::numeric_limits<double>::denorm_min()));
  // Halfway between the largest double and 2^1024 overflows; just below does not.
  const BigUint threshold = (BigUint(1) << 1024) - (BigUint(1) << 970);
  EXPECT_FALSE(exact_reference::NearestDouble(false, threshold, 1).has_value());
  EXPECT_EQ(OptionalBits(exact_reference::NearestDouble(false, threshold - 1, 1)),
            DoubleBits(std::numeric_limits<double>::max()));
}

TEST(ReferencePowerOfTen, IsTheCorrectlyRoundedPower) {
  for (int n = -4955; n <= 4933; ++n) {
    const ReferenceExtended expected = LibraryExtended("1e" + std::to_string(n));
    ASSERT_EQ(ExtendedBits(ReferencePowerOfTen(n)), ExtendedBits(expected)) << "n = " << n;
  }
}

TEST(ReferencePowerOfTen, PowerTablesAreNearestExtended) {
  for (int i = 0; i < 32; ++i) {
    EXPECT_EQ(ExtendedBits(kSmallPowersOfTen[i]), ExtendedBits(ReferencePowerOfTen(i)))
        << "10^" << i;
  }
  for (int j = 1; j <= 15; ++j) {
    EXPECT_EQ(ExtendedBits(kMediumPowersOfTen[j - 1]), ExtendedBits(ReferencePowerOfTen(32 * j)))
        << "10^" << 32 * j;
  }
  for (int k = 1; k <= 9; ++k) {
    EXPECT_EQ(ExtendedBits(kLargePowersOfTen[k - 1]), ExtendedBits(ReferencePowerOfTen(512 * k)))
        << "10^" << 512 * k;
  }
}

struct ParseCase {
  const char* text;
  char separator;
  std::optional<ReferenceExtended> expected;
};

TEST(ReferenceStrToFloat, WorkedExamples) {
  const ParseCase cases[] = {
      {"1.5", '.', Exact(1.5L)},
      {"  -2.25  ", '.', Exact(-2.25L)},
      {"+3", '.', Exact(3.0L)},
      {"5.", '.', Exact(5.0L)},
      {".5", '.', Exact(0.5L)},
      {".", '.', Exact(0.0L)},
      {"-.", '.', Exact(-0.0L)},
      {"-0", '.', Exact(-0.0L)},
      {"1e3", '.', Exact(1000.0L)},
      {"1E+3", '.', Exact(1000.0L)},
      {"1e+003", '.', Exact(1000.0L)},
      {"2.5e-2", '.', Exact(0xc.ccccccccccccccdp-9L)},  // 25 / 10^3, one rounding
      {"1e", '.', Exact(1.0L)},
      {"1E+", '.', Exact(1.0L)},
      {"1e-", '.', Exact(1.0L)},
      {".e5", '.', Exact(0.0L)},
      {"1e-4999", '.', Exact(0.0L)},
      {"-1e-4999", '.', Exact(-0.0L)},
      {"1.000000000000000000000000000000", '.', Exact(1.0L - 0x1p-64L)},
      {"1,5", ',', Exact(1.5L)},
      {"-,", ',', Exact(-0.0L)},
      {"0.1", '.', Exact(0x1.999999999999999ap-4L)},  // 1 / 10, one rounding
      {"123456789012345678.9", '.', Exact(0xd.b4da5d31879a773p+53L)},  // 1234567890123456789 / 10
      {"", '.', std::nullopt},
      {"   ", '.', std::nullopt},
      {"+", '.', std::nullopt},
      {"-", '.', std::nullopt},
      {"e5", '.', std::nullopt},
      {"1,5", '.', std::nullopt},
      {"1.5", ',', std::nullopt},
      {"1.5.2", '.', std::nullopt},
      {"+-1", '.', std::nullopt},
      {"- 1", '.', std::nullopt},
      {"1 e5", '.', std::nullopt},
      {"1e 5", '.', std::nullopt},
      {"\t1", '.', std::nullopt},
      {"1\xA0", '.', std::nullopt},
      {"0x10", '.', std::nullopt},
      {"$10", '.', std::nullopt},
      {"INF", '.', std::nullopt},
      {"NAN", '.', std::nullopt},
      {"1e5000", '.', std::nullopt},
      {"1e4933", '.', std::nullopt},
      {"1e4999", '.', std::nullopt},
      {"1e++5", '.', std::nullopt},
  };
  for (const ParseCase& c : cases) {
    EXPECT_EQ(OptionalBits(ReferenceStrToFloat(c.text, c.separator)), OptionalBits(c.expected))
        << "text \"" << c.text << "\", separator " << c.separator;
  }
}

TEST(ReferenceStrToFloat, RoundsAtEveryStep) {
  // 0.4024198556304662 = 4024198556304662 / 10^16: one rounding to extended,
  // which lands exactly halfway between two doubles; the store then rounds
  // to even, away from the correctly rounded double.
  const std::optional<ReferenceExtended> halfway =
      ReferenceStrToFloat("0.4024198556304662", '.');
  ASSERT_TRUE(halfway.has_value());
  const std::uint64_t significand = exact_reference::FromExtended(*halfway).significand;
  EXPECT_EQ(significand & 0x7FF, 0x400u) << ExtendedBits(*halfway);
  EXPECT_EQ(OptionalBits(ReferenceStoreDouble(*halfway)), DoubleBits(0.40241985563046623));
  EXPECT_NE(DoubleBits(0.40241985563046623), DoubleBits(0.4024198556304662));

  // Values several roundings away from exact: close to the true value, not equal.
  for (const char* text : {"1e0500", "1e4932", "12345678901234567890123"}) {
    const std::optional<ReferenceExtended> v = ReferenceStrToFloat(text, '.');
    ASSERT_TRUE(v.has_value()) << text;
    const ReferenceExtended relative_error = *v / LibraryExtended(text) - ReferenceExtended(1);
    EXPECT_TRUE(Abs(relative_error) < Exact(0x1p-61L)) << text << ": " << ExtendedBits(*v);
  }
}

TEST(ReferenceStrToFloat, LongTextsAtTheEdgesOfTheRange) {
  // A fraction of 5200 digits scales by 10^-5201 or less: +0 whatever the digits.
  const std::string tiny = "0." + std::string(5199, '0') + "1";
  EXPECT_EQ(OptionalBits(ReferenceStrToFloat(tiny, '.')), ExtendedBits(Exact(0.0L)));
  EXPECT_EQ(OptionalBits(ReferenceStrToFloat("-" + tiny, '.')), ExtendedBits(Exact(-0.0L)));
  // 4933 nines overflow while the digits accumulate, before any scaling.
  EXPECT_FALSE(ReferenceStrToFloat(std::string(4933, '9'), '.').has_value());
  EXPECT_TRUE(ReferenceStrToFloat(std::string(4932, '9'), '.').has_value());
}

TEST(ReferenceStoreDouble, RoundsOnceMoreAndReportsOverflow) {
  struct Case {
    const char* text;
    std::optional<double> expected;
  } cases[] = {
      {"1.7976931348623158e308", std::numeric_limits<double>::max()},
      {"1.7976931348623159e308", std::nullopt},
      {"2e308", std::nullopt},
      {"1e400", std::nullopt},
      {"1e-400", 0.0},
      {"-1e-400", -0.0},
      {"-0", -0.0},
      {"2.2250738585072014e-308", std::numeric_limits<double>::min()},
      {"4.9e-324", std::numeric_limits<double>::denorm_min()},
  };
  for (const Case& c : cases) {
    const std::optional<ReferenceExtended> parsed = ReferenceStrToFloat(c.text, '.');
    ASSERT_TRUE(parsed.has_value()) << c.text;
    EXPECT_EQ(OptionalBits(ReferenceStoreDouble(*parsed)), OptionalBits(c.expected)) << c.text;
  }
  // The overflow threshold 2^1024 - 2^970 itself, and the extended just below it.
  EXPECT_FALSE(ReferenceStoreDouble(Exact(0x1.fffffffffffff8p1023L)).has_value());
  EXPECT_EQ(OptionalBits(ReferenceStoreDouble(Exact(0x1.fffffffffffff7fep1023L))),
            DoubleBits(std::numeric_limits<double>::max()));
  EXPECT_FALSE(ReferenceStoreDouble(NonFinite(Binary::Kind::kInfinity, false)).has_value());
}

TEST(ReferenceFloatToStrF, WorkedExamples) {
  const struct {
    double x;
    const char* text;
  } cases[] = {
      {0.0, "0.00"},
      {-0.0, "0.00"},
      {1.0, "1.00"},
      {-1.0, "-1.00"},
      {0.5, "0.50"},
      {0.125, "0.13"},
      {-0.125, "-0.13"},
      {0.375, "0.38"},
      {2.675, "2.67"},
      {0.005, "0.01"},
      {-0.005, "-0.01"},
      {1.0 / 3, "0.33"},
      {-0.001, "0.00"},
      {-0.0049, "0.00"},
      {0.00001, "0.00"},
      {9.996, "10.00"},
      {123456.789, "123456.79"},
      {12345678901234.567, "12345678901234.60"},
      {99999999999999.99, "100000000000000.00"},
      {999999999999999.4, "999999999999999.00"},
      {999999999999999.5, "1E15"},
      {1e15, "1E15"},
      {1.5e20, "1.5E20"},
      {-1.5e20, "-1.5E20"},
      {1234567890123456789.0, "1.23456789012346E18"},
      {std::numeric_limits<double>::max(), "1.79769313486232E308"},
      {std::numeric_limits<double>::denorm_min(), "0.00"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReferenceFloatToStrF(c.x, '.'), c.text) << DoubleBits(c.x);
  }
  EXPECT_EQ(ReferenceFloatToStrF(0.0, ','), "0,00");
  EXPECT_EQ(ReferenceFloatToStrF(-0.125, ','), "-0,13");
  EXPECT_EQ(ReferenceFloatToStrF(1.5e20, ','), "1,5E20");
  EXPECT_EQ(ReferenceFloatToStrF(NonFinite(Binary::Kind::kInfinity, false), '.'), "INF");
  EXPECT_EQ(ReferenceFloatToStrF(NonFinite(Binary::Kind::kInfinity, true), '.'), "-INF");
  EXPECT_EQ(ReferenceFloatToStrF(NonFinite(Binary::Kind::kNaN, true), '.'), "NAN");
}

TEST(ReferenceSolve, WorkedExamples) {
  const struct {
    double a, b, c;
    const char* text;
  } cases[] = {
      {1, -3, 2, "2.00 et 1.00"},
      {-1, 3, -2, "1.00 et 2.00"},
      {3, -2, -1, "1.00 et -0.33"},
      {1, -1, -1, "1.62 et -0.62"},
      {1, 2, 1, "-1.00"},
      {2, -4, 2, "1.00"},
      {1, 0, 1, "Pas de Solutions r\351elles"},
      {0, 2, -4, "2.00"},
      {0, 0, 0, "Tous les r\351els sont des solutions"},
      {0, 0, 5, "Pas de Solutions !"},
      {1, 0.2, 0.01, "-0.10 et -0.10"},
      {1, 0, 0, "0.00"},
      {0, 1, 0, "0.00"},
      {1, -2000000, 1, "2000000.00 et 0.00"},
      {0, 1, -1e15, "1E15"},
  };
  for (const auto& c : cases) {
    double discriminant = 0, x0 = 0, x1 = 0, x2 = 0;
    const std::optional<std::string> text = ReferenceSolve(c.a, c.b, c.c, discriminant, x0, x1, x2);
    EXPECT_EQ(text.value_or("overflow"), c.text) << c.a << " " << c.b << " " << c.c;
  }
  double discriminant = 0, x0 = 0, x1 = 0, x2 = 0;
  ASSERT_TRUE(ReferenceSolve(1, 0.2, 0.01, discriminant, x0, x1, x2));
  EXPECT_EQ(DoubleBits(discriminant), DoubleBits(1065 * 0x1p-68));
  ASSERT_TRUE(ReferenceSolve(1, 0, 0, discriminant, x0, x1, x2));
  EXPECT_EQ(DoubleBits(x0), DoubleBits(-0.0));
  ASSERT_EQ(ReferenceSolve(3, -2, -1, discriminant, x0, x1, x2, ',').value_or(""), "1,00 et -0,33");
}

TEST(ReferenceSolve, OverflowKeepsTheMembersFromTheFailingStoreOn) {
  // b * b beyond the double range: nothing is stored.
  double discriminant = 7, x0 = 8, x1 = 9, x2 = 10;
  EXPECT_FALSE(ReferenceSolve(1, 1e155, 0, discriminant, x0, x1, x2));
  EXPECT_EQ(discriminant, 7);
  EXPECT_EQ(x1, 9);

  // A tiny a: the discriminant and x1 (the square root cancels -b: 0) are
  // stored, x2 (about -b / a) overflows and keeps its old value.
  EXPECT_FALSE(ReferenceSolve(1e-300, 1e10, 1, discriminant, x0, x1, x2));
  EXPECT_EQ(discriminant, 1e20);
  EXPECT_NE(x1, 9);
  EXPECT_LT(std::fabs(x1), 1e-9);
  EXPECT_EQ(x2, 10);
  EXPECT_EQ(x0, 8);

  // The linear case overflows in x0.
  EXPECT_FALSE(ReferenceSolve(0, 1e-300, 1e10, discriminant, x0, x1, x2));
  EXPECT_EQ(x0, 8);
}

}  // namespace
