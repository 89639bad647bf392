// The step-table generators: the prime list, the nearest-prime step values, the figures
// derived from the typed frequency and speed, the include-file lines, and the one flow
// that steptab2 and steptab3 share, each with its own variant profile.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "steptab/extended.h"

namespace steptab {

// ---------------------------------------------------------------------------------
// Prime list and step values.

/// Candidates tried when the list is built never go beyond this.
constexpr std::int32_t largest_candidate = 10'000'000;

struct PrimeList {
  /// Entries 0 to the prime limit: entry 0 is 0, then the first primes in ascending order
  /// (entries that no prime reached stay 0).
  std::vector<std::uint64_t> entries;
  /// The prime limit plus one: the build stops when it meets the prime after the last
  /// one kept. Only if the candidates ran out first is it the number of primes found.
  std::int32_t count = 0;
};

/// The first `prime_limit` primes (at least one), found with a sieve.
PrimeList build_prime_list(std::int32_t prime_limit);

/// The same list by the original method: every candidate divided by every prime before
/// it, without a square-root cut-off, so quadratic. Kept as the reference that the sieve
/// is tested and measured against.
PrimeList build_prime_list_by_trial_division(std::int32_t prime_limit);

/// step × delta_step, formed exactly and rounded to the nearest integer (ties to even);
/// nothing when that is not a number or outside the signed 32-bit range.
std::optional<std::int32_t> step_target(int step, double delta_step);

/// The kept prime nearest to `target` (entry 0, that is 0, below the first prime), the
/// larger one on a tie; nothing when the target is negative or not below the largest
/// prime kept.
std::optional<std::int32_t> nearest_prime(const PrimeList& primes, std::int32_t target);

struct StepValue {
  std::int32_t prime;
  std::int32_t target;
};

constexpr int steps_per_table = 256;

/// Steps 1 to 256 in order (index 0 holds step 1); absent steps are empty.
std::array<std::optional<StepValue>, steps_per_table> step_values(const PrimeList& primes,
                                                                  double delta_step);

// ---------------------------------------------------------------------------------
// Figures from the typed answers: every operation rounds to a 64-bit significand, and
// each result is rounded to double once, when stored. `Real` is long double where that
// is the 64-bit-significand format, or the emulation; tests try both.

/// X: 2^24 / F.
template <class Real = Wide>
double interrupt_ratio(double interrupt_frequency) {
  return double(Real(16777216.0) / Real(interrupt_frequency));
}

/// Max delta: R × X / 15300.
template <class Real = Wide>
double maximum_delta(double maximum_rpm, double ratio) {
  return double(Real(maximum_rpm) * Real(ratio) / Real(15300.0));
}

/// The delta step of a frequency file: X × f / 256, where the product is exact.
template <class Real = Wide>
double frequency_delta_step(double ratio, std::int32_t frequency) {
  return double(Real(ratio) * Real(double(frequency)) / Real(256.0));
}

// ---------------------------------------------------------------------------------
// Include-file lines (without their line end).

/// TAB db low(d'P'), high(d'P');i=P
std::string table_line(int step, const StepValue& value);

/// TAB db low(d'P'), high(d'P'), upper(d'P');i=P;target-P
std::string frequency_line(int step, const StepValue& value);

/// c:\S_<frequency>.inc
std::string frequency_file_name(std::int32_t frequency);

// ---------------------------------------------------------------------------------
// The generator run.

/// What tells steptab2 and steptab3 apart.
struct VariantProfile {
  std::string_view tool;
  std::string_view usage;
  std::int32_t prime_limit;
  std::string_view table_file;
  std::span<const std::int32_t> frequencies;  // one frequency file each, in this order
  std::string_view closing_file;              // named in the closing message
};

extern const VariantProfile steptab2_profile;
extern const VariantProfile steptab3_profile;

/// The whole program: prompts, table file, frequency files, closing message and wait.
/// Returns the exit status (1 when a file could not be created or written).
int run_generator(const VariantProfile& profile, int argc, char** argv);

}  // namespace steptab
