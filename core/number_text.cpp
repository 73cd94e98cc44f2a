#include "core/number_text.h"

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "core/exceptions.h"
#include "core/extended_math.h"
#include "core/powers_of_ten.h"

char DecimalSeparator = '.';

namespace {

// Beyond this scale every table has been used up: 10^5120 lies past the extended
// range (about 1.19e4932) and 10^-5120 below its smallest subnormal (about
// 3.6e-4951), so the scaled value would overflow or vanish whatever X is.
// 5120 = 512 * 10, one step past the largest entry of the large table.
constexpr int kScaleLimit = 5120;

// An exponent is read digit by digit while it is below this bound: the digit that
// takes it to 500 or more is the last one read. So exponents up to 4999, with any
// number of leading zeros, are read whole, and a longer one leaves digits unread.
constexpr int kExponentDigitBound = 500;

#if !TARVELIN_EXTENDED_IS_SOFT
// Saves the caller's floating-point settings and works under the platform's
// default ones (every fault masked, 64-bit significand, round to nearest, ties
// to even) until the end of the scope, then puts the caller's back, exception
// flags included.
//
// fegetenv and fesetenv would do, but they cost some 300 ns a call on x86-64,
// several times the conversion itself. The conversion's arithmetic is all x87,
// so this reads the x87 control and status words, which is cheap, changes the
// control word only when it is not the default, and rewrites the status word
// (through fnstenv/fldenv) only when the conversion raised a flag that the
// caller had not raised already. Once any inexact operation has run, the flag
// is sticky, so that rewrite is rare. The SSE control and status register is
// kept as well, in case the compiler ever uses it here.
class DefaultFloatingPointScope {
 public:
  DefaultFloatingPointScope() {
#if defined(__x86_64__) || defined(__i386__)
    __asm__ volatile("fnstcw %0" : "=m"(control_));
    __asm__ volatile("fnstsw %0" : "=am"(status_));
    __asm__ volatile("stmxcsr %0" : "=m"(mxcsr_));
    if (control_ != kDefaultControl) __asm__ volatile("fldcw %0" : : "m"(kDefaultControl));
#else
    std::fegetenv(&saved_);
    std::fesetenv(FE_DFL_ENV);
#endif
  }

  ~DefaultFloatingPointScope() {
#if defined(__x86_64__) || defined(__i386__)
    std::uint16_t status;
    __asm__ volatile("fnstsw %0" : "=am"(status));
    if ((status & kFlags) & ~(status_ & kFlags)) {
      // The x87 environment image: control word, then status word, each in a
      // 32-bit slot (28 bytes in all in 32-bit protected mode).
      std::uint32_t image[7];
      __asm__ volatile("fnstenv %0" : "=m"(image));
      image[1] = (image[1] & ~std::uint32_t{kFlags | kSummary}) | (status_ & (kFlags | kSummary));
      __asm__ volatile("fldenv %0" : : "m"(image));
    }
    if (control_ != kDefaultControl) __asm__ volatile("fldcw %0" : : "m"(control_));
    std::uint32_t mxcsr;
    __asm__ volatile("stmxcsr %0" : "=m"(mxcsr));
    if (mxcsr != mxcsr_) __asm__ volatile("ldmxcsr %0" : : "m"(mxcsr_));
#else
    std::fesetenv(&saved_);
#endif
  }

  DefaultFloatingPointScope(const DefaultFloatingPointScope&) = delete;
  DefaultFloatingPointScope& operator=(const DefaultFloatingPointScope&) = delete;

 private:
#if defined(__x86_64__) || defined(__i386__)
  // 0x037F: all six faults masked, 64-bit precision, round to nearest.
  static constexpr std::uint16_t kDefaultControl = 0x037F;
  static constexpr std::uint16_t kFlags = 0x003F;    // the six exception flags
  static constexpr std::uint16_t kSummary = 0x0080;  // error summary, set with an unmasked flag
  std::uint16_t control_;
  std::uint16_t status_;
  std::uint32_t mxcsr_;
#else
  std::fenv_t saved_;
#endif
};
#endif  // the software type touches no floating-point settings at all

bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }

