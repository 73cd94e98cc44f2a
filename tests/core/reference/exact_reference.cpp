#include "tests/core/reference/exact_reference.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <stdexcept>

namespace exact_reference {

// ---------------------------------------------------------------------------
// BigUint

BigUint::BigUint(std::uint64_t value) {
  if (value != 0) {
    limbs_.push_back(static_cast<std::uint32_t>(value));
    if (value >> 32) limbs_.push_back(static_cast<std::uint32_t>(value >> 32));
  }
}

void BigUint::Trim() {
  while (!limbs_.empty() && limbs_.back() == 0) limbs_.pop_back();
}

BigUint BigUint::FromDecimal(const std::string& digits) {
  BigUint result;
  for (char ch : digits) {
    if (ch < '0' || ch > '9') throw std::invalid_argument("not a decimal digit string");
    result.MultiplyBy(10);
    result += BigUint(static_cast<std::uint64_t>(ch - '0'));
  }
  return result;
}

const BigUint& BigUint::PowerOfTen(int n) {
  if (n < 0) throw std::invalid_argument("negative power of ten");
  static std::vector<BigUint> cache{BigUint(1)};
  while (static_cast<int>(cache.size()) <= n) {
    BigUint next = cache.back();
    next.MultiplyBy(10);
    cache.push_back(std::move(next));
  }
  return cache[n];
}

int BigUint::BitLength() const {
  if (limbs_.empty()) return 0;
  return 32 * static_cast<int>(limbs_.size() - 1) + std::bit_width(limbs_.back());
}

bool BigUint::Bit(int index) const {
  if (index < 0) return false;
  const std::size_t limb = static_cast<std::size_t>(index) / 32;
  if (limb >= limbs_.size()) return false;
  return (limbs_[limb] >> (index % 32)) & 1u;
}

bool BigUint::AnyBitBelow(int count) const {
  if (count <= 0) return false;
  const std::size_t whole = static_cast<std::size_t>(count) / 32;
  for (std::size_t i = 0; i < std::min(whole, limbs_.size()); ++i) {
    if (limbs_[i] != 0) return true;
  }
  const int part = count % 32;
  return part != 0 && whole < limbs_.size() && (limbs_[whole] & ((1u << part) - 1)) != 0;
}

std::uint64_t BigUint::ToUint64() const {
  if (limbs_.size() > 2) throw std::logic_error("BigUint does not fit 64 bits");
  std::uint64_t value = 0;
  for (std::size_t i = limbs_.size(); i-- > 0;) value = value << 32 | limbs_[i];
  return value;
}

std::string BigUint::ToDecimal() const {
  if (IsZero()) return "0";
  BigUint rest = *this;
  std::vector<std::uint32_t> chunks;  // base 10^9, least significant first
  while (!rest.IsZero()) chunks.push_back(rest.DivideBy(1000000000u));
  std::string text = std::to_string(chunks.back());
  for (std::size_t i = chunks.size() - 1; i-- > 0;) {
    const std::string chunk = std::to_string(chunks[i]);
    text += std::string(9 - chunk.size(), '0') + chunk;
  }
  return text;
}

BigUint& BigUint::operator+=(const BigUint& other) {
  if (limbs_.size() < other.limbs_.size()) limbs_.resize(other.limbs_.size(), 0);
  std::uint64_t carry = 0;
  for (std::size_t i = 0; i < limbs_.size(); ++i) {
    const std::uint64_t sum =
        std::uint64_t{limbs_[i]} + (i < other.limbs_.size() ? other.limbs_[i] : 0) + carry;
    limbs_[i] = static_cast<std::uint32_t>(sum);
    carry = sum >> 32;
    if (carry == 0 && i >= other.limbs_.size()) break;
  }
  if (carry != 0) limbs_.push_back(static_cast<std::uint32_t>(carry));
  return *this;
}

BigUint& BigUint::operator-=(const BigUint& other) {
  if (Compare(*this, other) < 0) throw std::logic_error("BigUint subtraction below zero");
  std::int64_t borrow = 0;
  for (std::size_t i = 0; i < limbs_.size(); ++i) {
    std::int64_t diff = std::int64_t{limbs_[i]} -
                        (i < other.limbs_.size() ? std::int64_t{other.limbs_[i]} : 0) - borrow;
    borrow = diff < 0 ? 1 : 0;
    if (diff < 0) diff += std::int64_t{1} << 32;
    limbs_[i] = static_cast<std::uint32_t>(diff);
    if (borrow == 0 && i >= other.limbs_.size()) break;
  }
  Trim();
  return *this;
}

BigUint& BigUint::operator<<=(int shift) {
  if (shift < 0) return *this >>= -shift;
  if (IsZero() || shift == 0) return *this;
  const std::size_t whole = static_cast<std::size_t>(shift) / 32;
  const int part = shift % 32;
  std::vector<std::uint32_t> out(limbs_.size() + whole + 1, 0);
  for (std::size_t i = 0; i < limbs_.size(); ++i) {
    const std::uint64_t moved = std::uint64_t{limbs_[i]} << part;
    out[i + whole] |= static_cast<std::uint32_t>(moved);
    out[i + whole + 1] |= static_cast<std::uint32_t>(moved >> 32);
  }
  limbs_ = std::move(out);
  Trim();
  return *this;
}

BigUint& BigUint::operator>>=(int shift) {
  if (shift < 0) return *this <<= -shift;
  if (IsZero() || shift == 0) return *this;
  const std::size_t whole = static_cast<std::size_t>(shift) / 32;
  if (whole >= limbs_.size()) {
    limbs_.clear();
    return *this;
  }
  const int part = shift % 32;
  std::vector<std::uint32_t> out(limbs_.size() - whole, 0);
  for (std::size_t i = 0; i < out.size(); ++i) {
    std::uint64_t pair = limbs_[i + whole];
    if (i + whole + 1 < limbs_.size()) pair |= std::uint64_t{limbs_[i + whole + 1]} << 32;
    out[i] = static_cast<std::uint32_t>(pair >> part);
  }
  limbs_ = std::move(out);
  Trim();
  return *this;
}

BigUint& BigUint::MultiplyBy(std::uint32_t factor) {
  std::uint64_t carry = 0;
  for (std::uint32_t& limb : limbs_) {
    const std::uint64_t product = std::uint64_t{limb} * factor + carry;
    limb = static_cast<std::uint32_t>(product);
    carry = product >> 32;
  }
  if (carry != 0) limbs_.push_back(static_cast<std::uint32_t>(carry));
  Trim();
  return *this;
}

std::uint32_t BigUint::DivideBy(std::uint32_t divisor) {
  if (divisor == 0) throw std::logic_error("BigUint division by zero");
  std::uint64_t remainder = 0;
  for (std::size_t i = limbs_.size(); i-- > 0;) {
    const std::uint64_t current = remainder << 32 | limbs_[i];
    limbs_[i] = static_cast<std::uint32_t>(current / divisor);
    remainder = current % divisor;
  }
  Trim();
  return static_cast<std::uint32_t>(remainder);
}

BigUint operator*(const BigUint& x, const BigUint& y) {
  BigUint product;
  if (x.IsZero() || y.IsZero()) return product;
  product.limbs_.assign(x.limbs_.size() + y.limbs_.size(), 0);
  for (std::size_t i = 0; i < x.limbs_.size(); ++i) {
    std::uint64_t carry = 0;
    for (std::size_t j = 0; j < y.limbs_.size(); ++j) {
      const std::uint64_t t =
          std::uint64_t{x.limbs_[i]} * y.limbs_[j] + product.limbs_[i + j] + carry;
      product.limbs_[i + j] = static_cast<std::uint32_t>(t);
      carry = t >> 32;
    }
    product.limbs_[i + y.limbs_.size()] = static_cast<std::uint32_t>(carry);
  }
  product.Trim();
  return product;
}

int Compare(const BigUint& x, const BigUint& y) {
  if (x.limbs_.size() != y.limbs_.size()) return x.limbs_.size() < y.limbs_.size() ? -1 : 1;
  for (std::size_t i = x.limbs_.size(); i-- > 0;) {
    if (x.limbs_[i] != y.limbs_[i]) return x.limbs_[i] < y.limbs_[i] ? -1 : 1;
  }
  return 0;
}

void BigUint::DivMod(const BigUint& numerator, const BigUint& denominator, BigUint& quotient,
                     BigUint& remainder) {
  if (denominator.IsZero()) throw std::logic_error("BigUint division by zero");
  quotient = BigUint();
  remainder = numerator;
  if (Compare(numerator, denominator) < 0) return;
  // Schoolbook long division in base 2: the callers' quotients are short (about
  // 70 bits), so one subtraction per quotient bit is cheap enough.
  const int shift = numerator.BitLength() - denominator.BitLength();
  BigUint divisor = denominator << shift;
  quotient.limbs_.assign(static_cast<std::size_t>(shift) / 32 + 1, 0);
  for (int bit = shift; bit >= 0; --bit) {
    if (Compare(remainder, divisor) >= 0) {
      remainder -= divisor;
      quotient.limbs_[static_cast<std::size_t>(bit) / 32] |= 1u << (bit % 32);
    }
    divisor >>= 1;
  }
  quotient.Trim();
}

// ---------------------------------------------------------------------------
// Exact rounding

Binary RoundExact(bool negative, const BigUint& numerator, const BigUint& denominator, int exp2,
                  const BinaryFormat& format, bool* overflow) {
  Binary result;
  result.negative = negative;
  if (numerator.IsZero()) return result;

  // First an integer q and a sticky bit with value = (q + fraction) * 2^e,
  // 0 <= fraction < 1, sticky = (fraction != 0). A quotient gets at least
  // precision + 2 bits so that the rounding bit and the sticky bit are known.
  BigUint q;
  bool sticky = false;
  int e = exp2;
  if (denominator == BigUint(1)) {
    q = numerator;
  } else {
    const int shift =
        std::max(0, format.precision + 3 - (numerator.BitLength() - denominator.BitLength()));
    BigUint remainder;
    BigUint::DivMod(numerator << shift, denominator, q, remainder);
    sticky = !remainder.IsZero();
    e = exp2 - shift;
  }

  // q >= 1, so q + fraction has the binary exponent of q.
  const int top = q.BitLength() - 1 + e;
  int quantum =
      std::max(top - (format.precision - 1), format.min_exponent - (format.precision - 1));
  const int drop = quantum - e;
  BigUint m;
  if (drop <= 0) {
    m = q << -drop;  // exact: the value has no bit below the quantum
  } else {
    m = q >> drop;
    const bool round_bit = q.Bit(drop - 1);
    const bool below = sticky || q.AnyBitBelow(drop - 1);
    if (round_bit && (below || m.Bit(0))) m += BigUint(1);
    if (m.BitLength() > format.precision) {  // rounded up to 2^precision
      m >>= 1;
      ++quantum;
    }
  }
  if (m.IsZero()) return result;  // underflow to a zero of the value's sign
  if (m.BitLength() - 1 + quantum > format.max_exponent) {
    if (overflow != nullptr) *overflow = true;
    result.kind = Binary::Kind::kInfinity;
    return result;
  }
  result.significand = m.ToUint64();
  result.exponent = quantum;
  return result;
}

namespace {

constexpr int kExtendedBias = 16383;
constexpr int kExtendedMinQuantum = -16445;  // 2^-16382 * 2^-63
constexpr int kDoubleBias = 1023;
constexpr int kDoubleMinQuantum = -1074;

// Shifts a nonzero finite value so that its significand has exactly `bits` bits,
// or fewer when the exponent would drop below min_quantum. Returns false if the
// value has a set bit below min_quantum or needs more than `bits` bits.
bool Normalize(std::uint64_t& significand, int& exponent, int bits, int min_quantum) {
  int length = std::bit_width(significand);
  while (length > bits) {
    if (significand & 1u) return false;
    significand >>= 1;
    ++exponent;
    --length;
  }
  while (exponent < min_quantum) {
    if (significand & 1u) return false;
    significand >>= 1;
    ++exponent;
  }
  while (length < bits && exponent > min_quantum) {
    significand <<= 1;
    --exponent;
    ++length;
  }
  return true;
}

}  // namespace

Binary FromExtended(ReferenceExtended value) {
#if LDBL_MANT_DIG == 64
  unsigned char bytes[sizeof(long double)] = {};
  std::memcpy(bytes, &value, 10);
  std::uint64_t significand;
  std::memcpy(&significand, bytes, 8);
  const unsigned top = static_cast<unsigned>(bytes[9]) << 8 | bytes[8];
#else
  const std::uint64_t significand = value.Significand();
  const unsigned top = value.SignExponent();
#endif
  const int field = static_cast<int>(top & 0x7FFF);
  Binary result;
  result.negative = (top >> 15) != 0;
  if (field == 0x7FFF) {
    result.kind = (significand << 1) == 0 ? Binary::Kind::kInfinity : Binary::Kind::kNaN;
    return result;
  }
  result.significand = significand;
  // A zero field holds subnormals, scaled like the smallest normal exponent.
  result.exponent = (field == 0 ? 1 : field) - kExtendedBias - 63;
  if (significand == 0) result.exponent = 0;
  return result;
}

Binary FromDouble(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, 8);
  const int field = static_cast<int>(bits >> 52 & 0x7FF);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  Binary result;
  result.negative = (bits >> 63) != 0;
  if (field == 0x7FF) {
    result.kind = fraction == 0 ? Binary::Kind::kInfinity : Binary::Kind::kNaN;
    return result;
  }
  if (field == 0) {
    result.significand = fraction;
    result.exponent = fraction == 0 ? 0 : kDoubleMinQuantum;
  } else {
    result.significand = fraction | std::uint64_t{1} << 52;
    result.exponent = field - kDoubleBias - 52;
  }
  return result;
}

