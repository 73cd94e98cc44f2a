// The core against the exact reference, bit for bit, on many generated inputs.
//
// The generators aim where rounding goes wrong: the ends of the double and
// extended ranges, long digit strings, decimal texts halfway between two doubles,
// the .xx5 boundaries of the two-decimal format, discriminants near zero and
// stores that overflow. The seed is fixed so that a failure can be replayed; set
// TARVELIN_DIFFERENTIAL_SEED to explore other inputs. Every failure message
// carries the seed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/coefficient_entry.h"
#include "core/equation.h"
#include "core/exceptions.h"
#include "core/number_text.h"
#include "tests/core/reference/exact_reference.h"
#include "tests/core/test_support.h"

namespace {

using exact_reference::BigUint;

constexpr std::uint64_t kDefaultSeed = 20240611;
// A fault that hits every case would otherwise bury the report.
constexpr int kMismatchesShown = 10;

std::uint64_t Seed() {
  const char* text = std::getenv("TARVELIN_DIFFERENTIAL_SEED");
  return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 0) : kDefaultSeed;
}

std::string SwapSeparators(std::string text) {
  for (char& ch : text) {
    if (ch == '.') {
      ch = ',';
    } else if (ch == ',') {
      ch = '.';
    }
  }
  return text;
}

// Digits of a decimal number and its scale: the value is digits x 10^scale.
struct Decimal {
  std::string digits;
  int scale = 0;
};

// The exact decimal of significand * 2^exp2.
Decimal ExactDecimal(std::uint64_t significand, int exp2) {
  const std::string text = exact_reference::ExactDecimalText(BigUint(significand), exp2);
  const std::size_t e = text.find('e');
  if (e == std::string::npos) return {text, 0};
  return {text.substr(0, e), std::stoi(text.substr(e + 1))};
}

class Differential : public ::testing::Test {
 protected:
  Differential() : seed_(Seed()), random_(seed_) {}

  // Counts a mismatch; false once enough have been shown.
  bool KeepGoing(bool matched) {
    if (!matched && ++mismatches_ >= kMismatchesShown) {
      ADD_FAILURE() << "stopped after " << mismatches_ << " mismatches";
      return false;
    }
    return true;
  }

  int Uniform(int low, int high) {  // inclusive
    return std::uniform_int_distribution<int>(low, high)(random_);
  }
  bool Chance(double p) { return std::bernoulli_distribution(p)(random_); }
  char Digit() { return static_cast<char>('0' + Uniform(0, 9)); }
  std::string Digits(int count) {
    std::string s;
    for (int i = 0; i < count; ++i) s += Digit();
    return s;
  }
  std::string SignificantDigits(int count) {
    return static_cast<char>('1' + Uniform(0, 8)) + Digits(count - 1);
  }

  // One of the many texts for digits x 10^scale: the point anywhere (or
  // absent), leading and trailing zeros, any exponent spelling, a sign, spaces.
  std::string Spell(const Decimal& number) {
    std::string digits = number.digits;
    int scale = number.scale;
    if (Chance(0.2)) {  // trailing zeros that the exponent takes back
      const int zeros = Uniform(1, 30);
      digits += std::string(zeros, '0');
      scale -= zeros;
    }
    const int length = static_cast<int>(digits.size());
    const int fraction = Chance(0.25) ? 0 : Uniform(0, length + (Chance(0.2) ? 40 : 0));
    std::string integer_part, fraction_part;
    if (fraction <= length) {
      integer_part = digits.substr(0, static_cast<std::size_t>(length - fraction));
      fraction_part = digits.substr(static_cast<std::size_t>(length - fraction));
    } else {
      fraction_part = std::string(static_cast<std::size_t>(fraction - length), '0') + digits;
    }
    if (Chance(0.2)) integer_part = std::string(Uniform(1, 3), '0') + integer_part;
    const int exponent = scale + fraction;

    std::string text;
    if (Chance(0.1)) text += std::string(Uniform(1, 3), ' ');
    if (Chance(0.3)) text += Chance(0.5) ? "-" : "+";
    text += integer_part;
    if (fraction > 0 || Chance(0.1)) text += "." + fraction_part;
    if (exponent != 0 || Chance(0.1)) {
      text += Chance(0.5) ? "e" : "E";
      if (exponent < 0) {
        text += "-";
      } else if (Chance(0.3)) {
        text += "+";
      }
      if (Chance(0.15)) text += std::string(Uniform(1, 3), '0');
      text += std::to_string(std::abs(exponent));
    }
    if (Chance(0.1)) text += std::string(Uniform(1, 3), ' ');
    return text;
  }

