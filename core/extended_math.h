// The operations the core needs on an extended value beyond + - * / and the
// comparisons, under one set of names for both kinds of Extended: long double
// where it is the x87 format, and SoftExtended (declared in soft_extended.h).
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "core/number_text.h"
#include "core/soft_extended.h"

#if LDBL_MANT_DIG == 64
inline bool IsNaN(long double x) { return std::isnan(x); }
inline bool IsInf(long double x) { return std::isinf(x); }
inline bool IsFinite(long double x) { return std::isfinite(x); }
inline bool SignBit(long double x) { return std::signbit(x); }
inline long double Abs(long double x) { return std::fabs(x); }
inline long double SquareRoot(long double x) { return std::sqrt(x); }
// To an integer in the current rounding mode: to nearest, ties to even, under
// the default one.
inline long double RoundToInteger(long double x) { return std::rint(x); }
inline std::uint64_t ToUnsigned64(long double x) { return static_cast<std::uint64_t>(x); }

// The 15-bit biased exponent field of the x87 image.
inline int ExponentField(long double x) {
  unsigned char bytes[sizeof(long double)];
  std::memcpy(bytes, &x, sizeof bytes);
  return (bytes[9] & 0x7F) << 8 | bytes[8];
}
#endif

// An infinity of the given sign, of the type Extended is.
inline Extended ExtendedInfinity(bool negative) {
#if TARVELIN_EXTENDED_IS_SOFT
  return Infinity(negative);
#else
  return negative ? -HUGE_VALL : HUGE_VALL;
#endif
}