ReferenceExtended ToExtended(const Binary& value) {
  unsigned top = value.negative ? 0x8000u : 0u;
  std::uint64_t significand = 0;
  if (value.kind == Binary::Kind::kInfinity) {
    top |= 0x7FFF;
    significand = std::uint64_t{1} << 63;
  } else if (value.kind == Binary::Kind::kNaN) {
    top |= 0x7FFF;
    significand = std::uint64_t{3} << 62;
  } else if (value.significand != 0) {
    significand = value.significand;
    int exponent = value.exponent;
    if (!Normalize(significand, exponent, 64, kExtendedMinQuantum)) {
      throw std::logic_error("value is not an extended value");
    }
    if (significand >> 63) {
      const int field = exponent + 63 + kExtendedBias;
      if (field >= 0x7FFF) throw std::logic_error("value beyond the extended range");
      top |= static_cast<unsigned>(field);
    }  // else subnormal: field 0, exponent == kExtendedMinQuantum
  }
#if LDBL_MANT_DIG == 64
  unsigned char bytes[sizeof(long double)] = {};
  std::memcpy(bytes, &significand, 8);
  bytes[8] = static_cast<unsigned char>(top & 0xFF);
  bytes[9] = static_cast<unsigned char>(top >> 8);
  long double result;
  std::memcpy(&result, bytes, sizeof result);
  return result;
#else
  return SoftExtended::FromBits(static_cast<std::uint16_t>(top), significand);
#endif
}

