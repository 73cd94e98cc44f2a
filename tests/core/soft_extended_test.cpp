// The software extended type: worked cases that hold on every machine, and,
// where long double is the x87 format, millions of seeded random operations
// against the hardware, bit for bit.
//
// The random operands aim where the arithmetic goes wrong: both ends of the
// range, subnormals, exact ties, cancellation, carries into the next binade and
// the rounding boundaries of a double. Set TARVELIN_SOFT_EXTENDED_SEED to explore
// other inputs; every failure message carries the seed.
#include "core/soft_extended.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace {

using Bits = std::pair<std::uint16_t, std::uint64_t>;

SoftExtended Make(std::uint16_t top, std::uint64_t significand) {
  return SoftExtended::FromBits(top, significand);
}

std::string Show(SoftExtended x) {
  char text[48];
  std::snprintf(text, sizeof text, "%04x %016llx", x.SignExponent(),
                static_cast<unsigned long long>(x.Significand()));
  return text;
}

std::string ShowDouble(double x) {
  char text[48];
  std::snprintf(text, sizeof text, "%016llx (%.17g)",
                static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(x)), x);
  return text;
}

constexpr std::uint64_t kTop = std::uint64_t{1} << 63;
const SoftExtended kOne = Make(0x3FFF, kTop);
const SoftExtended kMax = Make(0x7FFE, ~std::uint64_t{0});
const SoftExtended kMinNormal = Make(0x0001, kTop);
const SoftExtended kMinSubnormal = Make(0x0000, 1);
const SoftExtended kInfinity = Make(0x7FFF, kTop);
const SoftExtended kDefaultNaN = Make(0xFFFF, 0xC000000000000000);

// Each expected result follows from the exact value and one rounding to
// nearest even, worked out by hand.
TEST(SoftExtended, RoundsOnceToNearestEven) {
  const struct {
    const char* name;
    SoftExtended got;
    SoftExtended expected;
  } cases[] = {
      {"1 + 2^-64 is a tie: stays at the even 1", kOne + Make(0x3FBF, kTop), kOne},
      {"1 + 3*2^-64 is a tie: up to the even 1 + 2^-62", kOne + Make(0x3FC0, 3 * (kTop >> 1)),
       Make(0x3FFF, kTop | 2)},
      {"1 + a little more than 2^-64 rounds up", kOne + Make(0x3FBF, kTop | 1),
       Make(0x3FFF, kTop | 1)},
      {"1 - 2^-65 is a tie: up to the even 1", kOne - Make(0x3FBE, kTop), kOne},
      {"all ones plus half a unit carries into the next binade",
       Make(0x3FFF, ~std::uint64_t{0}) + Make(0x3FBF, kTop), Make(0x4000, kTop)},
      {"x - x is +0", Make(0xBFFF, 12345) - Make(0xBFFF, 12345), Make(0, 0)},
      {"1 / 3", kOne / SoftExtended(3), Make(0x3FFD, 0xAAAAAAAAAAAAAAAB)},
      {"2 / 3", SoftExtended(2) / SoftExtended(3), Make(0x3FFE, 0xAAAAAAAAAAAAAAAB)},
      {"1 / 10", kOne / SoftExtended(10), Make(0x3FFB, 0xCCCCCCCCCCCCCCCD)},
      {"(2^64 - 1)^2 = 2^128 - 2^65 + 1 rounds down",
       Make(0x403E, ~std::uint64_t{0}) * Make(0x403E, ~std::uint64_t{0}),
       Make(0x407E, ~std::uint64_t{1})},
      {"sqrt 2", SquareRoot(SoftExtended(2)), Make(0x3FFF, 0xB504F333F9DE6484)},
      {"sqrt 1e4 is exact", SquareRoot(SoftExtended(10000)), SoftExtended(100)},
      {"sqrt of the smallest subnormal is 2^-8222.5", SquareRoot(kMinSubnormal),
       Make(0x3FFF - 8223, 0xB504F333F9DE6484)},
      {"sqrt -0 is -0", SquareRoot(Make(0x8000, 0)), Make(0x8000, 0)},
  };
  for (const auto& c : cases) EXPECT_EQ(Show(c.got), Show(c.expected)) << c.name;
}