  // Near a boundary given by its exact decimal: a prefix of its digits, the
  // last one nudged or more digits appended, so that texts fall on both sides.
  Decimal Near(const Decimal& boundary) {
    const int length = static_cast<int>(boundary.digits.size());
    const int keep = Uniform(1, std::min(length, 40));
    Decimal d{boundary.digits.substr(0, static_cast<std::size_t>(keep)),
              boundary.scale + (length - keep)};
    switch (Uniform(0, 4)) {
      case 0:
        break;
      case 1: {  // one unit more in the last kept digit
        BigUint v = BigUint::FromDecimal(d.digits) + BigUint(1);
        d.digits = v.ToDecimal();
        break;
      }
      case 2:
        if (d.digits.back() != '0' && d.digits.size() > 1) --d.digits.back();
        break;
      case 3: {  // the rest of the digits, then a tail below the last one
        const int extra = Uniform(1, 25);
        d.digits =
            boundary.digits.substr(0, static_cast<std::size_t>(std::min(length, keep + extra))) +
            Digits(Uniform(0, 5));
        d.scale = boundary.scale + length - static_cast<int>(d.digits.size());
        break;
      }
      default:  // a "5" followed by zeros or by a stray 1
        d.digits += "5" + std::string(Uniform(0, 20), '0') + (Chance(0.5) ? "1" : "");
        d.scale = boundary.scale + length - static_cast<int>(d.digits.size());
        break;
    }
    return d;
  }

  // StrToFloat on one text under one separator: the same bits, or the same
  // error. Returns whether they agreed.
  bool SameParse(const std::string& text, char separator) {
    SeparatorScope scope(separator);
    const std::optional<ReferenceExtended> expected = ReferenceStrToFloat(text, separator);
    std::optional<Extended> actual;
    std::string error;
    try {
      actual = StrToFloat(text);
    } catch (const EConvertError& e) {
      error = e.Message;
    } catch (...) {
      error = "(an exception of another class)";
    }
    const std::string where = "seed " + std::to_string(seed_) + ", text " + Printable(text) +
                              ", separator '" + separator + "'";
    if (expected) {
      if (actual && ExtendedBits(*actual) == ExtendedBits(*expected)) return true;
      ADD_FAILURE() << where << "\n  expected " << ExtendedBits(*expected) << "\n    actual "
                    << (actual ? ExtendedBits(*actual) : "error: " + error);
      return false;
    }
    const std::string message = "'" + text + "' is not a valid floating point value";
    if (!actual && error == message) return true;
    ADD_FAILURE() << where << "\n  expected EConvertError\n    actual "
                  << (actual ? ExtendedBits(*actual) : "error: " + Printable(error));
    return false;
  }

  // StoreCoefficient: the double the reference stores, or the old value kept,
  // with EOverflow when the value is beyond the double range.
  bool SameStore(const std::string& text, char separator, double old_value) {
    SeparatorScope scope(separator);
    double expected = old_value;
    bool expect_overflow = false;
    if (const std::optional<ReferenceExtended> parsed = ReferenceStrToFloat(text, separator)) {
      if (const std::optional<double> stored = ReferenceStoreDouble(*parsed)) {
        expected = *stored;
      } else {
        expect_overflow = true;
      }
    }
    double coefficient = old_value;
    bool overflowed = false;
    bool other = false;
    try {
      StoreCoefficient(coefficient, text);
    } catch (const EOverflow&) {
      overflowed = true;
    } catch (...) {
      other = true;
    }
    if (!other && overflowed == expect_overflow &&
        DoubleBits(coefficient) == DoubleBits(expected)) {
      return true;
    }
    ADD_FAILURE() << "seed " << seed_ << ", text " << Printable(text) << ", separator '"
                  << separator << "'\n  expected " << DoubleBits(expected)
                  << (expect_overflow ? " and EOverflow" : "") << "\n    actual "
                  << DoubleBits(coefficient) << (overflowed ? " and EOverflow" : "")
                  << (other ? " and an exception of another class" : "");
    return false;
  }