// The 15-bit biased exponent of an x87 extended value, less its bias: e2 with
// 2^e2 <= |x| < 2^(e2+1) for every normal value.
int BinaryExponent(Extended x) { return ExponentField(x) - 16383; }

[[noreturn]] void ThrowInvalid(const std::string& text) {
  throw EConvertError("'" + text + "' is not a valid floating point value");
}

// A number reduced to at most 18 significant decimal digits: +-0.D * 10^E, with no
// trailing zeros in D. Zero has no digits and is never negative.
struct DecimalImage {
  bool negative = false;
  int exponent = 0;
  char digits[18] = {};
  int count = 0;
};

// Rounds |x| to its decimal image, half away from zero at the digit `digits`
// places after the decimal point, keeping at most `precision` significant digits.
DecimalImage ToDecimalImage(Extended x, int precision, int digits) {
  DecimalImage image;
  if (x == 0) return image;

  // Step 1: estimate the decimal exponent. 19728 / 65536 = 0.3010253... is just
  // above log10(2) = 0.3010299... (relative error 1.5e-5), so for the exponents of
  // the extended range the estimate is the exact decimal exponent or one below it
  // for large values, one above for tiny ones; the next steps take up the slack.
  const int e2 = BinaryExponent(x);
  int exponent = ((e2 * 19728) >> 16) + 1;  // an arithmetic shift: floor division

  // Step 2: bring 18 significant digits in front of the binary point and round to
  // an integer (to nearest, ties to even, as the environment rounds).
  Extended w = RoundToInteger(ScaleByPowerOfTen(Abs(x), 18 - exponent));

  // Step 3: an estimate one too low gives 19 digits; drop one.
  if (w >= 1e18) {  // exact as a double
    w = w / 10;
    exponent += 1;
  }

  // Step 4: the 18 digits, leading zeros included.
  // Written as two halves of nine digits: 32-bit divisions are the cheaper ones.
  const std::uint64_t n = ToUnsigned64(RoundToInteger(w));
  char all[18];
  std::uint32_t high = static_cast<std::uint32_t>(n / 1000000000);
  std::uint32_t low = static_cast<std::uint32_t>(n % 1000000000);
  for (int i = 8; i >= 0; --i) {
    all[i] = static_cast<char>('0' + high % 10);
    high /= 10;
    all[i + 9] = static_cast<char>('0' + low % 10);
    low /= 10;
  }

  // Step 5: the rounding position, counted in digits from the first one.
  int r = exponent + digits;
  if (r < 0) return image;
  if (r > precision) r = precision;

  // Step 6: round half away from zero at position r.
  if (all[r] >= '5') {
    int i = r - 1;
    while (i >= 0 && all[i] == '9') --i;  // the nines carried through are dropped
    if (i < 0) {
      image.digits[0] = '1';
      image.count = 1;
      exponent += 1;
    } else {
      std::memcpy(image.digits, all, static_cast<std::size_t>(i));
      image.digits[i] = static_cast<char>(all[i] + 1);
      image.count = i + 1;
    }
  } else {
    int count = r;
    while (count > 0 && all[count - 1] == '0') --count;
    if (count == 0) {
      image.exponent = exponent;
      return image;
    }
    std::memcpy(image.digits, all, static_cast<std::size_t>(count));
    image.count = count;
  }
  image.exponent = exponent;
  image.negative = SignBit(x);
  return image;
}

}  // namespace

Extended ScaleByPowerOfTen(Extended X, int N) {
  if (N == 0) return X;
  const bool divide = N < 0;
  // Written this way so that N = INT_MIN cannot overflow.
  const unsigned magnitude = divide ? 0u - static_cast<unsigned>(N) : static_cast<unsigned>(N);
  if (magnitude >= kScaleLimit) {
    if (divide) return Extended(0);  // +0
    return X == 0 ? X : ExtendedInfinity(SignBit(X));
  }
  auto apply = [divide](Extended x, Extended factor) { return divide ? x / factor : x * factor; };
  X = apply(X, kSmallPowersOfTen[magnitude % 32]);
  unsigned m = magnitude / 32;
  if (m == 0) return X;
  if (m % 16 != 0) X = apply(X, kMediumPowersOfTen[m % 16 - 1]);
  m /= 16;
  if (m == 0) return X;
  return apply(X, kLargePowersOfTen[m - 1]);
}

