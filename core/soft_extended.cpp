#include "core/soft_extended.h"

#include <bit>

namespace soft_extended_detail {

namespace {

constexpr std::uint64_t kTop = std::uint64_t{1} << 63;
// What the x87 unit gives for an invalid operation: negative, all exponent bits,
// the integer and the quiet bit.
constexpr SoftExtended kDefaultNaN = SoftExtended::FromBits(0xFFFF, 0xC000000000000000);

SoftExtended Quiet(SoftExtended x) {
  return SoftExtended::FromBits(x.SignExponent(), x.Significand() | std::uint64_t{1} << 62);
}

enum class Kind { kZero, kFinite, kInfinity, kNaN };

// A value taken apart; a subnormal is brought to normal form, with a field of
// 0 or below.
struct Parts {
  Kind kind;
  bool negative;
  int field;
  std::uint64_t significand;
};

Parts Unpack(SoftExtended x) {
  Parts p{Kind::kFinite, x.SignBit(), x.ExponentField(), x.Significand()};
  if (p.field == 0x7FFF) {
    p.kind = (p.significand << 1) == 0 ? Kind::kInfinity : Kind::kNaN;
  } else if (p.field == 0) {
    if (p.significand == 0) {
      p.kind = Kind::kZero;
    } else {
      const int shift = LeadingZeros(p.significand);
      p.significand <<= shift;
      p.field = 1 - shift;  // a zero field is scaled like field 1
    }
  }
  return p;
}


SoftExtended Zero(bool negative) { return SoftExtended::FromBits(negative ? 0x8000 : 0, 0); }

}  // namespace

// Of two operands one of which at least is a NaN: the NaN, quieted. Of two NaNs
// the x87 unit prefers a quiet one to a signalling one, and otherwise the one
// with the larger significand.
SoftExtended PropagateNaN(SoftExtended x, SoftExtended y) {
  if (!IsNaN(x)) return Quiet(y);
  if (!IsNaN(y)) return Quiet(x);
  constexpr std::uint64_t kQuiet = std::uint64_t{1} << 62;
  const bool qx = (x.Significand() & kQuiet) != 0;
  const bool qy = (y.Significand() & kQuiet) != 0;
  if (qx != qy) return qx ? x : Quiet(y);
  if (x.Significand() != y.Significand()) return Quiet(x.Significand() > y.Significand() ? x : y);
  return Quiet(x.SignBit() ? y : x);
}

SoftExtended RoundOutOfRange(bool negative, int field, std::uint64_t significand,
                             std::uint64_t tail) {
  if (field > kMaxField) return Infinity(negative);
  // Below the normal range the quantum stays 2^-16445: shift the significand
  // right until its exponent is that of field 1, keeping what falls out as
  // sticky, then round once.
  const int shift = 1 - field;
  Uint128 v = static_cast<Uint128>(significand) << 64 | tail;
  if (shift >= 128) {
    v = 1;
  } else {
    const bool lost = (v & ((static_cast<Uint128>(1) << shift) - 1)) != 0;
    v = v >> shift | static_cast<Uint128>(lost);
  }
  std::uint64_t high = static_cast<std::uint64_t>(v >> 64);
  const std::uint64_t low = static_cast<std::uint64_t>(v);
  if (low > kTop || (low == kTop && (high & 1) != 0)) ++high;
  // A carry into the top bit makes the smallest normal value, field 1.
  const int packed = (high >> 63) != 0 ? 1 : 0;
  return SoftExtended::FromBits(static_cast<std::uint16_t>((negative ? 0x8000 : 0) | packed),
                                high);
}

SoftExtended MultiplySlow(SoftExtended x, SoftExtended y) {
  if (IsNaN(x) || IsNaN(y)) return PropagateNaN(x, y);
  const Parts a = Unpack(x);
  const Parts b = Unpack(y);
  const bool negative = a.negative != b.negative;
  if (a.kind == Kind::kInfinity || b.kind == Kind::kInfinity) {
    if (a.kind == Kind::kZero || b.kind == Kind::kZero) return kDefaultNaN;
    return Infinity(negative);
  }
  if (a.kind == Kind::kZero || b.kind == Kind::kZero) return Zero(negative);
  return MultiplyParts(negative, a.field, a.significand, b.field, b.significand);
}

SoftExtended AddSlow(SoftExtended x, SoftExtended y) {
  if (IsNaN(x) || IsNaN(y)) return PropagateNaN(x, y);
  const Parts a = Unpack(x);
  const Parts b = Unpack(y);
  if (a.kind == Kind::kInfinity) {
    if (b.kind == Kind::kInfinity && a.negative != b.negative) return kDefaultNaN;
    return x;
  }
  if (b.kind == Kind::kInfinity) return y;
  if (a.kind == Kind::kZero) {
    // -0 + -0 is -0; +0 + -0 is +0.
    if (b.kind == Kind::kZero) return Zero(a.negative && b.negative);
    return y;
  }
  if (b.kind == Kind::kZero) return x;
  if (a.field < b.field || (a.field == b.field && a.significand < b.significand)) {
    return AddParts(b.negative, b.field, b.significand, a.negative, a.field, a.significand);
  }
  return AddParts(a.negative, a.field, a.significand, b.negative, b.field, b.significand);
}

SoftExtended DivideSlow(SoftExtended x, SoftExtended y) {
  if (IsNaN(x) || IsNaN(y)) return PropagateNaN(x, y);
  const Parts a = Unpack(x);
  const Parts b = Unpack(y);
  const bool negative = a.negative != b.negative;
  if (a.kind == Kind::kInfinity) {
    if (b.kind == Kind::kInfinity) return kDefaultNaN;
    return Infinity(negative);
  }
  if (b.kind == Kind::kInfinity) return Zero(negative);
  if (b.kind == Kind::kZero) {
    if (a.kind == Kind::kZero) return kDefaultNaN;
    return Infinity(negative);  // division by zero, masked
  }
  if (a.kind == Kind::kZero) return Zero(negative);
  return DivideParts(negative, a.field, a.significand, b.field, b.significand);
}

namespace {

// The 32-bit square root, rounded down, of n in [2^62, 2^64).
std::uint64_t SquareRoot64(std::uint64_t n) {
  // A first guess at or above the root, from the top eight bits of n: the root
  // of the top of their interval, then Newton's steps, which from above come
  // down to the integer root and stay at or above it.
  struct Guesses {
    std::uint64_t value[192];
  };
  static constexpr Guesses kGuesses = [] {
    Guesses g{};
    for (int i = 0; i < 192; ++i) {
      const std::uint64_t top = static_cast<std::uint64_t>(i + 65) << 56;  // may wrap to 0 at 256
      std::uint64_t r = 0;
      for (int bit = 32; bit >= 0; --bit) {  // the smallest r with r * r >= top
        const std::uint64_t candidate = r | std::uint64_t{1} << bit;
        const Uint128 square = static_cast<Uint128>(candidate) * candidate;
        const Uint128 limit = top == 0 ? static_cast<Uint128>(1) << 64 : top;
        if (square <= limit) r = candidate;
      }
      g.value[i] = r + 1;
    }
    return g;
  }();
  std::uint64_t x = kGuesses.value[(n >> 56) - 64];
  x = (x + n / x) >> 1;
  x = (x + n / x) >> 1;
  for (;;) {
    const std::uint64_t next = (x + n / x) >> 1;
    if (next >= x) break;
    x = next;
  }
  return x;
}

// The square root of n in [2^126, 2^128), rounded down, and what is left:
// n = root^2 + remainder, 0 <= remainder <= 2 root. One step of the
// divide-and-conquer square root on two 64-bit halves.
void SquareRoot128(Uint128 n, std::uint64_t& root, Uint128& remainder) {
  const std::uint64_t high = static_cast<std::uint64_t>(n >> 64);
  const std::uint64_t low = static_cast<std::uint64_t>(n);
  const std::uint64_t s1 = SquareRoot64(high);
  const std::uint64_t r1 = high - s1 * s1;  // at most 2 * s1 < 2^33
  const Uint128 numerator = static_cast<Uint128>(r1) << 32 | (low >> 32);
  const std::uint64_t divisor = 2 * s1;
  const Uint128 q = numerator / divisor;
  const Uint128 u = numerator % divisor;
  Uint128 s = (static_cast<Uint128>(s1) << 32) + q;
  __extension__ typedef __int128 Int128;
  Int128 r = static_cast<Int128>(u << 32 | (low & 0xFFFFFFFF)) - static_cast<Int128>(q * q);
  if (r < 0) {
    r += static_cast<Int128>(2 * s - 1);
    s -= 1;
  }
  root = static_cast<std::uint64_t>(s);
  remainder = static_cast<Uint128>(r);
}

}  // namespace

}  // namespace soft_extended_detail