  // Both conversions on a text written with '.', under '.', and the same text
  // with the separators swapped, under ','.
  bool SameOnBothSeparators(const std::string& text) {
    const std::string swapped = SwapSeparators(text);
    const double old_value = -7.25;
    return SameParse(text, '.') && SameParse(swapped, ',') && SameStore(text, '.', old_value) &&
           SameStore(swapped, ',', old_value);
  }

  bool SameFormat(double x) {
    for (const char separator : {'.', ','}) {
      SeparatorScope scope(separator);
      const std::string expected = ReferenceFloatToStrF(x, separator);
      std::string actual;
      try {
        actual = FloatToStrF(x, ffFixed, 15, 2);
      } catch (...) {
        actual = "(exception)";
      }
      if (actual != expected) {
        ADD_FAILURE() << "seed " << seed_ << ", x " << DoubleBits(x) << ", separator '" << separator
                      << "'\n  expected \"" << expected << "\"\n    actual \"" << actual << "\"";
        return false;
      }
    }
    return true;
  }

  // A double with a random significand and a binary exponent in [low, high].
  double RandomDouble(int low, int high) {
    const std::uint64_t significand = (random_() >> 11) | std::uint64_t{1} << 52;
    const double x = std::ldexp(static_cast<double>(significand), Uniform(low, high) - 52);
    return Chance(0.5) ? -x : x;
  }

  // Any finite double, every bit pattern equally likely.
  double AnyDouble() {
    for (;;) {
      const std::uint64_t bits = random_();
      double x;
      std::memcpy(&x, &bits, 8);
      if (std::isfinite(x)) return x;
    }
  }

  std::uint64_t seed_;
  std::mt19937_64 random_;
  int mismatches_ = 0;
};

// ---------------------------------------------------------------------------
// StrToFloat and StoreCoefficient

// Exact decimals of the values where the double and the extended ranges end,
// and of the midpoints beyond them, where a stored value overflows or rounds
// to zero.
std::vector<Decimal> DoubleBoundaries() {
  return {
      ExactDecimal((std::uint64_t{1} << 53) - 1, 971),    // the largest double
      ExactDecimal((std::uint64_t{1} << 54) - 1, 970),    // where a store overflows
      ExactDecimal(1, -1022),                             // the smallest normal double
      ExactDecimal((std::uint64_t{1} << 52) - 1, -1074),  // the largest subnormal
      ExactDecimal(1, -1074),                             // the smallest subnormal
      ExactDecimal(1, -1075),                             // half of it: rounds to zero
      ExactDecimal(3, -1075),                             // one and a half of it
  };
}

std::vector<Decimal> ExtendedBoundaries() {
  return {
      ExactDecimal(~std::uint64_t{0}, 16320),  // the largest extended value
      ExactDecimal(1, 16384),                  // the first power of two beyond the range
      ExactDecimal(1, -16382),                 // the smallest normal extended
      ExactDecimal(1, -16445),                 // the smallest subnormal extended
      ExactDecimal(1, -16446),                 // half of it
      Decimal{"1", 4932},
      Decimal{"1", -4951},
  };
}

TEST_F(Differential, StrToFloatNearTheDoubleLimits) {
  const std::vector<Decimal> boundaries = DoubleBoundaries();
  for (int i = 0; i < 3000; ++i) {
    const Decimal& boundary = boundaries[static_cast<std::size_t>(i) % boundaries.size()];
    if (!KeepGoing(SameOnBothSeparators(Spell(Near(boundary))))) return;
  }
}