double ToDouble(const Binary& value) {
  std::uint64_t bits = value.negative ? std::uint64_t{1} << 63 : 0;
  if (value.kind == Binary::Kind::kInfinity) {
    bits |= std::uint64_t{0x7FF} << 52;
  } else if (value.kind == Binary::Kind::kNaN) {
    bits |= std::uint64_t{0xFFF} << 51;
  } else if (value.significand != 0) {
    std::uint64_t significand = value.significand;
    int exponent = value.exponent;
    if (!Normalize(significand, exponent, 53, kDoubleMinQuantum)) {
      throw std::logic_error("value is not a double");
    }
    if (significand >> 52) {
      const int field = exponent + 52 + kDoubleBias;
      if (field >= 0x7FF) throw std::logic_error("value beyond the double range");
      bits |= static_cast<std::uint64_t>(field) << 52;
      significand &= (std::uint64_t{1} << 52) - 1;
    }
    bits |= significand;
  }
  double result;
  std::memcpy(&result, &bits, 8);
  return result;
}

std::optional<ReferenceExtended> NearestExtended(bool negative, const BigUint& numerator,
                                           const BigUint& denominator) {
  bool overflow = false;
  const Binary rounded =
      RoundExact(negative, numerator, denominator, 0, kExtendedFormat, &overflow);
  if (overflow) return std::nullopt;
  return ToExtended(rounded);
}