TEST(SoftExtended, UnderflowsGraduallyAndOverflowsToInfinity) {
  const struct {
    const char* name;
    SoftExtended got;
    SoftExtended expected;
  } cases[] = {
      {"half the smallest subnormal is a tie: the even zero", kMinSubnormal / SoftExtended(2),
       Make(0, 0)},
      {"1.5 smallest subnormals: the even 2", Make(0, 3) / SoftExtended(2), Make(0, 2)},
      {"the smallest normal halved is exact", kMinNormal / SoftExtended(2),
       Make(0, kTop >> 1)},
      {"subnormal sum carrying into the normal range",
       Make(0, (kTop >> 1) + 1) + Make(0, kTop >> 1), Make(0x0001, kTop | 1)},
      {"rounding up to the smallest normal", Make(0x0001, ~std::uint64_t{0}) / SoftExtended(2),
       kMinNormal},
      {"negative underflow keeps the sign", -kMinSubnormal / SoftExtended(4), Make(0x8000, 0)},
      {"the largest value doubled", kMax * SoftExtended(2), kInfinity},
      {"the largest plus half its unit is a tie away from the odd largest",
       kMax + Make(0x7FBE, kTop), kInfinity},
      {"the largest plus less than half its unit", kMax + Make(0x7FBD, kTop), kMax},
      {"division by zero", -kOne / SoftExtended(0), -kInfinity},
      {"infinity minus infinity", kInfinity - kInfinity, kDefaultNaN},
      {"zero times infinity", SoftExtended(0) * kInfinity, kDefaultNaN},
      {"sqrt -1", SquareRoot(-kOne), kDefaultNaN},
  };
  for (const auto& c : cases) EXPECT_EQ(Show(c.got), Show(c.expected)) << c.name;
}

TEST(SoftExtended, ConvertsToAndFromDouble) {
  const struct {
    SoftExtended x;
    double expected;
  } to_double[] = {
      {Make(0x43FE, 0xFFFFFFFFFFFFFBFF), 0x1.fffffffffffffp+1023},  // just below the cut
      {Make(0x43FE, 0xFFFFFFFFFFFFFC00), HUGE_VAL},                 // 2^1024 - 2^970: a tie, up
      {Make(0xC4FF, kTop), -HUGE_VAL},
      {Make(0x3FFF, kTop | 0x400), 1.0},                           // tie to even, down
      {Make(0x3FFF, kTop | 0xC00), 1.0 + 0x1p-51},                 // tie to even, up
      {Make(0x3FFF - 1074, kTop), 0x1p-1074},                       // the smallest subnormal
      {Make(0x3FFF - 1075, kTop), 0.0},                             // half of it: the even 0
      {Make(0x3FFF - 1075, kTop | 1), 0x1p-1074},                   // a little more
      {Make(0x3FFF - 1023, 0xFFFFFFFFFFFFF800), 0x1p-1022},         // carries to the smallest normal
      {Make(0x8000, 1), -0.0},                                      // far below: a signed zero
  };
  for (const auto& c : to_double) {
    EXPECT_EQ(ShowDouble(static_cast<double>(c.x)), ShowDouble(c.expected)) << Show(c.x);
  }
  EXPECT_EQ(Show(SoftExtended(0x1p-1074)), Show(Make(0x3FFF - 1074, kTop)));
  EXPECT_EQ(Show(SoftExtended(-0.0)), Show(Make(0x8000, 0)));
  EXPECT_EQ(Show(SoftExtended(-1.5)), Show(Make(0xBFFF, 0xC000000000000000)));
  EXPECT_EQ(Show(SoftExtended(-2147483647 - 1)), Show(Make(0xC01E, kTop)));
  // A signalling NaN comes back quiet, its payload kept.
  EXPECT_EQ(Show(SoftExtended(std::bit_cast<double>(std::uint64_t{0x7FF0000000000001}))),
            Show(Make(0x7FFF, 0xC000000000000800)));
}

