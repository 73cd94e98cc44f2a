// Helpers shared by the core tests: exact bit patterns and readable failures.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/number_text.h"

// The 80 bits of an extended value, as "sign exponent significand" in hex.
inline std::string ExtendedBits(long double x) {
  unsigned char bytes[16] = {};
  std::memcpy(bytes, &x, 10);
  std::uint64_t significand;
  std::memcpy(&significand, bytes, 8);
  const unsigned top = bytes[9] << 8 | bytes[8];
  char text[64];
  std::snprintf(text, sizeof text, "%u %04x %016llx (%.21Lg)", top >> 15, top & 0x7FFF,
                static_cast<unsigned long long>(significand), x);
  return text;
}

inline std::string DoubleBits(double x) {
  std::uint64_t bits;
  std::memcpy(&bits, &x, 8);
  char text[64];
  std::snprintf(text, sizeof text, "%016llx (%.17g)", static_cast<unsigned long long>(bits), x);
  return text;
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
