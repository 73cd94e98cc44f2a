// The x87 80-bit extended format computed with integer arithmetic, for machines
// whose long double is something else (aarch64, or a compiler where it is a plain
// double), so that every text comes out the same as on x86-64.
//
// A value is a sign, a 15-bit exponent with bias 16383 and a 64-bit significand
// with an explicit integer bit, laid out like the x87 image: significand first,
// then the sign and exponent. +, -, *, / and the square root round once, to
// nearest with ties to even, with gradual underflow down to 2^-16445; a result
// beyond the largest finite value is an infinity. Invalid operations give the
// x87 default NaN and a NaN operand comes back quieted, as the x87 unit does.
// Nothing here touches the floating-point environment: no hardware
// floating-point instruction runs, so no flag is raised and no mode is read.
//
// The common case, two normal operands and a normal result, is inline; zeros,
// subnormals, infinities, NaNs, overflow and underflow go out of line.
#pragma once

#include <bit>
#include <cstdint>

class SoftExtended {
 public:
  constexpr SoftExtended() = default;  // +0
  constexpr SoftExtended(int value);   // NOLINT: exact, implicit like a long double's
  SoftExtended(double value);          // NOLINT: exact; a signalling NaN comes back quieted
  // A long double would silently become a double first: not allowed.
  SoftExtended(long double) = delete;

  // The value with these two fields: bit 15 of signExponent the sign, bits 0-14
  // the biased exponent.
  static constexpr SoftExtended FromBits(std::uint16_t signExponent, std::uint64_t significand) {
    SoftExtended x;
    x.significand_ = significand;
    x.signExponent_ = signExponent;
    return x;
  }
  constexpr std::uint16_t SignExponent() const { return signExponent_; }
  constexpr std::uint64_t Significand() const { return significand_; }
  constexpr int ExponentField() const { return signExponent_ & 0x7FFF; }
  constexpr bool SignBit() const { return (signExponent_ >> 15) != 0; }

  // Rounded to nearest, ties to even, with subnormals; an infinity beyond the
  // double range.
  explicit operator double() const;

  friend constexpr SoftExtended operator-(SoftExtended x) {
    x.signExponent_ ^= 0x8000;
    return x;
  }
  friend SoftExtended operator+(SoftExtended x, SoftExtended y);
  friend SoftExtended operator-(SoftExtended x, SoftExtended y);
  friend SoftExtended operator*(SoftExtended x, SoftExtended y);
  friend SoftExtended operator/(SoftExtended x, SoftExtended y);

  // NaNs are unordered; -0 equals +0.
  friend bool operator==(SoftExtended x, SoftExtended y);
  friend bool operator<(SoftExtended x, SoftExtended y);
  friend bool operator>(SoftExtended x, SoftExtended y) { return y < x; }
  friend bool operator<=(SoftExtended x, SoftExtended y) { return x < y || x == y; }
  friend bool operator>=(SoftExtended x, SoftExtended y) { return y < x || x == y; }

 private:
  std::uint64_t significand_ = 0;
  std::uint16_t signExponent_ = 0;
};

inline bool IsNaN(SoftExtended x);
inline bool IsInf(SoftExtended x);
inline bool IsFinite(SoftExtended x);
inline bool SignBit(SoftExtended x) { return x.SignBit(); }
inline SoftExtended Abs(SoftExtended x) {
  return SoftExtended::FromBits(x.SignExponent() & 0x7FFF, x.Significand());
}
inline SoftExtended Infinity(bool negative) {
  return SoftExtended::FromBits(negative ? 0xFFFF : 0x7FFF, std::uint64_t{1} << 63);
}
// The biased exponent field, 0 for zero and the subnormals.
inline int ExponentField(SoftExtended x) { return x.ExponentField(); }
SoftExtended SquareRoot(SoftExtended x);
// To an integer, to nearest with ties to even; the sign stays (-0.5 gives -0).
SoftExtended RoundToInteger(SoftExtended x);
// The integer part of a value from 0 up to 2^64 (exclusive), truncated.
std::uint64_t ToUnsigned64(SoftExtended x);

// ---------------------------------------------------------------------------
// The inline fast paths.