Extended StrToFloat(const std::string& S) {
  const char separator = DecimalSeparator;
#if !TARVELIN_EXTENDED_IS_SOFT
  DefaultFloatingPointScope environment;
#endif

  const char* p = S.c_str();
  const char* const end = p + S.size();

  // Step 1: leading spaces; only the space character itself.
  while (p < end && *p == ' ') ++p;

  // Step 2: at most one sign, with nothing between it and the number.
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    ++p;
  }

  // Step 3: the integer digits, each accumulated with two rounded operations.
  const char* const start = p;
  Extended v = Extended(0);  // +0
  while (p < end && IsDigit(*p)) {
    v = v * 10;
    v = v + (*p - '0');
    ++p;
  }

  // Step 4: the decimal digits go into the same accumulator; each one lowers the
  // scale by one.
  long long scale = 0;
  if (p < end && *p == separator) {
    ++p;
    while (p < end && IsDigit(*p)) {
      v = v * 10;
      v = v + (*p - '0');
      --scale;
      ++p;
    }
  }

  // Step 5: at least a digit or the separator.
  if (p == start) ThrowInvalid(S);

  // Step 6: the exponent; its digits are optional.
  if (p < end && (*p == 'E' || *p == 'e')) {
    ++p;
    bool exponentNegative = false;
    if (p < end && (*p == '+' || *p == '-')) {
      exponentNegative = *p == '-';
      ++p;
    }
    int m = 0;
    while (p < end && IsDigit(*p) && m < kExponentDigitBound) {
      m = 10 * m + (*p - '0');
      ++p;
    }
    scale += exponentNegative ? -m : m;
  }

  // Step 7: trailing spaces, then the end of the text (a NUL inside it included).
  while (p < end && *p == ' ') ++p;
  if (p != end) ThrowInvalid(S);

  // Step 8: scale. A megabyte of decimals gives a scale far below -5120, which
  // yields zero like any scale beyond the tables; clamp before narrowing to int.
  if (scale < -kScaleLimit) scale = -kScaleLimit;
  const bool accumulatorOverflowed = IsInf(v);
  v = ScaleByPowerOfTen(v, static_cast<int>(scale));

  // Step 9: the sign comes last, so "-0" and "-." give negative zero.
  if (negative) v = -v;

  // Step 10: an overflow anywhere above makes the text invalid. Once infinite the
  // accumulator stays infinite, but a large negative scale would hide it as zero.
  if (accumulatorOverflowed || IsInf(v)) ThrowInvalid(S);
  return v;
}

std::string FloatToStrF(Extended Value, TFloatFormat Format, int Precision, int Digits) {
  if (Format != ffFixed) throw std::invalid_argument("FloatToStrF: only ffFixed is provided");
  const char separator = DecimalSeparator;

  if (IsNaN(Value)) return "NAN";
  if (IsInf(Value)) return Value < 0 ? "-INF" : "INF";

  // The image holds 18 digits at most; keep the arguments where the steps hold.
  if (Precision < 1) Precision = 1;
  if (Precision > 18) Precision = 18;
  if (Digits < 0) Digits = 0;
  if (Digits > 18) Digits = 18;

  const DecimalImage image = ToDecimalImage(Value, Precision, Digits);
  std::string text;
  if (image.negative) text += '-';
  auto digitAt = [&image](int i) { return i >= 0 && i < image.count ? image.digits[i] : '0'; };

  if (image.exponent > Precision) {
    // Exponent form: "1E15", "1.5E20", "-1.23456789012346E18".
    text += image.digits[0];
    if (image.count > 1) {
      text += separator;
      text.append(image.digits + 1, static_cast<std::size_t>(image.count - 1));
    }
    text += 'E';
    text += std::to_string(image.exponent - 1);
    return text;
  }

  // Fixed form: the integer part, then exactly Digits decimals.
  if (image.exponent <= 0) {
    text += '0';
  } else {
    for (int i = 0; i < image.exponent; ++i) text += digitAt(i);
  }
  if (Digits > 0) {
    text += separator;
    for (int k = 1; k <= Digits; ++k) text += digitAt(image.exponent + k - 1);
  }
  return text;
}