std::optional<double> NearestDouble(bool negative, const BigUint& numerator,
                                    const BigUint& denominator) {
  bool overflow = false;
  const Binary rounded = RoundExact(negative, numerator, denominator, 0, kDoubleFormat, &overflow);
  if (overflow) return std::nullopt;
  return ToDouble(rounded);
}

std::string ExactDecimalText(const BigUint& significand, int exp2) {
  if (exp2 >= 0) return (significand << exp2).ToDecimal();
  BigUint digits = significand;
  for (int i = 0; i < -exp2; ++i) digits.MultiplyBy(5);
  return digits.ToDecimal() + "e-" + std::to_string(-exp2);
}

namespace {

// ---------------------------------------------------------------------------
// The extended unit: each operation on exact operands, then one rounding into
// the extended format. Overflow is remembered until the unit is dropped.

class ExtendedUnit {
 public:
  bool overflowed = false;

  Binary Round(bool negative, const BigUint& numerator, const BigUint& denominator, int exp2) {
    return RoundExact(negative, numerator, denominator, exp2, kExtendedFormat, &overflowed);
  }

  Binary Multiply(const Binary& x, const Binary& y) {
    const bool negative = x.negative != y.negative;
    if (!x.IsFinite() || !y.IsFinite()) {
      if (x.IsZero() || y.IsZero()) throw std::logic_error("infinity times zero");
      return Infinity(negative);
    }
    return Round(negative, BigUint(x.significand) * BigUint(y.significand), 1,
                 x.exponent + y.exponent);
  }