namespace soft_extended_detail {

__extension__ typedef unsigned __int128 Uint128;

constexpr int kBias = 16383;
constexpr int kMaxField = 0x7FFE;  // of a finite value

inline int LeadingZeros(std::uint64_t x) { return std::countl_zero(x); }

// The out-of-line parts.
SoftExtended AddSlow(SoftExtended x, SoftExtended y);
SoftExtended MultiplySlow(SoftExtended x, SoftExtended y);
SoftExtended DivideSlow(SoftExtended x, SoftExtended y);
SoftExtended PropagateNaN(SoftExtended x, SoftExtended y);
// Rounds (significand + tail / 2^64) * 2^(field - 16383 - 63) when field is
// outside 1 .. 0x7FFE: gradual underflow or an infinity. significand has its
// top bit set; the lowest bit of tail stands for any bits below it.
SoftExtended RoundOutOfRange(bool negative, int field, std::uint64_t significand,
                             std::uint64_t tail);

inline bool IsNormal(SoftExtended x) {
  return static_cast<unsigned>(x.ExponentField() - 1) < static_cast<unsigned>(kMaxField);
}

// (significand + tail / 2^64) * 2^(field - 16383 - 63), rounded to nearest even.
inline SoftExtended RoundAndPack(bool negative, int field, std::uint64_t significand,
                                 std::uint64_t tail) {
  if (static_cast<unsigned>(field - 1) >= static_cast<unsigned>(kMaxField)) {
    return RoundOutOfRange(negative, field, significand, tail);
  }
  constexpr std::uint64_t kHalf = std::uint64_t{1} << 63;
  if (tail > kHalf || (tail == kHalf && (significand & 1) != 0)) {
    if (++significand == 0) {  // carried into the next binade
      significand = kHalf;
      if (++field > kMaxField) return RoundOutOfRange(negative, field, significand, 0);
    }
  }
  return SoftExtended::FromBits(
      static_cast<std::uint16_t>((negative ? 0x8000 : 0) | field), significand);
}

}  // namespace soft_extended_detail

constexpr SoftExtended::SoftExtended(int value) {
  if (value == 0) return;
  const bool negative = value < 0;
  std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  const int shift = std::countl_zero(magnitude);
  significand_ = magnitude << shift;
  signExponent_ = static_cast<std::uint16_t>((negative ? 0x8000 : 0) |
                                             (soft_extended_detail::kBias + 63 - shift));
}

namespace soft_extended_detail {

// The operations on unpacked operands: a sign, a biased exponent field (below 1
// for a subnormal brought to normal form) and a significand with its top bit
// set. Both the inline fast paths and the out-of-line ones use them.

inline SoftExtended MultiplyParts(bool negative, int fx, std::uint64_t sx, int fy,
                                  std::uint64_t sy) {
  const Uint128 product = static_cast<Uint128>(sx) * sy;
  int field = fx + fy - kBias;
  std::uint64_t high = static_cast<std::uint64_t>(product >> 64);
  std::uint64_t low = static_cast<std::uint64_t>(product);
  if ((high >> 63) != 0) {
    ++field;
  } else {
    high = high << 1 | low >> 63;
    low <<= 1;
  }
  return RoundAndPack(negative, field, high, low);
}

// |x| >= |y| is required.
inline SoftExtended AddParts(bool nx, int fx, std::uint64_t sx, bool ny, int fy,
                             std::uint64_t sy) {
  const int distance = fx - fy;
  // Both significands one bit below the top of 128 bits, leaving room for a
  // carry; what the shift pushes out of y is kept as a sticky lowest bit.
  const Uint128 a = static_cast<Uint128>(sx) << 63;
  Uint128 b = static_cast<Uint128>(sy) << 63;
  if (distance >= 128) {
    b = 1;
  } else if (distance > 0) {
    const bool lost = (b & ((static_cast<Uint128>(1) << distance) - 1)) != 0;
    b = (b >> distance) | static_cast<Uint128>(lost);
  }
  Uint128 r;
  if (nx == ny) {
    r = a + b;
  } else {
    r = a - b;
    if (r == 0) return SoftExtended();  // an exact zero is +0 when rounding to nearest
  }
  std::uint64_t high = static_cast<std::uint64_t>(r >> 64);
  std::uint64_t low = static_cast<std::uint64_t>(r);
  int shift;
  if (high != 0) {
    shift = LeadingZeros(high);
    if (shift != 0) {
      high = high << shift | low >> (64 - shift);
      low <<= shift;
    }
  } else {
    shift = 64 + LeadingZeros(low);
    high = low << (shift - 64);
    low = 0;
  }
  return RoundAndPack(nx, fx + 1 - shift, high, low);
}

inline SoftExtended DivideParts(bool negative, int fx, std::uint64_t a, int fy,
                                std::uint64_t d) {
  int field = fx - fy + kBias;
  // The 64-bit quotient of a * 2^63 or a * 2^64 by d, whichever lies in
  // [2^63, 2^64); the remainder decides the rounding.
  std::uint64_t high, low;
  if (a >= d) {
    high = a >> 1;
    low = a << 63;
  } else {
    high = a;
    low = 0;
    --field;
  }
  std::uint64_t quotient, remainder;
#if defined(__x86_64__)
  // high < d, so the quotient fits 64 bits: one divide instruction.
  __asm__("divq %4" : "=a"(quotient), "=d"(remainder) : "a"(low), "d"(high), "rm"(d) : "cc");
#else
  const Uint128 n = static_cast<Uint128>(high) << 64 | low;
  quotient = static_cast<std::uint64_t>(n / d);
  remainder = static_cast<std::uint64_t>(n % d);
#endif
  // remainder / d as a tail: exactly half, above or below it, or nothing.
  std::uint64_t tail = 0;
  if (remainder != 0) {
    const std::uint64_t rest = d - remainder;  // remainder > d / 2 when remainder > rest
    tail = remainder > rest    ? (std::uint64_t{1} << 63) | 1
           : remainder == rest ? std::uint64_t{1} << 63
                               : 1;
  }
  return RoundAndPack(negative, field, quotient, tail);
}

}  // namespace soft_extended_detail

