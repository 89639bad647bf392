#include "steptab/steptab.h"

#include <algorithm>
#include <cmath>

#include "kit/console.h"
#include "kit/files.h"

namespace steptab {
namespace {

using kit::console;
using kit::Ending;

// An upper bound of the n-th prime (n >= 6): n (ln n + ln ln n).
std::int64_t nth_prime_bound(std::int64_t n) {
  if (n < 6) return 13;
  double x = double(n);
  return std::int64_t(x * (std::log(x) + std::log(std::log(x)))) + 1;
}

// Odd-only sieve: composite[k] tells whether 2k + 1 has a factor.
std::vector<bool> odd_composites(std::int64_t bound) {
  std::vector<bool> composite(std::size_t(bound / 2 + 1), false);
  for (std::int64_t p = 3; p * p <= bound; p += 2) {
    if (composite[std::size_t(p / 2)]) continue;
    for (std::int64_t multiple = p * p; multiple <= bound; multiple += 2 * p)
      composite[std::size_t(multiple / 2)] = true;
  }
  return composite;
}

}  // namespace

PrimeList build_prime_list(std::int32_t prime_limit) {
  prime_limit = std::max(prime_limit, 1);  // entry 1 always holds 2
  PrimeList primes;
  primes.entries.assign(std::size_t(prime_limit) + 1, 0);
  primes.entries[1] = 2;
  // Sieve far enough for the prime after the last one kept; the build ends on it, just
  // as the trial division does. The bound is a proven one, the loop a mere safeguard.
  std::int64_t bound = std::min<std::int64_t>(nth_prime_bound(prime_limit + 1), largest_candidate);
  for (;;) {
    std::vector<bool> composite = odd_composites(bound);
    std::int32_t count = 1;
    for (std::int64_t n = 3; n <= bound; n += 2) {
      if (composite[std::size_t(n / 2)]) continue;
      if (++count > prime_limit) {
        primes.count = count;
        return primes;
      }
      primes.entries[std::size_t(count)] = std::uint64_t(n);
    }
    if (bound == largest_candidate) {
      primes.count = count;
      return primes;
    }
    bound = std::min<std::int64_t>(bound * 2, largest_candidate);
  }
}

PrimeList build_prime_list_by_trial_division(std::int32_t prime_limit) {
  prime_limit = std::max(prime_limit, 1);
  PrimeList primes;
  primes.entries.assign(std::size_t(prime_limit) + 1, 0);
  primes.entries[1] = 2;
  std::int32_t count = 1;
  for (std::int32_t candidate = 3; candidate <= largest_candidate; ++candidate) {
    bool divisible = false;
    for (std::int32_t k = 1; k <= count; ++k) {
      if (std::uint64_t(candidate) % primes.entries[std::size_t(k)] == 0) {
        divisible = true;
        break;
      }
    }
    if (divisible) continue;
    if (++count > prime_limit) break;
    primes.entries[std::size_t(count)] = std::uint64_t(candidate);
  }
  primes.count = count;
  return primes;
}

std::optional<std::int32_t> step_target(int step, double delta_step) {
  if (!std::isfinite(delta_step)) return std::nullopt;
  if (delta_step == 0 || step == 0) return 0;
  // delta_step = ±significand × 2^exponent with an integer significand below 2^53, so the
  // product with a step below 2^10 is an integer below 2^63 times the same power of two:
  // exact, and rounded here by integer arithmetic alone.
  int exponent = 0;
  double fraction = std::frexp(std::fabs(delta_step), &exponent);
  auto significand = std::uint64_t(std::ldexp(fraction, 53));
  exponent -= 53;
  bool negative = (delta_step < 0) != (step < 0);
  std::uint64_t product = significand * std::uint64_t(std::abs(step));
  std::uint64_t magnitude = 0;
  if (exponent >= 0) {
    if (exponent > 31) return std::nullopt;  // the product is at least 2^32
    if (product > (std::uint64_t(1) << 32) >> exponent) return std::nullopt;
    magnitude = product << exponent;
  } else if (exponent > -64) {
    int shift = -exponent;
    std::uint64_t kept = product >> shift;
    std::uint64_t rest = product & ((std::uint64_t(1) << shift) - 1);
    std::uint64_t half = std::uint64_t(1) << (shift - 1);
    if (rest > half || (rest == half && (kept & 1))) ++kept;
    magnitude = kept;
  }  // else the product is below 2^-1 and rounds to 0
  if (negative) {
    if (magnitude > std::uint64_t(1) << 31) return std::nullopt;
    return std::int32_t(-std::int64_t(magnitude));
  }
  if (magnitude > 0x7FFFFFFF) return std::nullopt;
  return std::int32_t(magnitude);
}

std::optional<std::int32_t> nearest_prime(const PrimeList& primes, std::int32_t target) {
  // Entries are compared as unsigned 64-bit numbers with the target widened with its sign,
  // so a negative target lies above them all. The entries are ascending (those left 0 at
  // the end are never greater than any target), so a binary search finds the same first
  // greater entry as a scan from the start.
  auto wide = std::uint64_t(std::int64_t(target));
  std::size_t kept =
      std::min<std::size_t>(std::size_t(std::max(primes.count, 1)), primes.entries.size() - 1);
  auto first = primes.entries.begin() + 1;
  auto upper = std::upper_bound(first, first + std::ptrdiff_t(kept), wide);
  if (upper == first + std::ptrdiff_t(kept)) return std::nullopt;
  std::uint64_t above = *upper - wide;
  std::uint64_t below = wide - *(upper - 1);
  return std::int32_t(above > below ? *(upper - 1) : *upper);
}

std::array<std::optional<StepValue>, steps_per_table> step_values(const PrimeList& primes,
                                                                  double delta_step) {
  std::array<std::optional<StepValue>, steps_per_table> values;
  for (int step = 1; step <= steps_per_table; ++step) {
    std::optional<std::int32_t> target = step_target(step, delta_step);
    if (!target) continue;
    std::optional<std::int32_t> prime = nearest_prime(primes, *target);
    if (prime) values[std::size_t(step - 1)] = StepValue{*prime, *target};
  }
  return values;
}

std::string table_line(int step, const StepValue& value) {
  std::string prime = kit::int_to_text(value.prime);
  return "\tdb low(d'" + prime + "'), high(d'" + prime + "');" + kit::int_to_text(step) + "=" +
         prime;
}

std::string frequency_line(int step, const StepValue& value) {
  std::string prime = kit::int_to_text(value.prime);
  return "\tdb low(d'" + prime + "'), high(d'" + prime + "'), upper(d'" + prime + "');" +
         kit::int_to_text(step) + "=" + prime + ";" + kit::int_to_text(value.target - value.prime);
}

std::string frequency_file_name(std::int32_t frequency) {
  return "c:\\S_" + kit::int_to_text(frequency) + ".inc";
}

namespace {

constexpr std::int32_t fixed_frequencies[] = {100, 200, 400, 800};

}  // namespace

const VariantProfile steptab2_profile = {
    "steptab2",
    "Usage: steptab2\n"
    "Asks for the interrupt frequency in Hz and the maximum RPM, then writes s2.inc into\n"
    "the current folder: 256 step values, each the prime nearest to a multiple of the\n"
    "delta step, and the first 256 primes, as PIC18 assembler db lines.\n",
    5000,
    "c:\\s2.inc",
    {},
    "c:\\s2.inc",
};

const VariantProfile steptab3_profile = {
    "steptab3",
    "Usage: steptab3\n"
    "Asks for the interrupt frequency in Hz and the maximum RPM, then writes s3.inc into\n"
    "the current folder: 256 step values, each the prime nearest to a multiple of the\n"
    "delta step, and the first 256 primes, as PIC18 assembler db lines. Also writes\n"
    "S_100.inc, S_200.inc, S_400.inc and S_800.inc: three-byte step values for those\n"
    "maximum frequencies.\n",
    80000,
    "c:\\s3.inc",
    fixed_frequencies,
    "c:\\S_800.inc",
};

int run_generator(const VariantProfile& profile, int argc, char** argv) {
  if (kit::answer_standard_option(argc, argv, profile.tool, profile.usage)) return 0;

  double F = 0, R = 0;
  kit::input_prompt("Interrupt Freq, Hz:", true);
  kit::input_double(F);
  kit::input_prompt("Maximum RPM:", true);
  kit::input_double(R);

  double X = interrupt_ratio(F);
  kit::print_double(console, X, Ending::zone);
  kit::print_double(console, F, Ending::line);
  double max_delta = maximum_delta(R, X);
  double delta_step = max_delta / 256;

  // The table file: header, step values, prime list. A file that cannot be created was
  // recorded by the open; the prints to it then write nothing.
  kit::file_open(profile.table_file, kit::FileMode::output, 1);
  kit::print_text(1, "; MAX Delta=", Ending::none);
  kit::print_double(1, max_delta, Ending::none);
  kit::print_text(1, ", Delta Step=", Ending::none);
  kit::print_double(1, delta_step, Ending::none);
  kit::print_text(1, ", MAX RPM=", Ending::none);
  kit::print_double(1, R, Ending::none);
  kit::print_text(1, ", Interrupt Frequency=", Ending::none);
  kit::print_double(1, F, Ending::line);
  kit::print_double(console, max_delta, Ending::zone);
  kit::print_double(console, delta_step, Ending::line);

  PrimeList primes = build_prime_list(profile.prime_limit);
  kit::print_int(console, primes.count, Ending::line);

  auto values = step_values(primes, delta_step);
  for (int step = 1; step <= steps_per_table; ++step) {
    if (const auto& value = values[std::size_t(step - 1)])
      kit::print_text(1, table_line(step, *value), Ending::line);
  }
  kit::print_text(1, ";Simple256:;; Tab Simple first 0-255", Ending::line);
  for (int i = 1; i <= steps_per_table; ++i) {
    std::uint64_t prime = primes.entries[std::size_t(i)];
    kit::print_text(1, ";\tdb low(d'" + kit::uint64_to_text(prime) + "');", Ending::none);
    kit::print_int(1, i, Ending::none);
    kit::print_text(1, "=", Ending::none);
    kit::print_uint64(1, prime, Ending::line);
  }
  kit::file_close(1);

  // steptab3: one file of three-byte step values per fixed maximum frequency.
  for (std::int32_t frequency : profile.frequencies) {
    kit::file_open(frequency_file_name(frequency), kit::FileMode::output, 1);
    double frequency_step = frequency_delta_step(X, frequency);
    kit::print_text(1, "; Delta Step=", Ending::none);
    kit::print_double(1, frequency_step, Ending::none);
    kit::print_text(1, ", MAX Freq=", Ending::none);
    kit::print_int(1, frequency, Ending::line);
    auto frequency_values = step_values(primes, frequency_step);
    for (int step = 1; step <= steps_per_table; ++step) {
      if (const auto& value = frequency_values[std::size_t(step - 1)])
        kit::print_text(1, frequency_line(step, *value), Ending::line);
    }
    kit::file_close(1);
  }

  // Failures go to standard error before the closing line, which stays open for the wait.
  kit::report_file_failures(profile.tool);
  kit::print_text(console, "Output data in ", Ending::none);
  kit::print_text(console, profile.closing_file, Ending::none);
  kit::closing_wait(", End Prog, Any Key 2 Exit", false);
  return kit::exit_status();
}

}  // namespace steptab
