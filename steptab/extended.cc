#include "steptab/extended.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace steptab {
namespace {

using u128 = unsigned __int128;

int bit_length(u128 value) {
  auto high = std::uint64_t(value >> 64);
  if (high) return 128 - std::countl_zero(high);
  return 64 - std::countl_zero(std::uint64_t(value));
}

}  // namespace

Extended::Extended(double value) {
  negative_ = std::signbit(value);
  if (std::isnan(value)) {
    kind_ = Kind::not_a_number;
  } else if (std::isinf(value)) {
    kind_ = Kind::infinite;
  } else if (value == 0) {
    kind_ = Kind::zero;
  } else {
    // frexp gives a fraction in [0.5, 1) with at most 53 bits: scaled by 2^64 it is an
    // integer with its top bit set, also for subnormal inputs.
    int exponent = 0;
    double fraction = std::frexp(std::fabs(value), &exponent);
    kind_ = Kind::finite;
    significand_ = std::uint64_t(std::ldexp(fraction, 64));
    exponent_ = std::int64_t(exponent) - 64;
  }
}

// wide is not zero; with `sticky`, a non-zero remainder lies below its last bit, so a
// seeming tie is really above the half.
Extended Extended::finite(bool negative, std::int64_t exponent, u128 wide, bool sticky) {
  Extended result(Kind::finite, negative);
  int bits = bit_length(wide);
  if (bits <= 64) {
    // Callers with a remainder always supply more than 64 bits, so this is exact.
    result.significand_ = std::uint64_t(wide) << (64 - bits);
    result.exponent_ = exponent - (64 - bits);
    return result;
  }
  int drop = bits - 64;
  u128 kept = wide >> drop;
  u128 rest = wide & ((u128(1) << drop) - 1);
  u128 half = u128(1) << (drop - 1);
  if (rest > half || (rest == half && (sticky || (kept & 1)))) ++kept;
  exponent += drop;
  if (kept >> 64) {  // rounding carried into a 65th bit
    kept >>= 1;
    ++exponent;
  }
  result.significand_ = std::uint64_t(kept);
  result.exponent_ = exponent;
  return result;
}

Extended operator*(Extended a, Extended b) {
  using Kind = Extended::Kind;
  bool negative = a.negative_ != b.negative_;
  if (a.kind_ == Kind::not_a_number || b.kind_ == Kind::not_a_number)
    return Extended(Kind::not_a_number, negative);
  if (a.kind_ == Kind::infinite || b.kind_ == Kind::infinite) {
    if (a.kind_ == Kind::zero || b.kind_ == Kind::zero)
      return Extended(Kind::not_a_number, negative);
    return Extended(Kind::infinite, negative);
  }
  if (a.kind_ == Kind::zero || b.kind_ == Kind::zero) return Extended(Kind::zero, negative);
  u128 product = u128(a.significand_) * b.significand_;
  return Extended::finite(negative, a.exponent_ + b.exponent_, product, false);
}

Extended operator/(Extended a, Extended b) {
  using Kind = Extended::Kind;
  bool negative = a.negative_ != b.negative_;
  if (a.kind_ == Kind::not_a_number || b.kind_ == Kind::not_a_number)
    return Extended(Kind::not_a_number, negative);
  if (a.kind_ == Kind::infinite) {
    return Extended(b.kind_ == Kind::infinite ? Kind::not_a_number : Kind::infinite, negative);
  }
  if (b.kind_ == Kind::infinite) return Extended(Kind::zero, negative);
  if (b.kind_ == Kind::zero) {
    return Extended(a.kind_ == Kind::zero ? Kind::not_a_number : Kind::infinite, negative);
  }
  if (a.kind_ == Kind::zero) return Extended(Kind::zero, negative);

  // Both significands lie in [2^63, 2^64), so the quotient of a * 2^64 by b has 64 or 65
  // bits. One more step of long division gives the 64-bit case a bit to round on.
  u128 numerator = u128(a.significand_) << 64;
  u128 quotient = numerator / b.significand_;
  u128 remainder = numerator % b.significand_;
  std::int64_t exponent = a.exponent_ - 64 - b.exponent_;
  if (!(quotient >> 64)) {
    remainder <<= 1;
    quotient <<= 1;
    if (remainder >= b.significand_) {
      remainder -= b.significand_;
      quotient |= 1;
    }
    --exponent;
  }
  return Extended::finite(negative, exponent, quotient, remainder != 0);
}

Extended::operator double() const {
  switch (kind_) {
    case Kind::zero:
      return negative_ ? -0.0 : 0.0;
    case Kind::infinite:
      return negative_ ? -HUGE_VAL : HUGE_VAL;
    case Kind::not_a_number:
      return std::nan("");
    case Kind::finite:
      break;
  }
  // The leading bit stands for 2^(exponent_ + 63). Normal doubles keep 53 bits; below
  // 2^-1022 the last kept bit is 2^-1074, so fewer remain.
  std::int64_t lead = exponent_ + 63;
  std::int64_t keep = lead >= -1022 ? 53 : lead + 1075;
  std::int64_t drop = 64 - keep;
  double magnitude = 0;
  if (drop <= 64) {
    u128 wide = significand_;
    u128 kept = wide >> drop;
    u128 rest = wide & ((u128(1) << drop) - 1);
    u128 half = u128(1) << (drop - 1);
    if (rest > half || (rest == half && (kept & 1))) ++kept;
    std::int64_t scale = std::clamp<std::int64_t>(exponent_ + drop, -100000, 100000);
    magnitude = std::ldexp(double(std::uint64_t(kept)), int(scale));  // overflows to infinity
  }
  return negative_ ? -magnitude : magnitude;
}

}  // namespace steptab