using namespace soft_extended_detail;

SoftExtended::SoftExtended(double value) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  const std::uint16_t sign = (bits >> 63) != 0 ? 0x8000 : 0;
  const int field = static_cast<int>(bits >> 52 & 0x7FF);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  signExponent_ = sign;
  if (field == 0x7FF) {
    signExponent_ |= 0x7FFF;
    significand_ = kTop | fraction << 11;
    if (fraction != 0) significand_ |= std::uint64_t{1} << 62;  // quieted
  } else if (field == 0) {
    if (fraction != 0) {  // a subnormal double is a normal extended value
      const int shift = LeadingZeros(fraction);
      significand_ = fraction << shift;
      signExponent_ |= static_cast<std::uint16_t>(kBias - 1074 + 63 - shift);
    }
  } else {
    significand_ = kTop | fraction << 11;
    signExponent_ |= static_cast<std::uint16_t>(field - 1023 + kBias);
  }
}

SoftExtended::operator double() const {
  const Parts p = Unpack(*this);
  std::uint64_t bits = p.negative ? kTop : 0;
  const std::uint64_t kInfinityBits = std::uint64_t{0x7FF} << 52;
  switch (p.kind) {
    case Kind::kZero:
      break;
    case Kind::kInfinity:
      bits |= kInfinityBits;
      break;
    case Kind::kNaN:  // the top of the fraction, quieted
      bits |= kInfinityBits | std::uint64_t{1} << 51 | (p.significand >> 11 & ((kTop >> 11) - 1));
      break;
    case Kind::kFinite: {
      int exponent = p.field - kBias;  // p.significand * 2^(exponent - 63)
      if (exponent > 1023) {
        bits |= kInfinityBits;
        break;
      }
      // Keep 53 bits, or fewer below 2^-1022 where the quantum is 2^-1074.
      const int dropped = exponent >= -1022 ? 11 : 11 + (-1022 - exponent);
      if (dropped > 64) break;  // below half the smallest subnormal: zero
      std::uint64_t m = dropped == 64 ? 0 : p.significand >> dropped;
      const std::uint64_t rest =
          dropped == 64 ? p.significand : p.significand & ((std::uint64_t{1} << dropped) - 1);
      const std::uint64_t half = std::uint64_t{1} << (dropped - 1);
      if (rest > half || (rest == half && (m & 1) != 0)) ++m;
      if (dropped == 11) {
        if (m >> 53 != 0) {  // carried into the next binade
          m >>= 1;
          ++exponent;
          if (exponent > 1023) {
            bits |= kInfinityBits;
            break;
          }
        }
        bits |= static_cast<std::uint64_t>(exponent + 1023) << 52 | (m & ((kTop >> 11) - 1));
      } else {
        bits |= m;  // a carry to 2^52 is the smallest normal double, as encoded
      }
      break;
    }
  }
  return std::bit_cast<double>(bits);
}