  Binary Divide(const Binary& x, const Binary& y) {
    const bool negative = x.negative != y.negative;
    if (y.IsZero() || !y.IsFinite()) throw std::logic_error("division the callers never do");
    if (!x.IsFinite()) return Infinity(negative);
    return Round(negative, x.significand, y.significand, x.exponent - y.exponent);
  }

  Binary Add(const Binary& x, const Binary& y) {
    if (!x.IsFinite() || !y.IsFinite()) {
      if (!x.IsFinite() && !y.IsFinite() && x.negative != y.negative) {
        throw std::logic_error("infinity minus infinity");
      }
      return Infinity(!x.IsFinite() ? x.negative : y.negative);
    }
    if (x.IsZero() && y.IsZero()) return Zero(x.negative && y.negative);
    if (x.IsZero()) return Round(y.negative, y.significand, 1, y.exponent);
    if (y.IsZero()) return Round(x.negative, x.significand, 1, x.exponent);
    const int e = std::min(x.exponent, y.exponent);
    const BigUint mx = BigUint(x.significand) << (x.exponent - e);
    const BigUint my = BigUint(y.significand) << (y.exponent - e);
    if (x.negative == y.negative) return Round(x.negative, mx + my, 1, e);
    const int order = Compare(mx, my);
    if (order == 0) return Zero(false);  // x - x is +0 when rounding to nearest
    return order > 0 ? Round(x.negative, mx - my, 1, e) : Round(y.negative, my - mx, 1, e);
  }

  Binary Subtract(const Binary& x, const Binary& y) { return Add(x, Negate(y)); }

  // The square root of a positive finite value. It is never exactly halfway
  // between two extended values (the square root of an integer is an integer or
  // irrational), so rounding needs only the integer root and its remainder.
  Binary SquareRoot(const Binary& x) {
    if (!x.IsFinite() || x.IsZero() || x.negative) {
      throw std::logic_error("square root the callers never take");
    }
    // x = s * 2^t with s of 127 or 128 bits and t even; then sqrt(x) =
    // sqrt(s) * 2^(t/2) with sqrt(s) in [2^63, 2^64).
    int shift = 128 - std::bit_width(x.significand);
    if ((x.exponent - shift) % 2 != 0) --shift;
    const BigUint s = BigUint(x.significand) << shift;
    const int half_exponent = (x.exponent - shift) / 2;
    BigUint root;
    for (int bit = 63; bit >= 0; --bit) {
      BigUint candidate = root + (BigUint(1) << bit);
      if (Compare(candidate * candidate, s) <= 0) root = std::move(candidate);
    }
    const BigUint rest = s - root * root;
    if (Compare(rest, root) > 0) root += BigUint(1);  // sqrt(s) > root + 1/2
    return Round(false, root, 1, half_exponent);
  }