TEST_F(Differential, StrToFloatNearTheExtendedLimits) {
  const std::vector<Decimal> boundaries = ExtendedBoundaries();
  for (int i = 0; i < 2000; ++i) {
    const Decimal& boundary = boundaries[static_cast<std::size_t>(i) % boundaries.size()];
    if (!KeepGoing(SameOnBothSeparators(Spell(Near(boundary))))) return;
  }
}

TEST_F(Differential, StrToFloatOnLongDigitStrings) {
  for (int i = 0; i < 3000; ++i) {
    const Decimal number{SignificantDigits(Uniform(20, 60)),
                         Chance(0.8) ? Uniform(-380, 330) : Uniform(-5000, 4900)};
    if (!KeepGoing(SameOnBothSeparators(Spell(number)))) return;
  }
}

// Texts exactly halfway between two neighbouring doubles, and texts that stop
// short of the midpoint or go just past it: the double rounding of the store
// shows here.
TEST_F(Differential, StrToFloatHalfwayBetweenDoubles) {
  for (int i = 0; i < 1500; ++i) {
    const std::uint64_t significand = (random_() >> 11) | std::uint64_t{1} << 52;
    const int exponent = Chance(0.8) ? Uniform(-120, 120) : Uniform(-1126, 971);
    const Decimal midpoint = ExactDecimal(2 * significand + 1, exponent - 1);
    const Decimal number = Chance(0.4) ? midpoint : Near(midpoint);
    if (!KeepGoing(SameOnBothSeparators(Spell(number)))) return;
  }
}

TEST_F(Differential, StrToFloatWithRandomExponents) {
  for (int i = 0; i < 3000; ++i) {
    Decimal number{SignificantDigits(Uniform(1, 19)), Uniform(-5200, 5100)};
    std::string text = Spell(number);
    if (Chance(0.1)) {  // a fraction so long that the scale passes -5120
      text = "0." + Digits(Uniform(100, 200)) + "e-" + std::to_string(Uniform(4900, 4999));
    }
    if (!KeepGoing(SameOnBothSeparators(text))) return;
  }
}

// Short texts of the characters that matter, valid or not, under both
// separators as they are (no swapping), and valid texts with one character
// spoiled.
TEST_F(Differential, StrToFloatOnSpacesSignsAndStrayCharacters) {
  const std::string alphabet = "0123456789     ++--..,,eEeE\txX$\xA0\xE9";
  const int last = static_cast<int>(alphabet.size()) - 1;
  for (int i = 0; i < 4000; ++i) {
    std::string text;
    if (Chance(0.6)) {
      const int length = Uniform(0, 10);
      for (int k = 0; k < length; ++k) {
        text += alphabet[static_cast<std::size_t>(Uniform(0, last))];
      }
    } else {
      text = Spell(Decimal{SignificantDigits(Uniform(1, 8)), Uniform(-10, 10)});
      const std::size_t at = static_cast<std::size_t>(Uniform(0, static_cast<int>(text.size())));
      const char stray = alphabet[static_cast<std::size_t>(Uniform(0, last))];
      switch (Uniform(0, 2)) {
        case 0:
          text.insert(at, 1, stray);
          break;
        case 1:
          if (at < text.size()) text.erase(at, 1);
          break;
        default:
          if (at < text.size()) text[at] = stray;
          break;
      }
    }
    const bool matched = SameParse(text, '.') && SameParse(text, ',') &&
                         SameStore(text, '.', 3.5) && SameStore(text, ',', 3.5);
    if (!KeepGoing(matched)) return;
  }
}

