// Helpers shared by the fuzz targets: readable texts and the failure report.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/number_text.h"
#include "tests/core/test_support.h"

namespace fuzz_support {

// The tests' helpers serve here too.
using ::DoubleBits;
using ::Printable;

// The 80 bits of an extended value: sign and exponent, significand.
struct ExtendedImage {
  std::uint16_t sign_exponent;
  std::uint64_t significand;
  bool operator==(const ExtendedImage&) const = default;
  std::string Describe() const {
    char text[40];
    std::snprintf(text, sizeof text, "%04x:%016llx", sign_exponent,
                  static_cast<unsigned long long>(significand));
    return text;
  }
};

inline ExtendedImage ImageOf(long double x) {
  unsigned char bytes[10];
  std::memcpy(bytes, &x, sizeof bytes);  // the six padding bytes are not the value's
  ExtendedImage image;
  std::memcpy(&image.significand, bytes, 8);
  image.sign_exponent = static_cast<std::uint16_t>(bytes[9] << 8 | bytes[8]);
  return image;
}

#if TARVELIN_EXTENDED_IS_SOFT
inline ExtendedImage ImageOf(const SoftExtended& x) { return {x.SignExponent(), x.Significand()}; }
#endif


inline bool SameDouble(double x, double y) { return std::memcmp(&x, &y, 8) == 0; }

// A property does not hold: say which and stop. abort() is what libFuzzer
// reports as a crash, with the input saved, and what fails the corpus replay.
[[noreturn]] inline void Fail(const std::string& what) {
  std::fprintf(stderr, "property failed: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace fuzz_support