  // To an integer, to nearest with ties to even (what the x87 does for its own
  // round-to-integer under this rounding mode).
  Binary RoundToInteger(const Binary& x) {
    if (!x.IsFinite() || x.IsZero() || x.exponent >= 0) return x;
    const int drop = -x.exponent;
    const BigUint q = BigUint(x.significand);
    BigUint m = q >> drop;
    if (q.Bit(drop - 1) && (q.AnyBitBelow(drop - 1) || m.Bit(0))) m += BigUint(1);
    return Round(x.negative, m, 1, 0);
  }

  static Binary Negate(Binary x) {
    x.negative = !x.negative;
    return x;
  }
  static Binary Zero(bool negative) {
    Binary z;
    z.negative = negative;
    return z;
  }
  static Binary Infinity(bool negative) {
    Binary inf;
    inf.kind = Binary::Kind::kInfinity;
    inf.negative = negative;
    return inf;
  }
  static Binary Integer(std::uint64_t value) {
    Binary v;
    v.significand = value;
    return v;
  }
};

Binary NearestPowerOfTen(int n, bool* overflow) {
  if (n >= 0) return RoundExact(false, BigUint::PowerOfTen(n), 1, 0, kExtendedFormat, overflow);
  return RoundExact(false, 1, BigUint::PowerOfTen(-n), 0, kExtendedFormat, overflow);
}

// The three tables the scaling multiplies by, each entry the extended value
// nearest the exact power. Index 0 of the medium and large tables is unused so
// that the index is the j or k of 10^(32 j) and 10^(512 k).
struct PowerTables {
  std::array<Binary, 32> small;
  std::array<Binary, 16> medium;
  std::array<Binary, 10> large;
};

const PowerTables& Tables() {
  static const PowerTables tables = [] {
    PowerTables t;
    for (int i = 0; i < 32; ++i) t.small[i] = NearestPowerOfTen(i, nullptr);
    for (int j = 1; j < 16; ++j) t.medium[j] = NearestPowerOfTen(32 * j, nullptr);
    for (int k = 1; k < 10; ++k) t.large[k] = NearestPowerOfTen(512 * k, nullptr);
    return t;
  }();
  return tables;
}

Binary Scale(ExtendedUnit& unit, Binary x, int n) {
  if (n == 0) return x;
  if (n >= 5120) throw std::invalid_argument("scale of 5120 or more");
  const PowerTables& tables = Tables();
  const bool down = n < 0;
  const int count = down ? -n : n;
  if (down && count >= 5120) return ExtendedUnit::Zero(false);
  auto apply = [&](const Binary& factor) {
    x = down ? unit.Divide(x, factor) : unit.Multiply(x, factor);
  };
  apply(tables.small[count % 32]);
  int m = count / 32;
  if (m == 0) return x;
  if (m % 16 != 0) apply(tables.medium[m % 16]);
  m /= 16;
  if (m == 0) return x;
  apply(tables.large[m]);
  return x;
}

bool IsDigit(char ch) {
  return ch >= '0' && ch <= '9';
}

// ---------------------------------------------------------------------------
// Formatting

struct DecimalImage {
  bool negative = false;
  int exponent = 0;    // E: the value is 0.D x 10^E
  std::string digits;  // D, no trailing zeros; empty for zero
};

DecimalImage ImageOf(const Binary& x) {
  DecimalImage image;
  if (x.IsZero()) return image;

  // The binary exponent of |x|, and from it a first guess of E: 19728 / 65536
  // is just below log10(2).
  const int e2 = std::bit_width(x.significand) - 1 + x.exponent;
  int exponent = ((e2 * 19728) >> 16) + 1;

  ExtendedUnit unit;
  Binary magnitude = x;
  magnitude.negative = false;
  Binary w = unit.RoundToInteger(Scale(unit, magnitude, 18 - exponent));
  const BigUint limit = BigUint::PowerOfTen(18);
  auto as_integer = [](const Binary& v) { return BigUint(v.significand) << v.exponent; };
  if (Compare(as_integer(w), limit) >= 0) {
    w = unit.Divide(w, ExtendedUnit::Integer(10));
    ++exponent;
  }
  const BigUint n = as_integer(unit.RoundToInteger(w));
  if (unit.overflowed || Compare(n, limit) >= 0) {
    throw std::logic_error("decimal image out of its 18 digits");
  }
  std::string d = n.ToDecimal();
  d.insert(0, 18 - d.size(), '0');

  int r = exponent + 2;  // digits up to the second decimal
  if (r < 0) return image;
  r = std::min(r, 15);
  std::string kept = d.substr(0, static_cast<std::size_t>(r));
  if (d[static_cast<std::size_t>(r)] >= '5') {
    int i = r - 1;
    while (i >= 0 && kept[static_cast<std::size_t>(i)] == '9') {
      kept[static_cast<std::size_t>(i)] = '0';
      --i;
    }
    if (i < 0) {  // nothing kept, or the carry ran past D0
      kept = "1";
      ++exponent;
    } else {
      ++kept[static_cast<std::size_t>(i)];
    }
  }
  while (!kept.empty() && kept.back() == '0') kept.pop_back();
  image.exponent = exponent;
  image.digits = kept;
  image.negative = x.negative && !kept.empty();
  return image;
}

}  // namespace

}  // namespace exact_reference