TEST(SoftExtended, RoundsToIntegersAndCompares) {
  EXPECT_EQ(Show(RoundToInteger(SoftExtended(2.5))), Show(SoftExtended(2)));
  EXPECT_EQ(Show(RoundToInteger(SoftExtended(3.5))), Show(SoftExtended(4)));
  EXPECT_EQ(Show(RoundToInteger(SoftExtended(-0.5))), Show(Make(0x8000, 0)));
  EXPECT_EQ(Show(RoundToInteger(SoftExtended(0.75))), Show(kOne));
  EXPECT_EQ(Show(RoundToInteger(Make(0x403D, ~std::uint64_t{0}))), Show(Make(0x403E, kTop)));
  EXPECT_EQ(ToUnsigned64(SoftExtended(999999999999999999.0)), 1000000000000000000u);
  EXPECT_EQ(ToUnsigned64(Make(0x403E, ~std::uint64_t{0})), ~std::uint64_t{0});

  EXPECT_TRUE(SoftExtended(0) == Make(0x8000, 0));
  EXPECT_FALSE(Make(0x8000, 0) < SoftExtended(0));
  EXPECT_TRUE(-kMinSubnormal < Make(0x8000, 0));
  EXPECT_TRUE(kMinSubnormal < kMinNormal);
  EXPECT_TRUE(kMax < kInfinity);
  EXPECT_TRUE(-kInfinity < -kMax);
  EXPECT_FALSE(kDefaultNaN == kDefaultNaN);
  EXPECT_FALSE(kDefaultNaN < kOne || kOne < kDefaultNaN || kDefaultNaN >= kOne);
}

#if LDBL_MANT_DIG == 64

// ---------------------------------------------------------------------------
// Against the x87 unit.

long double Hardware(SoftExtended x) {
  long double h = 0;
  std::uint64_t significand = x.Significand();
  std::uint16_t top = x.SignExponent();
  std::memcpy(&h, &significand, 8);
  std::memcpy(reinterpret_cast<unsigned char*>(&h) + 8, &top, 2);
  return h;
}

SoftExtended Soft(long double h) {
  std::uint64_t significand;
  std::uint16_t top;
  std::memcpy(&significand, &h, 8);
  std::memcpy(&top, reinterpret_cast<const unsigned char*>(&h) + 8, 2);
  return SoftExtended::FromBits(top, significand);
}

// The x87 unit's operations, kept out of line so that none is folded away and
// each works on the value as loaded from memory.
[[gnu::noinline]] long double HardAdd(long double x, long double y) { return x + y; }
[[gnu::noinline]] long double HardSubtract(long double x, long double y) { return x - y; }
[[gnu::noinline]] long double HardMultiply(long double x, long double y) { return x * y; }
[[gnu::noinline]] long double HardDivide(long double x, long double y) { return x / y; }
[[gnu::noinline]] long double HardSquareRoot(long double x) { return __builtin_sqrtl(x); }
[[gnu::noinline]] long double HardRound(long double x) { return __builtin_rintl(x); }

std::uint64_t Seed() {
  const char* text = std::getenv("TARVELIN_SOFT_EXTENDED_SEED");
  return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 0) : 20240917;
}

class AgainstHardware : public ::testing::Test {
 protected:
  AgainstHardware() : seed_(Seed()), random_(seed_) {}

  std::uint64_t Next() { return random_(); }
  int Uniform(int low, int high) {  // inclusive
    return low + static_cast<int>(Next() % static_cast<std::uint64_t>(high - low + 1));
  }
  bool Chance(int percent) { return static_cast<int>(Next() % 100) < percent; }

  // A significand: random, or with a run of trailing zeros (so that sums and
  // products land exactly on ties), or all ones, or a lone top bit.
  std::uint64_t Significand() {
    switch (Uniform(0, 5)) {
      case 0:
        return kTop;
      case 1:
        return ~std::uint64_t{0} << Uniform(0, 8);
      case 2:
      case 3: {
        const int zeros = Uniform(1, 62);
        return (Next() | kTop) >> zeros << zeros;
      }
      default:
        return Next() | kTop;
    }
  }

  // A biased exponent field: anywhere, or near either end of the range.
  int Field() {
    switch (Uniform(0, 5)) {
      case 0:
        return Uniform(1, 0x7FFE);
      case 1:
        return Uniform(1, 80);  // just above the subnormals
      case 2:
        return Uniform(0x7FFE - 80, 0x7FFE);  // just below the overflow
      default:
        return 0x3FFF + Uniform(-70, 70);
    }
  }

