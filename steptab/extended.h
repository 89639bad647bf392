// Binary floating point with a 64-bit significand, rounded to nearest even after every
// operation: the precision in which the step-table figures are defined. Where the
// compiler's long double has exactly that significand it does the work; elsewhere this
// emulation gives the same results bit for bit.
#pragma once

#include <cstdint>
#include <limits>
#include <type_traits>

namespace steptab {

/// A value with a 64-bit significand and an exponent far wider than any chain of
/// products and quotients of doubles needs (so nothing overflows before the final
/// rounding to double). Signed zeros, infinities and not-a-number behave as in IEEE 754.
class Extended {
 public:
  /// Exact: every double fits.
  Extended(double value);

  friend Extended operator*(Extended a, Extended b);
  friend Extended operator/(Extended a, Extended b);

  /// Rounds to the nearest double, ties to even, subnormals and overflow included.
  explicit operator double() const;

 private:
  enum class Kind : std::uint8_t { zero, finite, infinite, not_a_number };
  Extended(Kind kind, bool negative) : kind_(kind), negative_(negative) {}
  // A finite value is significand_ * 2^exponent_, with the top bit of significand_ set.
  // Rounds wide * 2^exponent to 64 bits; `sticky` tells of a remainder below wide.
  static Extended finite(bool negative, std::int64_t exponent, unsigned __int128 wide, bool sticky);

  Kind kind_ = Kind::zero;
  bool negative_ = false;
  std::int64_t exponent_ = 0;
  std::uint64_t significand_ = 0;
};

/// True when long double is the 64-bit-significand format (x86 and its relatives).
constexpr bool native_extended =
    std::numeric_limits<long double>::digits == 64 && std::numeric_limits<long double>::radix == 2;

/// The type the generators compute in: long double where it fits, else the emulation.
using Wide = std::conditional_t<native_extended, long double, Extended>;

}  // namespace steptab
