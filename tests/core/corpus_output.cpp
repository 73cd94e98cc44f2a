// Prints what the core makes of a fixed corpus: the bits StrToFloat gives for
// each text (under both separators), the double StoreCoefficient stores, the text
// FloatToStrF writes for each double, the text and members Solve gives for each
// equation, and the bits of seeded random extended operations. Builds on any
// machine; two builds whose outputs differ in one byte do not compute alike.
// tools/cross_aarch64.sh compares the x86-64 builds (hardware and software
// type) with the aarch64 build run under qemu.
//
// The inputs come from a fixed-seed generator of its own (splitmix64), not from
// <random>'s distributions, so that every standard library draws the same ones.
// Each draw is a statement of its own: the order in which a compiler evaluates
// a function's arguments or the operands of + is not fixed, and two draws in
// one expression can come out swapped on another machine.
#include <cfloat>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/coefficient_entry.h"
#include "core/equation.h"
#include "core/exceptions.h"
#include "core/extended_math.h"
#include "core/number_text.h"
#include "tests/core/test_support.h"

namespace {

std::uint64_t state = 0x5EED2024;

std::uint64_t Next() {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EB;
  return z ^ (z >> 31);
}
int Uniform(int low, int high) {
  return low + static_cast<int>(Next() % static_cast<std::uint64_t>(high - low + 1));
}
bool Chance(int percent) { return static_cast<int>(Next() % 100) < percent; }

std::string Digits(int count) {
  std::string s;
  for (int i = 0; i < count; ++i) s += static_cast<char>('0' + Uniform(0, 9));
  return s;
}

std::string Bits(Extended x) {
  const test_support::ExtendedFields f = test_support::FieldsOf(x);
  char text[32];
  std::snprintf(text, sizeof text, "%04x:%016" PRIx64, f.top, f.significand);
  return text;
}

std::string Bits(double x) {
  std::uint64_t bits;
  std::memcpy(&bits, &x, 8);
  char text[24];
  std::snprintf(text, sizeof text, "%016" PRIx64, bits);
  return text;
}

double DoubleFromBits(std::uint64_t bits) {
  double x;
  std::memcpy(&x, &bits, 8);
  return x;
}

Extended ExtendedFromBits(std::uint16_t top, std::uint64_t significand) {
#if TARVELIN_EXTENDED_IS_SOFT
  return SoftExtended::FromBits(top, significand);
#else
  long double x = 0;
  std::memcpy(&x, &significand, 8);
  std::memcpy(reinterpret_cast<unsigned char*>(&x) + 8, &top, 2);
  return x;
#endif
}

// Texts a coefficient field may hold: typed numbers, long digit strings, both
// ends of the ranges, and junk.
std::vector<std::string> Texts() {
  std::vector<std::string> texts = {
      "", " ", ".", "-.", "+", "-", "0", "-0", "1", "1.5", "  -2.25  ", "+3", "5.", ".5", "1e3",
      "1E+3", "1e+003", "2.5e-2", "1e", "1E+", "1e-", ".e5", "1e0500", "1e4932", "1e4933",
      "1e-4999", "1e5000", "1,5", "1.5.2", "- 1", "1 e5", "\t1", "0x10", "$10", "INF", "NAN",
      "12345678901234567890123", "0.4024198556304662", "1.7976931348623157e308",
      "1.7976931348623158e308", "1.7976931348623159e308", "2.2250738585072014e-308",
      "4.9406564584124654e-324", "2.4703282292062327e-324", "2.4703282292062328e-324",
      "1.18973149535723176502e+4932", "1.18973149535723176508e+4932", "3.6e-4951", "1.8e-4951",
      "1.000000000000000000000000000000", "0." + std::string(4000, '3'),
      std::string(4932, '9'), std::string(4933, '9')};
  const std::string alphabet = "0123456789  +-.,eE\txX";
  for (int i = 0; i < 12000; ++i) {
    std::string t;
    switch (Uniform(0, 5)) {
      case 0: {  // a typed number
        if (Chance(30)) t = "-";
        t += Digits(Uniform(1, 6));
        if (Chance(60)) t += "." + Digits(Uniform(0, 6));
        break;
      }
      case 1:  // a long digit string with an exponent anywhere in the range
        t = Digits(Uniform(1, 40));
        t += "." + Digits(Uniform(0, 30));
        t += "e" + std::to_string(Uniform(-5000, 4960));
        break;
      case 2:  // near the ends of the double range
        t = "1." + Digits(Uniform(5, 25));
        t += "e" + std::to_string(Chance(50) ? Uniform(300, 310) : -Uniform(300, 330));
        break;
      case 3:  // near the ends of the extended range
        t = Digits(Uniform(1, 22));
        t += "e" + std::to_string(Chance(50) ? Uniform(4900, 4935) : -Uniform(4925, 4975));
        break;
      case 4: {  // junk from the characters that matter
        const int length = Uniform(0, 9);
        for (int k = 0; k < length; ++k) t += alphabet[Next() % alphabet.size()];
        break;
      }
      default:  // two decimals with a tail, where the stored double's rounding shows
        t = Digits(Uniform(1, 16));
        t += "." + Digits(Uniform(10, 24));
        break;
    }
    texts.push_back(t);
  }
  return texts;
}

std::string Printable(const std::string& text) {
  if (text.size() > 60) return "<" + std::to_string(text.size()) + " chars " +
                               text.substr(0, 20) + "..." + text.substr(text.size() - 20) + ">";
  std::string shown = "\"";
  for (unsigned char ch : text) {
    if (ch >= 32 && ch < 127) {
      shown += static_cast<char>(ch);
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", ch);
      shown += escape;
    }
  }
  return shown + "\"";
}

void ParseAndStore(const std::vector<std::string>& texts) {
  for (const std::string& text : texts) {
    for (const char separator : {'.', ','}) {
      DecimalSeparator = separator;
      std::string parsed;
      try {
        parsed = Bits(StrToFloat(text));
      } catch (const EConvertError& e) {
        parsed = "invalid";
      }
      double coefficient = -7.25;
      std::string stored;
      try {
        StoreCoefficient(coefficient, text);
        stored = Bits(coefficient);
      } catch (const EOverflow&) {
        stored = "overflow " + Bits(coefficient);
      }
      std::printf("parse %c %s %s store %s\n", separator, Printable(text).c_str(), parsed.c_str(),
                  stored.c_str());
    }
  }
  DecimalSeparator = '.';
}

double RandomDouble(int low, int high) {
  const std::uint64_t fraction = Next() >> 12;
  const int exponent = Uniform(low, high) + 1023;
  return DoubleFromBits((Chance(50) ? std::uint64_t{1} << 63 : 0) |
                        static_cast<std::uint64_t>(exponent) << 52 | fraction);
}

void Format() {
  std::vector<double> values = {0.0,     -0.0,  1.0,    0.125, -0.125, 2.675,  0.005,
                                -0.005,  9.996, 1e15,   1.5e20, 999999999999999.4,
                                999999999999999.5, 1.7976931348623157e308, 4.9406564584124654e-324};
  for (int i = 0; i < 12000; ++i) {
    switch (Uniform(0, 3)) {
      case 0: {  // any bit pattern, NaNs and infinities included
        values.push_back(DoubleFromBits(Next()));
        break;
      }
      case 1:  // where the fixed form and its rounding act
        values.push_back(RandomDouble(-12, 70));
        break;
      case 2: {  // a third decimal of 5, a few units either side
        const int integer = Uniform(0, 999999);
        const int cents = Uniform(0, 99);
        const double base = static_cast<double>(integer) + cents / 100.0 + 0.005;
        std::uint64_t bits;
        std::memcpy(&bits, &base, 8);
        values.push_back(DoubleFromBits(bits + static_cast<std::uint64_t>(Uniform(-3, 3))));
        break;
      }
      default:
        values.push_back(RandomDouble(-1074, 1023));
        break;
    }
  }
  for (const double x : values) {
    DecimalSeparator = Chance(50) ? '.' : ',';
    std::printf("format %s %s\n", Bits(x).c_str(), FloatToStrF(x, ffFixed, 15, 2).c_str());
  }
  DecimalSeparator = '.';
}

double Coefficient() {
  switch (Uniform(0, 6)) {
    case 0:
      return Uniform(-10, 10);
    case 1:
      return Chance(50) ? 0.0 : -0.0;
    case 2:
      return RandomDouble(-1074, 1023);
    case 3:
      return RandomDouble(510, 513);  // b * b leaves the double range
    case 4:
      return RandomDouble(-1074, -960);  // roots beyond the double range
    default:
      return RandomDouble(-30, 30);
  }
}

void Solve() {
  for (int i = 0; i < 15000; ++i) {
    double a = Coefficient(), b = Coefficient(), c = Coefficient();
    if (Chance(25)) {  // nearly a double root
      const double root = RandomDouble(-20, 20);
      b = -2 * a * root;
      c = a * root * root;
    }
    Equation e;
    e.discriminant = 11.5;
    e.x0 = -12.5;
    e.x1 = 13.5;
    e.x2 = -14.5;
    std::string text;
    try {
      text = Printable(e.Solve(a, b, c));
    } catch (const EOverflow&) {
      text = "overflow";
    }
    std::printf("solve %s %s %s %s | %s %s %s %s\n", Bits(a).c_str(), Bits(b).c_str(),
                Bits(c).c_str(), text.c_str(), Bits(e.discriminant).c_str(), Bits(e.x0).c_str(),
                Bits(e.x1).c_str(), Bits(e.x2).c_str());
  }
}

Extended Operand() {
  const std::uint16_t sign = Chance(50) ? 0x8000 : 0;
  const std::uint64_t top = std::uint64_t{1} << 63;
  const int kind = Uniform(0, 9);
  const std::uint64_t bits = Next();
  switch (kind) {
    case 0:  // subnormal
      return ExtendedFromBits(sign, Chance(20) ? 0 : bits >> Uniform(1, 63));
    case 1:
      return ExtendedFromBits(sign | 0x7FFF, top);  // an infinity
    case 2:
      return ExtendedFromBits(static_cast<std::uint16_t>(sign | Uniform(1, 70)), bits | top);
    case 3:
      return ExtendedFromBits(static_cast<std::uint16_t>(sign | Uniform(0x7FFE - 70, 0x7FFE)),
                              bits | top);
    case 4: {  // trailing zeros: ties
      const int zeros = Uniform(1, 62);
      return ExtendedFromBits(static_cast<std::uint16_t>(sign | (0x3FFF + Uniform(-70, 70))),
                              (bits | top) >> zeros << zeros);
    }
    default:
      return ExtendedFromBits(static_cast<std::uint16_t>(sign | Uniform(1, 0x7FFE)), bits | top);
  }
}

void Operations() {
  for (int i = 0; i < 40000; ++i) {
    const Extended x = Operand();
    const test_support::ExtendedFields f = test_support::FieldsOf(x);
    // Often the same but a few low bits and the sign: cancellation.
    Extended y;
    if (Chance(30)) {
      const std::uint64_t bits = Next();
      y = ExtendedFromBits(static_cast<std::uint16_t>(f.top ^ 0x8000),
                           f.significand ^ (bits >> Uniform(40, 63)));
    } else {
      y = Operand();
    }
    std::printf("ops %s %s + %s - %s * %s / %s sqrt %s rint %s double %s cmp %d%d%d\n",
                Bits(x).c_str(), Bits(y).c_str(), Bits(x + y).c_str(), Bits(x - y).c_str(),
                Bits(x * y).c_str(), Bits(x / y).c_str(), Bits(SquareRoot(x)).c_str(),
                Bits(RoundToInteger(x)).c_str(), Bits(static_cast<double>(x)).c_str(), x == y,
                x < y, x <= y);
  }
}

}  // namespace

int main() {
  ParseAndStore(Texts());
  Format();
  Solve();
  Operations();
  return 0;
}