  SoftExtended Operand() {
    const std::uint16_t sign = Chance(50) ? 0x8000 : 0;
    const int kind = Uniform(0, 99);
    if (kind < 3) return Make(sign, 0);
    if (kind < 5) return Make(sign | 0x7FFF, kTop);
    if (kind < 6) {  // a NaN, quiet or signalling, with a payload
      return Make(sign | 0x7FFF, kTop | (Next() >> 2) | (Chance(50) ? kTop >> 1 : 1));
    }
    if (kind < 16) return Make(sign, Significand() >> Uniform(1, 63));  // subnormal
    if (kind < 20) return SoftExtended(Uniform(-1000, 1000));
    return Make(static_cast<std::uint16_t>(sign | Field()), Significand());
  }

  // A second operand that makes the operation interesting with the first:
  // close to it (cancellation), half a unit or so below it (ties), or a
  // quotient that lands near the top or bottom of the range.
  SoftExtended Partner(SoftExtended x) {
    const int field = x.ExponentField();
    const std::uint16_t sign = x.SignExponent() & 0x8000;
    switch (Uniform(0, 7)) {
      case 0:  // the same but a few low bits, either sign
        return Make(static_cast<std::uint16_t>(x.SignExponent() ^ (Chance(50) ? 0x8000 : 0)),
                    x.Significand() ^ (Next() >> Uniform(40, 63)));
      case 1:  // 64 binades down: the tie or just off it
        if (field > 64) {
          return Make(static_cast<std::uint16_t>((Chance(50) ? sign : sign ^ 0x8000) |
                                                 (field - 64)),
                      kTop | static_cast<std::uint64_t>(Uniform(0, 1)) << Uniform(0, 62));
        }
        return Operand();
      case 2: {  // a nearby binade
        const int f = field + Uniform(-3, 3);
        if (f >= 1 && f <= 0x7FFE) {
          return Make(static_cast<std::uint16_t>((Next() & 0x8000) | f), Significand());
        }
        return Operand();
      }
      default:
        return Operand();
    }
  }

  bool Same(const char* operation, SoftExtended soft, long double hard, SoftExtended x,
            SoftExtended y) {
    const SoftExtended h = Soft(hard);
    if (soft.SignExponent() == h.SignExponent() && soft.Significand() == h.Significand()) {
      return true;
    }
    ADD_FAILURE() << "seed " << seed_ << ": " << Show(x) << " " << operation << " " << Show(y)
                  << "\n  x87      " << Show(h) << "\n  software " << Show(soft);
    return ++failures_ < 10;
  }

  bool SameDouble(SoftExtended x, double soft, double hard) {
    if (std::bit_cast<std::uint64_t>(soft) == std::bit_cast<std::uint64_t>(hard)) return true;
    ADD_FAILURE() << "seed " << seed_ << ": double(" << Show(x) << ")\n  x87      "
                  << ShowDouble(hard) << "\n  software " << ShowDouble(soft);
    return ++failures_ < 10;
  }

  std::uint64_t seed_;
  std::mt19937_64 random_;
  int failures_ = 0;
};

constexpr int kOperations = 600000;  // per operation tested

TEST_F(AgainstHardware, AddAndSubtract) {
  for (int i = 0; i < kOperations; ++i) {
    const SoftExtended x = Operand();
    const SoftExtended y = Partner(x);
    if (!Same("+", x + y, HardAdd(Hardware(x), Hardware(y)), x, y)) return;
    if (!Same("-", x - y, HardSubtract(Hardware(x), Hardware(y)), x, y)) return;
  }
}

TEST_F(AgainstHardware, Multiply) {
  for (int i = 0; i < kOperations; ++i) {
    const SoftExtended x = Operand();
    SoftExtended y = Partner(x);
    if (Chance(30)) {  // a product near the ends of the range
      const int field = Chance(50) ? Uniform(1, 0x3FFF + 90) - x.ExponentField() + 0x3FFF
                                   : 0x7FFE + 0x3FFF - x.ExponentField() + Uniform(-3, 3);
      if (field >= 1 && field <= 0x7FFE) {
        y = Make(static_cast<std::uint16_t>((Next() & 0x8000) | field), Significand());
      }
    }
    if (!Same("*", x * y, HardMultiply(Hardware(x), Hardware(y)), x, y)) return;
  }
}