// StoreDouble directly, on extended values whose bits sit at the rounding
// decisions of a double: exactly halfway, one unit either side, and at both
// ends of the range.
TEST_F(Differential, StoreDoubleOnRoundingBoundaries) {
  for (int i = 0; i < 20000; ++i) {
    std::uint64_t significand = random_() | std::uint64_t{1} << 63;
    switch (Uniform(0, 3)) {
      case 0:  // halfway between two doubles, or one extended unit off it
        significand = (significand & ~std::uint64_t{0x7FF}) | 0x400;
        significand += static_cast<std::uint64_t>(Uniform(-1, 1));
        break;
      case 1:  // the largest significand: rounds up into the next binade
        significand |= 0x7FFFFFFFFFFFF800 | static_cast<std::uint64_t>(Uniform(0x3FF, 0x7FF));
        break;
      default:
        break;
    }
    const int binade = Chance(0.5) ? Uniform(1020, 1025) : Uniform(-1080, -1018);
    exact_reference::Binary exact;
    exact.negative = Chance(0.5);
    exact.significand = significand;
    exact.exponent = binade - 63;
    if (Chance(0.1)) exact.exponent = Uniform(-1200, 1100);
    const ReferenceExtended value = exact_reference::ToExtended(exact);

    const std::optional<double> expected = ReferenceStoreDouble(value);
    std::optional<double> actual;
    try {
      actual = StoreDouble(ExtendedOf(value));
    } catch (const EOverflow&) {
    }
    const bool matched = expected.has_value() == actual.has_value() &&
                         (!expected || DoubleBits(*expected) == DoubleBits(*actual));
    if (!matched) {
      ADD_FAILURE() << "seed " << seed_ << ", value " << ExtendedBits(value) << "\n  expected "
                    << (expected ? DoubleBits(*expected) : "EOverflow") << "\n    actual "
                    << (actual ? DoubleBits(*actual) : "EOverflow");
    }
    if (!KeepGoing(matched)) return;
  }
}

// The scaling step on its own, over the whole range of scales, so that a
// fault there is named as such rather than through the conversions.
TEST_F(Differential, ScaleByPowerOfTen) {
  for (int i = 0; i < 20000; ++i) {
    // Rounded into the format, so that subnormal values come out right too.
    const ReferenceExtended x = exact_reference::ToExtended(
        exact_reference::RoundExact(Chance(0.5), random_() | std::uint64_t{1} << 63, 1,
                                    (Chance(0.7) ? Uniform(-70, 70) : Uniform(-16450, 16383)) - 63,
                                    exact_reference::kExtendedFormat, nullptr));
    const int n = Chance(0.5) ? Uniform(-40, 40) : Uniform(-5200, 5119);
    bool overflow = false;
    const ReferenceExtended expected = ReferenceScaleByPowerOfTen(x, n, &overflow);
    const Extended actual = ScaleByPowerOfTen(ExtendedOf(x), n);
    const bool matched = ExtendedBits(actual) == ExtendedBits(expected);
    if (!matched) {
      ADD_FAILURE() << "seed " << seed_ << ", x " << ExtendedBits(x) << ", n " << n
                    << "\n  expected " << ExtendedBits(expected) << (overflow ? " (overflow)" : "")
                    << "\n    actual " << ExtendedBits(actual);
    }
    if (!KeepGoing(matched)) return;
  }
}

// ---------------------------------------------------------------------------
// FloatToStrF

TEST_F(Differential, FloatToStrFOnDoublesOfAllMagnitudes) {
  for (int i = 0; i < 4000; ++i) {
    if (!KeepGoing(SameFormat(AnyDouble()))) return;
  }
  for (int i = 0; i < 8000; ++i) {  // where the fixed form and its rounding act
    if (!KeepGoing(SameFormat(RandomDouble(-12, 70)))) return;
  }
}