using exact_reference::Binary;
using exact_reference::ExtendedUnit;

ReferenceExtended ReferencePowerOfTen(int n) {
  return exact_reference::ToExtended(exact_reference::NearestPowerOfTen(n, nullptr));
}

ReferenceExtended ReferenceScaleByPowerOfTen(ReferenceExtended x, int n, bool* overflow) {
  ExtendedUnit unit;
  const Binary result = exact_reference::Scale(unit, exact_reference::FromExtended(x), n);
  if (overflow != nullptr) *overflow = unit.overflowed;
  return exact_reference::ToExtended(result);
}

std::optional<ReferenceExtended> ReferenceStrToFloat(const std::string& text, char separator) {
  using exact_reference::IsDigit;
  const std::size_t length = text.size();
  std::size_t i = 0;
  while (i < length && text[i] == ' ') ++i;
  bool minus = false;
  if (i < length && (text[i] == '+' || text[i] == '-')) {
    minus = text[i] == '-';
    ++i;
  }
  const std::size_t mark = i;

  ExtendedUnit unit;
  Binary v = ExtendedUnit::Zero(false);
  const Binary ten = ExtendedUnit::Integer(10);
  auto take_digit = [&](char ch) {
    v = unit.Multiply(v, ten);
    v = unit.Add(v, ExtendedUnit::Integer(static_cast<std::uint64_t>(ch - '0')));
  };
  while (i < length && IsDigit(text[i])) take_digit(text[i++]);
  long long n = 0;
  if (i < length && text[i] == separator) {
    ++i;
    while (i < length && IsDigit(text[i])) {
      take_digit(text[i++]);
      --n;
    }
  }
  if (i == mark) return std::nullopt;

  if (i < length && (text[i] == 'E' || text[i] == 'e')) {
    ++i;
    bool exponent_minus = false;
    if (i < length && (text[i] == '+' || text[i] == '-')) {
      exponent_minus = text[i] == '-';
      ++i;
    }
    int m = 0;
    while (i < length && IsDigit(text[i]) && m < 500) m = 10 * m + (text[i++] - '0');
    n += exponent_minus ? -m : m;
  }
  while (i < length && text[i] == ' ') ++i;
  if (i != length) return std::nullopt;

  // A fraction longer than any scale the tables reach still gives +0.
  const int scale = static_cast<int>(std::max<long long>(n, -5120));
  v = exact_reference::Scale(unit, v, scale);
  if (minus) v = ExtendedUnit::Negate(v);
  if (unit.overflowed) return std::nullopt;
  return exact_reference::ToExtended(v);
}