TEST_F(AgainstHardware, Divide) {
  for (int i = 0; i < kOperations; ++i) {
    const SoftExtended x = Operand();
    SoftExtended y = Partner(x);
    if (Chance(30)) {  // a quotient near the ends of the range
      const int field = Chance(50) ? x.ExponentField() - Uniform(-3, 90) + 0x3FFF
                                   : x.ExponentField() + 0x3FFF - 0x7FFE + Uniform(-3, 3);
      if (field >= 1 && field <= 0x7FFE) {
        y = Make(static_cast<std::uint16_t>((Next() & 0x8000) | field), Significand());
      }
    }
    if (!Same("/", x / y, HardDivide(Hardware(x), Hardware(y)), x, y)) return;
  }
}

TEST_F(AgainstHardware, SquareRootAndRoundToInteger) {
  const SoftExtended none = Make(0, 0);
  for (int i = 0; i < kOperations; ++i) {
    const SoftExtended x = Operand();
    if (!Same("sqrt", SquareRoot(x), HardSquareRoot(Hardware(x)), x, none)) return;
    // Around the binary point: exponents from 2^-3 to 2^66, halves included.
    SoftExtended r = x;
    if (Chance(70)) {
      r = Make(static_cast<std::uint16_t>((x.SignExponent() & 0x8000) | (0x3FFF + Uniform(-3, 66))),
               Significand());
    }
    if (!Same("rint", RoundToInteger(r), HardRound(Hardware(r)), r, none)) return;
  }
}

TEST_F(AgainstHardware, ConversionsAndComparisons) {
  for (int i = 0; i < kOperations; ++i) {
    // To a double: near the double's rounding points and both ends of its range.
    SoftExtended x = Operand();
    if (Chance(70)) {
      std::uint64_t significand = Next() | kTop;
      if (Chance(50)) significand = (significand & ~std::uint64_t{0x7FF}) | 0x400;
      significand += static_cast<std::uint64_t>(Uniform(-1, 1));
      if (Chance(20)) significand |= 0x7FFFFFFFFFFFF800;
      significand |= kTop;
      const int binade = Chance(50) ? Uniform(1018, 1025) : Uniform(-1080, -1018);
      x = Make(static_cast<std::uint16_t>((Next() & 0x8000) | (0x3FFF + binade)), significand);
    }
    if (!SameDouble(x, static_cast<double>(x), static_cast<double>(Hardware(x)))) return;

    // From a double: every bit pattern, NaNs and subnormals included.
    const double d = std::bit_cast<double>(Chance(80) ? Next() : Next() >> Uniform(1, 12));
    if (!Same("from double", SoftExtended(d), static_cast<long double>(d), x, x)) return;

    const int n = static_cast<int>(Next());
    if (!Same("from int", SoftExtended(n), static_cast<long double>(n), x, x)) return;

    // Comparisons, with equal magnitudes and signed zeros often enough.
    const SoftExtended y = Partner(x);
    const long double hx = Hardware(x), hy = Hardware(y);
    const bool ok = (x == y) == (hx == hy) && (x < y) == (hx < hy) && (x > y) == (hx > hy) &&
                    (x <= y) == (hx <= hy) && (x >= y) == (hx >= hy) && (x == x) == (hx == hx);
    if (!ok) {
      ADD_FAILURE() << "seed " << seed_ << ": comparing " << Show(x) << " and " << Show(y);
      if (++failures_ >= 10) return;
    }

    // The integer part of an integral value below 2^64.
    const SoftExtended w = RoundToInteger(Make(0x3FFF + Uniform(0, 63), Next() | kTop));
    const std::uint64_t hard = static_cast<std::uint64_t>(Hardware(w));
    if (ToUnsigned64(w) != hard) {
      ADD_FAILURE() << "seed " << seed_ << ": integer part of " << Show(w) << ": " << hard
                    << " against " << ToUnsigned64(w);
      if (++failures_ >= 10) return;
    }
  }
}

#endif  // LDBL_MANT_DIG == 64

}  // namespace