// Values a few units from a rounding decision of the format: the third
// decimal a 5, carries through nines, the switch to the exponent form at
// 10^15, and the powers of ten themselves.
TEST_F(Differential, FloatToStrFNearRoundingBoundaries) {
  for (int i = 0; i < 6000; ++i) {
    std::string text;
    switch (Uniform(0, 3)) {
      case 0:  // I.DD5
        text = (Chance(0.3) ? "0" : SignificantDigits(Uniform(1, 15))) + "." + Digits(2) + "5";
        break;
      case 1:  // I.995 and 9...9.995: the carry runs left
        text = Digits(Uniform(0, 2)) + std::string(Uniform(0, 14), '9') + ".995";
        break;
      case 2:  // around 10^15: 999999999999999.5, 99999999999999.995
        text = Chance(0.5) ? "999999999999999.5" : "99999999999999.995";
        break;
      default:  // a power of ten, including the tiny ones near 0.005
        text = "1e" + std::to_string(Uniform(-4, 22));
        if (Chance(0.5)) text = "5e" + std::to_string(Uniform(-4, 22));
        break;
    }
    double x = std::strtod(text.c_str(), nullptr);
    for (int step = Uniform(-3, 3); step != 0; step += step > 0 ? -1 : 1) {
      x = std::nextafter(x, step > 0 ? HUGE_VAL : -HUGE_VAL);
    }
    if (Chance(0.5)) x = -x;
    if (!KeepGoing(SameFormat(x))) return;
  }
}

// ---------------------------------------------------------------------------
// SolveQuadratic

TEST_F(Differential, SolveQuadratic) {
  auto coefficient = [&]() -> double {
    switch (Uniform(0, 9)) {
      case 0:
        return Uniform(-10, 10);
      case 1:
        return Chance(0.5) ? 0.0 : -0.0;
      case 2:  // a short typed decimal
        return std::strtod(
            (std::to_string(Uniform(-999, 999)) + "e" + std::to_string(Uniform(-4, 4))).c_str(),
            nullptr);
      case 3:
        return RandomDouble(-1074, 1023);
      case 4:  // around 1.34e154, where b * b leaves the double range
        return RandomDouble(510, 513);
      case 5:  // tiny: roots beyond the double range
        return RandomDouble(-1074, -960);
      default:
        return RandomDouble(-30, 30);
    }
  };
  for (int i = 0; i < 30000; ++i) {
    double a = coefficient(), b = coefficient(), c = coefficient();
    if (Chance(0.25)) {  // b^2 close to 4ac: a double root, nearly
      const double root = RandomDouble(-20, 20);
      b = -2 * a * root;
      c = a * root * root;
      if (Chance(0.5)) b = std::nextafter(b, Chance(0.5) ? HUGE_VAL : -HUGE_VAL);
      if (!std::isfinite(b) || !std::isfinite(c)) continue;
    }
    const char separator = Chance(0.5) ? '.' : ',';
    SeparatorScope scope(separator);

    double expected[4] = {11.5, -12.5, 13.5, -14.5};  // discriminant, x0, x1, x2
    double actual[4] = {11.5, -12.5, 13.5, -14.5};
    const std::optional<std::string> expected_text =
        ReferenceSolve(a, b, c, expected[0], expected[1], expected[2], expected[3], separator);
    std::optional<std::string> actual_text;
    bool overflowed = false;
    try {
      actual_text = SolveQuadratic(a, b, c, actual[0], actual[1], actual[2], actual[3]);
    } catch (const EOverflow&) {
      overflowed = true;
    }
    bool matched = expected_text == actual_text && overflowed == !expected_text.has_value();
    for (int k = 0; k < 4; ++k)
      matched = matched && DoubleBits(expected[k]) == DoubleBits(actual[k]);
    if (!matched) {
      std::string members;
      const char* names[4] = {"discriminant", "x0", "x1", "x2"};
      for (int k = 0; k < 4; ++k) {
        members += std::string("\n  ") + names[k] + ": expected " + DoubleBits(expected[k]) +
                   ", actual " + DoubleBits(actual[k]);
      }
      ADD_FAILURE() << "seed " << seed_ << ", a " << DoubleBits(a) << ", b " << DoubleBits(b)
                    << ", c " << DoubleBits(c) << ", separator '" << separator
                    << "'\n  expected text "
                    << (expected_text ? Printable(*expected_text) : "EOverflow")
                    << "\n    actual text "
                    << (actual_text  ? Printable(*actual_text)
                        : overflowed ? "EOverflow"
                                     : "(none)")
                    << members;
    }
    if (!KeepGoing(matched)) return;
  }
}

}  // namespace
