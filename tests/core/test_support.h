// Helpers shared by the core tests: exact bit patterns and readable failures.
//
// The tests build with either kind of Extended: long double where it is the x87
// format, or the software type. Expected values are written as long double
// literals that hold an extended value exactly (hexadecimal, or decimals that are
// exact); ExtendedOf turns one into an Extended without any rounding, on x86-64
// by its bits and where long double is the 128-bit format by its fields, and
// stops the test program if the literal is not an extended value.
#pragma once

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/extended_math.h"
#include "core/number_text.h"

namespace test_support {

// The two fields of an extended value: sign and biased exponent, significand.
struct ExtendedFields {
  unsigned top;
  std::uint64_t significand;
};

inline ExtendedFields FieldsOf(Extended x) {
#if TARVELIN_EXTENDED_IS_SOFT
  return {x.SignExponent(), x.Significand()};
#else
  unsigned char bytes[16] = {};
  std::memcpy(bytes, &x, 10);
  std::uint64_t significand;
  std::memcpy(&significand, bytes, 8);
  return {static_cast<unsigned>(bytes[9] << 8 | bytes[8]), significand};
#endif
}

[[noreturn]] inline void NotAnExtendedValue(long double x) {
  std::fprintf(stderr, "test literal %La is not an extended value\n", static_cast<long double>(x));
  std::abort();
}

}  // namespace test_support

#if TARVELIN_EXTENDED_IS_SOFT
inline Extended ExtendedOf(SoftExtended x) { return x; }

inline Extended ExtendedOf(long double x) {
#if LDBL_MANT_DIG == 64
  std::uint64_t significand;
  std::uint16_t top;
  std::memcpy(&significand, &x, 8);
  std::memcpy(&top, reinterpret_cast<const unsigned char*>(&x) + 8, 2);
  return SoftExtended::FromBits(top, significand);
#elif LDBL_MANT_DIG == 113
  // The 128-bit format has the same exponent field and bias and 112 fraction
  // bits, so an extended value is one whose lowest 49 fraction bits are zero.
  __extension__ typedef unsigned __int128 Bits128;
  const Bits128 bits = std::bit_cast<Bits128>(x);
  const std::uint16_t top = static_cast<std::uint16_t>(bits >> 112);
  const std::uint64_t fraction_high = static_cast<std::uint64_t>(bits >> 49) & ((1ull << 63) - 1);
  const std::uint64_t fraction_low = static_cast<std::uint64_t>(bits) & ((1ull << 49) - 1);
  if (fraction_low != 0) test_support::NotAnExtendedValue(x);
  const unsigned field = top & 0x7FFF;
  if (field == 0x7FFF) {
    return SoftExtended::FromBits(top, (1ull << 63) | fraction_high);
  }
  // Both formats' subnormals lie below 2^-16382, with no integer bit.
  if (field == 0) return SoftExtended::FromBits(top, fraction_high);
  return SoftExtended::FromBits(top, (1ull << 63) | fraction_high);
#else
#error "no exact way from this long double to an extended value"
#endif
}
#else
inline Extended ExtendedOf(long double x) { return x; }
#endif

// The 80 bits of an extended value, as "sign exponent significand" in hex, with
// the value beside them.
inline std::string ExtendedBits(Extended x) {
  const test_support::ExtendedFields f = test_support::FieldsOf(x);
  char text[80];
#if LDBL_MANT_DIG == 64
  long double shown;
  std::memset(&shown, 0, sizeof shown);
  std::memcpy(&shown, &f.significand, 8);
  const std::uint16_t top = static_cast<std::uint16_t>(f.top);
  std::memcpy(reinterpret_cast<unsigned char*>(&shown) + 8, &top, 2);
  std::snprintf(text, sizeof text, "%u %04x %016llx (%.21Lg)", f.top >> 15, f.top & 0x7FFF,
                static_cast<unsigned long long>(f.significand), shown);
#else
  std::snprintf(text, sizeof text, "%u %04x %016llx (about %.17g)", f.top >> 15, f.top & 0x7FFF,
                static_cast<unsigned long long>(f.significand), static_cast<double>(x));
#endif
  return text;
}

#if TARVELIN_EXTENDED_IS_SOFT
inline std::string ExtendedBits(long double x) { return ExtendedBits(ExtendedOf(x)); }
#endif

inline std::string DoubleBits(double x) {
  std::uint64_t bits;
  std::memcpy(&bits, &x, 8);
  char text[64];
  std::snprintf(text, sizeof text, "%016llx (%.17g)", static_cast<unsigned long long>(bits), x);
  return text;
}

// A text as C would write it, shortened in the middle when it is very long.
inline std::string Printable(const std::string& text) {
  std::string shown;
  for (unsigned char ch : text) {
    if (ch >= 32 && ch < 127 && ch != '"' && ch != '\\') {
      shown += static_cast<char>(ch);
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", ch);
      shown += escape;
    }
  }
  if (shown.size() > 200) {
    shown = shown.substr(0, 90) + "...(" + std::to_string(text.size()) + " bytes)..." +
            shown.substr(shown.size() - 90);
  }
  return "\"" + shown + "\"";
}

// Sets DecimalSeparator for the scope of a test and puts the old one back.
class SeparatorScope {
 public:
  explicit SeparatorScope(char separator) : saved_(DecimalSeparator) {
    DecimalSeparator = separator;
  }
  ~SeparatorScope() { DecimalSeparator = saved_; }
  SeparatorScope(const SeparatorScope&) = delete;
  SeparatorScope& operator=(const SeparatorScope&) = delete;

 private:
  char saved_;
};
