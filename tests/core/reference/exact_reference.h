// A slow, exact model of the equation core's arithmetic, for tests only.
//
// Every value is held exactly (big integers, powers of two) and every step that
// the program rounds is rounded here by integer arithmetic, to nearest with ties
// to even, into the x87 extended format or into a double. The hardware never
// rounds anything for us: results are assembled from their bits. Written from the
// description of the algorithms, not from the core's code, so that the two can
// be compared bit for bit.
//
// Not thread-safe: the power tables and the cache of powers of ten are filled
// on first use.
#pragma once

#include <cfloat>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What carries an extended value in and out of the reference: long double where
// it is the x87 format, elsewhere the core's software type, used only as the
// two fields of the x87 image (the reference never computes with it).
#if LDBL_MANT_DIG == 64
using ReferenceExtended = long double;
#else
#include "core/soft_extended.h"
using ReferenceExtended = SoftExtended;
#endif

namespace exact_reference {

// An unsigned integer of any size: 32-bit limbs, least significant first, no
// zero limb at the top (zero is no limbs at all).
class BigUint {
 public:
  BigUint() = default;
  BigUint(std::uint64_t value);  // NOLINT: implicit on purpose, for small constants

  static BigUint FromDecimal(const std::string& digits);  // throws on a non-digit
  static const BigUint& PowerOfTen(int n);                // n >= 0, cached

  bool IsZero() const { return limbs_.empty(); }
  int BitLength() const;
  bool Bit(int index) const;
  bool AnyBitBelow(int count) const;  // any of bits 0 .. count-1 set
  std::uint64_t ToUint64() const;     // throws if it does not fit
  std::string ToDecimal() const;

  BigUint& operator+=(const BigUint& other);
  BigUint& operator-=(const BigUint& other);  // requires *this >= other
  BigUint& operator<<=(int shift);
  BigUint& operator>>=(int shift);
  BigUint& MultiplyBy(std::uint32_t factor);
  std::uint32_t DivideBy(std::uint32_t divisor);  // returns the remainder

  friend BigUint operator+(BigUint x, const BigUint& y) { return x += y; }
  friend BigUint operator-(BigUint x, const BigUint& y) { return x -= y; }
  friend BigUint operator<<(BigUint x, int shift) { return x <<= shift; }
  friend BigUint operator>>(BigUint x, int shift) { return x >>= shift; }
  friend BigUint operator*(const BigUint& x, const BigUint& y);
  friend int Compare(const BigUint& x, const BigUint& y);  // -1, 0 or 1
  friend bool operator==(const BigUint& x, const BigUint& y) { return x.limbs_ == y.limbs_; }

  // quotient = numerator / denominator rounded down, remainder the rest.
  static void DivMod(const BigUint& numerator, const BigUint& denominator, BigUint& quotient,
                     BigUint& remainder);

 private:
  void Trim();
  std::vector<std::uint32_t> limbs_;
};

// A binary floating-point format: significand bits (the integer bit included)
// and the exponent range of its normal numbers. Below min_exponent values are
// subnormal, with the quantum fixed at 2^(min_exponent - precision + 1).
struct BinaryFormat {
  int precision;
  int min_exponent;
  int max_exponent;
};
inline constexpr BinaryFormat kExtendedFormat{64, -16382, 16383};
inline constexpr BinaryFormat kDoubleFormat{53, -1022, 1023};

// An exact binary value: (-1)^negative * significand * 2^exponent, or an
// infinity or a NaN. Zero is significand 0, with its sign.
struct Binary {
  enum class Kind { kFinite, kInfinity, kNaN };
  Kind kind = Kind::kFinite;
  bool negative = false;
  std::uint64_t significand = 0;
  int exponent = 0;

  bool IsFinite() const { return kind == Kind::kFinite; }
  bool IsZero() const { return kind == Kind::kFinite && significand == 0; }
};

// The value of format nearest to (-1)^negative * numerator / denominator * 2^exp2,
// ties to even, with gradual underflow. When the rounded magnitude exceeds the
// largest finite value of the format the result is an infinity and *overflow is
// set (it is never cleared).
Binary RoundExact(bool negative, const BigUint& numerator, const BigUint& denominator, int exp2,
                  const BinaryFormat& format, bool* overflow);

// Exact conversions between Binary and the machine's types, through their bits.
// ToExtended and ToDouble throw std::logic_error for a value the type cannot
// hold exactly.
Binary FromExtended(ReferenceExtended value);
Binary FromDouble(double value);
ReferenceExtended ToExtended(const Binary& value);
double ToDouble(const Binary& value);

// The extended value or double nearest to the exact fraction; nullopt when it
// overflows.
std::optional<ReferenceExtended> NearestExtended(bool negative, const BigUint& numerator,
                                           const BigUint& denominator);
std::optional<double> NearestDouble(bool negative, const BigUint& numerator,
                                    const BigUint& denominator);

// The exact value significand * 2^exp2 written in decimal: "DIGITS" or
// "DIGITSe-K", with no rounding at all (2^-k = 5^k / 10^k).
std::string ExactDecimalText(const BigUint& significand, int exp2);

}  // namespace exact_reference

// The extended value nearest the exact 10^n, ties to even (an infinity beyond
// the extended range).
ReferenceExtended ReferencePowerOfTen(int n);

// x * 10^n through the tables of powers of ten, each multiplication or division
// rounded on its own. n must be below 5120; n <= -5120 gives +0. *overflow, when
// given, is set if a step overflowed (the result is then an infinity).
ReferenceExtended ReferenceScaleByPowerOfTen(ReferenceExtended x, int n, bool* overflow = nullptr);

// The value a coefficient field's text converts to, or nullopt for a text that
// is not a number (including one whose value overflows the extended range).
std::optional<ReferenceExtended> ReferenceStrToFloat(const std::string& text, char separator);

// The text of a root: fixed notation with two decimals, at most 15 significant
// digits, exponent form from 10^15 up.
std::string ReferenceFloatToStrF(ReferenceExtended x, char separator);
std::string ReferenceFloatToStrF(double x, char separator);  // the double widened exactly

// Storing an extended value into a double: nearest, ties to even; nullopt when
// the rounded magnitude exceeds the largest finite double (or for an infinity or
// a NaN).
std::optional<double> ReferenceStoreDouble(ReferenceExtended value);

// The solver: writes the members its computation reaches and returns the
// solutions text (Windows-1252 bytes). When a store overflows, returns nullopt;
// members stored before keep their new values, the overflowing one and those
// after it keep their old ones.
std::optional<std::string> ReferenceSolve(double a, double b, double c, double& discriminant,
                                          double& x0, double& x1, double& x2, char separator = '.');