SoftExtended SquareRoot(SoftExtended x) {
  if (IsNaN(x)) return Quiet(x);
  const Parts p = Unpack(x);
  if (p.kind == Kind::kZero) return x;  // the root of -0 is -0
  if (p.negative) return kDefaultNaN;
  if (p.kind == Kind::kInfinity) return x;
  // p.significand * 2^e with e = field - bias - 63; make the exponent even.
  const int e = p.field - kBias;
  const Uint128 n = static_cast<Uint128>(p.significand) << ((e & 1) != 0 ? 64 : 63);
  std::uint64_t root;
  Uint128 remainder;
  SquareRoot128(n, root, remainder);
  // The remainder against root + 1/4 tells above or below the half; never a tie.
  const std::uint64_t tail = remainder == 0 ? 0 : remainder > root ? kTop | 1 : 1;
  return RoundAndPack(false, (e >> 1) + kBias, root, tail);
}

SoftExtended RoundToInteger(SoftExtended x) {
  if (IsNaN(x)) return Quiet(x);
  const Parts p = Unpack(x);
  if (p.kind != Kind::kFinite) return x;
  const int e = p.field - kBias;  // |x| in [2^e, 2^(e+1))
  if (e >= 63) return x;
  std::uint64_t integer;
  if (e < -1) {
    integer = 0;
  } else if (e == -1) {
    integer = p.significand == kTop ? 0 : 1;  // 0.5 goes to the even 0
  } else {
    const int fraction = 63 - e;
    integer = p.significand >> fraction;
    const std::uint64_t rest = p.significand & ((std::uint64_t{1} << fraction) - 1);
    const std::uint64_t half = std::uint64_t{1} << (fraction - 1);
    if (rest > half || (rest == half && (integer & 1) != 0)) ++integer;
  }
  if (integer == 0) return Zero(p.negative);
  const int shift = LeadingZeros(integer);
  return SoftExtended::FromBits(
      static_cast<std::uint16_t>((p.negative ? 0x8000 : 0) | (kBias + 63 - shift)),
      integer << shift);
}

std::uint64_t ToUnsigned64(SoftExtended x) {
  const Parts p = Unpack(x);
  if (p.kind != Kind::kFinite || p.negative) return 0;
  const int e = p.field - kBias;
  if (e < 0) return 0;
  if (e > 63) return 0;
  return p.significand >> (63 - e);
}