namespace {

std::string FormatBinary(const Binary& value, char separator) {
  if (value.kind == Binary::Kind::kNaN) return "NAN";
  if (value.kind == Binary::Kind::kInfinity) return value.negative ? "-INF" : "INF";
  const exact_reference::DecimalImage image = exact_reference::ImageOf(value);
  const std::string& d = image.digits;
  const int size = static_cast<int>(d.size());
  std::string text = image.negative ? "-" : "";
  if (image.exponent > 15) {
    text += d[0];
    if (size > 1) text += separator + d.substr(1);
    text += "E" + std::to_string(image.exponent - 1);
    return text;
  }
  if (image.exponent <= 0) {
    text += '0';
  } else {
    for (int i = 0; i < image.exponent; ++i) text += i < size ? d[i] : '0';
  }
  text += separator;
  for (int k = 1; k <= 2; ++k) {
    const int index = image.exponent + k - 1;
    text += index >= 0 && index < size ? d[index] : '0';
  }
  return text;
}

}  // namespace

std::string ReferenceFloatToStrF(ReferenceExtended x, char separator) {
  return FormatBinary(exact_reference::FromExtended(x), separator);
}

std::string ReferenceFloatToStrF(double x, char separator) {
  return FormatBinary(exact_reference::FromDouble(x), separator);
}

namespace {

std::optional<double> StoreBinary(const Binary& value) {
  if (!value.IsFinite()) return std::nullopt;
  bool overflow = false;
  const Binary rounded =
      exact_reference::RoundExact(value.negative, value.significand, 1, value.exponent,
                                  exact_reference::kDoubleFormat, &overflow);
  if (overflow) return std::nullopt;
  return exact_reference::ToDouble(rounded);
}

}  // namespace

std::optional<double> ReferenceStoreDouble(ReferenceExtended value) {
  return StoreBinary(exact_reference::FromExtended(value));
}

// The texts are Windows-1252 bytes: \351 is the accented e.
std::optional<std::string> ReferenceSolve(double a, double b, double c, double& discriminant,
                                          double& x0, double& x1, double& x2, char separator) {
  using exact_reference::FromDouble;
  ExtendedUnit unit;
  const Binary ea = FromDouble(a);
  const Binary eb = FromDouble(b);
  const Binary ec = FromDouble(c);
  auto format = [separator](double root) { return ReferenceFloatToStrF(root, separator); };

  if (!ea.IsZero()) {
    const Binary bb = unit.Multiply(eb, eb);
    const Binary four_a_c = unit.Multiply(unit.Multiply(ExtendedUnit::Integer(4), ea), ec);
    const std::optional<double> stored = StoreBinary(unit.Subtract(bb, four_a_c));
    if (!stored) return std::nullopt;
    discriminant = *stored;

    const Binary minus_b = ExtendedUnit::Negate(eb);
    const Binary two_a = unit.Multiply(ExtendedUnit::Integer(2), ea);
    if (discriminant == 0) {
      const std::optional<double> root = StoreBinary(unit.Divide(minus_b, two_a));
      if (!root) return std::nullopt;
      x0 = *root;
      return format(x0);
    }
    if (discriminant > 0) {
      const Binary r = unit.SquareRoot(FromDouble(discriminant));
      const std::optional<double> first = StoreBinary(unit.Divide(unit.Add(r, minus_b), two_a));
      if (!first) return std::nullopt;
      x1 = *first;
      const std::optional<double> second =
          StoreBinary(unit.Divide(unit.Subtract(minus_b, r), two_a));
      if (!second) return std::nullopt;
      x2 = *second;
      return format(x1) + " et " + format(x2);
    }
    return std::string("Pas de Solutions r\351elles");
  }
  if (!eb.IsZero()) {
    const std::optional<double> root = StoreBinary(unit.Divide(ExtendedUnit::Negate(ec), eb));
    if (!root) return std::nullopt;
    x0 = *root;
    return format(x0);
  }
  if (ec.IsZero()) return std::string("Tous les r\351els sont des solutions");
  return std::string("Pas de Solutions !");
}