inline SoftExtended operator*(SoftExtended x, SoftExtended y) {
  using namespace soft_extended_detail;
  if (!IsNormal(x) || !IsNormal(y)) return MultiplySlow(x, y);
  return MultiplyParts(x.SignBit() != y.SignBit(), x.ExponentField(), x.Significand(),
                       y.ExponentField(), y.Significand());
}

inline SoftExtended operator+(SoftExtended x, SoftExtended y) {
  using namespace soft_extended_detail;
  if (!IsNormal(x) || !IsNormal(y)) return AddSlow(x, y);
  if (x.ExponentField() < y.ExponentField() ||
      (x.ExponentField() == y.ExponentField() && x.Significand() < y.Significand())) {
    return AddParts(y.SignBit(), y.ExponentField(), y.Significand(), x.SignBit(),
                    x.ExponentField(), x.Significand());
  }
  return AddParts(x.SignBit(), x.ExponentField(), x.Significand(), y.SignBit(),
                  y.ExponentField(), y.Significand());
}

// A NaN subtrahend keeps its sign, as it does on the x87 unit.
inline SoftExtended operator-(SoftExtended x, SoftExtended y) {
  if (IsNaN(y)) return soft_extended_detail::PropagateNaN(x, y);
  return x + -y;
}

inline SoftExtended operator/(SoftExtended x, SoftExtended y) {
  using namespace soft_extended_detail;
  if (!IsNormal(x) || !IsNormal(y)) return DivideSlow(x, y);
  return DivideParts(x.SignBit() != y.SignBit(), x.ExponentField(), x.Significand(),
                     y.ExponentField(), y.Significand());
}

inline bool operator==(SoftExtended x, SoftExtended y) {
  if (IsNaN(x) || IsNaN(y)) return false;
  if (x.Significand() == y.Significand() && x.SignExponent() == y.SignExponent()) return true;
  return x.Significand() == 0 && y.Significand() == 0 && x.ExponentField() == 0 &&
         y.ExponentField() == 0;
}

inline bool operator<(SoftExtended x, SoftExtended y) {
  if (IsNaN(x) || IsNaN(y)) return false;
  using soft_extended_detail::Uint128;
  const Uint128 mx = static_cast<Uint128>(x.ExponentField()) << 64 | x.Significand();
  const Uint128 my = static_cast<Uint128>(y.ExponentField()) << 64 | y.Significand();
  if (x.SignBit() != y.SignBit()) return x.SignBit() && (mx != 0 || my != 0);
  return x.SignBit() ? my < mx : mx < my;
}

inline bool IsNaN(SoftExtended x) {
  return x.ExponentField() == 0x7FFF && (x.Significand() << 1) != 0;
}
inline bool IsInf(SoftExtended x) {
  return x.ExponentField() == 0x7FFF && (x.Significand() << 1) == 0;
}
inline bool IsFinite(SoftExtended x) { return x.ExponentField() != 0x7FFF; }
