#include "steptab/steptab.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace steptab {
namespace {

constexpr std::int32_t steptab2_limit = 5000;
constexpr std::int32_t steptab3_limit = 80000;

const PrimeList& short_list() {
  static const PrimeList list = build_prime_list(steptab2_limit);
  return list;
}

const PrimeList& long_list() {
  static const PrimeList list = build_prime_list(steptab3_limit);
  return list;
}

TEST(PrimeList, SieveGivesWhatTrialDivisionGives) {
  for (std::int32_t limit : {1, 2, 3, 4, 5, 6, 7, 10, 100, 1000, steptab2_limit}) {
    PrimeList literal = build_prime_list_by_trial_division(limit);
    PrimeList sieved = build_prime_list(limit);
    EXPECT_EQ(literal.entries, sieved.entries) << "limit " << limit;
    EXPECT_EQ(literal.count, sieved.count) << "limit " << limit;
    EXPECT_EQ(limit + 1, sieved.count) << "limit " << limit;
  }
}

TEST(PrimeList, KnownEntries) {
  const PrimeList& primes = short_list();
  ASSERT_EQ(std::size_t(steptab2_limit) + 1, primes.entries.size());
  EXPECT_EQ(5001, primes.count);
  EXPECT_EQ(0u, primes.entries[0]);
  EXPECT_EQ(2u, primes.entries[1]);
  EXPECT_EQ(3u, primes.entries[2]);
  EXPECT_EQ(1619u, primes.entries[256]);
  EXPECT_EQ(48611u, primes.entries[5000]);
  EXPECT_EQ(48619u, build_prime_list(5001).entries[5001]);

  const PrimeList& longer = long_list();
  ASSERT_EQ(std::size_t(steptab3_limit) + 1, longer.entries.size());
  EXPECT_EQ(80001, longer.count);
  EXPECT_EQ(1020379u, longer.entries[80000]);
  EXPECT_EQ(1020389u, build_prime_list(80001).entries[80001]);
}

// The long list is too slow to compare with the literal build; check instead that it
// holds every prime up to its end and nothing else, by trial division up to the root.
TEST(PrimeList, LongListHoldsExactlyThePrimes) {
  const PrimeList& primes = long_list();
  auto is_prime = [](std::uint64_t n) {
    if (n < 2) return false;
    for (std::uint64_t d = 2; d * d <= n; ++d) {
      if (n % d == 0) return false;
    }
    return true;
  };
  std::size_t next = 1;
  for (std::uint64_t n = 0; n <= primes.entries.back(); ++n) {
    bool listed = next < primes.entries.size() && primes.entries[next] == n;
    ASSERT_EQ(is_prime(n), listed) << n;
    if (listed) ++next;
  }
  EXPECT_EQ(primes.entries.size(), next);
}

TEST(StepTarget, RoundsTheExactProductTiesToEven) {
  struct Case {
    int step;
    double delta;
    std::optional<std::int32_t> target;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const Case cases[] = {
      {1, 2.5, 2},
      {1, 3.5, 4},
      {1, 0.4999, 0},
      {1, 0.5, 0},
      {3, 0.5, 2},
      {5, 0.5, 2},
      {4, -0.125, 0},  // -0.5 goes to the even 0
      {5, -0.125, -1},
      {256, 1.25, 320},
      {255, 1.3, 332},  // 331.5 + a little: 1.3 is slightly above 13/10
      {256, 0.0, 0},
      {1, -0.0, 0},
      {1, 5e-324, 0},
      {1, 2147483647.0, 2147483647},
      {1, 2147483646.5, 2147483646},
      {1, 2147483647.5, std::nullopt},  // the tie goes to 2^31, out of range
      {1, -2147483648.0, -2147483647 - 1},
      {1, -2147483648.5, -2147483647 - 1},
      {1, -2147483649.5, std::nullopt},
      {256, 8388608.0, std::nullopt},  // 2^31
      {255, 8421504.0, 2147483520},
      {1, 1e300, std::nullopt},
      {2, -1e300, std::nullopt},
      {1, inf, std::nullopt},
      {1, -inf, std::nullopt},
      {1, std::nan(""), std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.target, step_target(c.step, c.delta)) << c.step << " x " << c.delta;
  }
}

// Deltas whose product with the step, rounded to double, lands exactly on a half while
// the exact product lies just beside it: the double product would round the other way
// half of the time. The side is told by fma, which rounds i × delta − half only once.
TEST(StepTarget, ExactProductBesideAHalfThatTheDoubleProductHits) {
  int found = 0, double_differs = 0;
  for (int step : {3, 5, 7, 11, 127, 255}) {
    for (double half = 0.5; half < 3000; half = half * 3 + 1) {
      double delta = half / step;
      for (int nudge = 0; nudge < 16; ++nudge) {
        delta = nudge % 2 ? std::nextafter(delta, 0.0) : std::nextafter(delta, 1e9);
        double side = std::fma(double(step), delta, -half);
        if (double(step) * delta != half || side == 0) continue;
        ++found;
        auto expected = std::int32_t(side > 0 ? std::ceil(half) : std::floor(half));
        EXPECT_EQ(expected, step_target(step, delta)) << step << " x " << delta;
        if (std::nearbyint(double(step) * delta) != expected) ++double_differs;
      }
    }
  }
  EXPECT_GT(found, 10);
  EXPECT_GT(double_differs, 0);

  // One case by hand: delta = (2^54 + 2) / 3 × 2^-55, so 3 × delta = 0.5 + 2^-54 exactly,
  // which rounds to 1; the double product is the tie 0.5 and would give 0.
  double delta = std::ldexp(double(((std::uint64_t(1) << 54) + 2) / 3), -55);
  EXPECT_EQ(0.5, 3 * delta);
  EXPECT_EQ(1, step_target(3, delta));
}

TEST(NearestPrime, TargetsAndTieBreak) {
  struct Case {
    std::int32_t target;
    std::int32_t prime;
  };
  // Ties go to the larger prime; below 2 the lower neighbour is entry 0.
  const Case cases[] = {{0, 0},       {1, 2},     {2, 2},         {3, 3},         {4, 5},
                        {7, 7},       {8, 7},     {9, 11},        {10, 11},       {12, 13},
                        {1618, 1619}, {329, 331}, {48610, 48611}, {48602, 48611}, {48601, 48593}};
  for (const Case& c : cases) {
    EXPECT_EQ(c.prime, nearest_prime(short_list(), c.target)) << c.target;
    EXPECT_EQ(c.prime, nearest_prime(long_list(), c.target)) << c.target;
  }
  EXPECT_EQ(48611, nearest_prime(long_list(), 48611));
  EXPECT_EQ(48619, nearest_prime(long_list(), 48616));
  EXPECT_EQ(1020379, nearest_prime(long_list(), 1020378));
  EXPECT_EQ(1020379, nearest_prime(long_list(), 1020370));
}

TEST(NearestPrime, NoValueAtOrBeyondTheLastPrimeOrBelowZero) {
  for (std::int32_t target : {48611, 48612, 1000000, -1, -2147483647 - 1, 2147483647}) {
    EXPECT_EQ(std::nullopt, nearest_prime(short_list(), target)) << target;
  }
  for (std::int32_t target : {1020379, 1020380, -5, 2147483647}) {
    EXPECT_EQ(std::nullopt, nearest_prime(long_list(), target)) << target;
  }
}

// The search must find what a scan of the list from its start finds, for every target.
TEST(NearestPrime, SameAsAScanFromTheStart) {
  const PrimeList& primes = short_list();
  auto scan = [&](std::int32_t t) -> std::optional<std::int32_t> {
    auto wide = std::uint64_t(std::int64_t(t));
    for (std::int32_t j = 1; j <= steptab2_limit; ++j) {
      if (primes.entries[std::size_t(j)] > wide) {
        std::uint64_t up = primes.entries[std::size_t(j)] - wide;
        std::uint64_t down = wide - primes.entries[std::size_t(j - 1)];
        return std::int32_t(up > down ? primes.entries[std::size_t(j - 1)]
                                      : primes.entries[std::size_t(j)]);
      }
    }
    return std::nullopt;
  };
  for (std::int32_t t = -3; t <= 48700; ++t) {
    ASSERT_EQ(scan(t), nearest_prime(primes, t)) << t;
  }
}

TEST(StepValues, WholeTables) {
  auto value = [](const auto& values, int step) { return values[std::size_t(step - 1)]; };
  auto is = [](std::int32_t prime, std::int32_t target) {
    return std::optional<StepValue>(StepValue{prime, target});
  };
  auto same = [](const std::optional<StepValue>& a, const std::optional<StepValue>& b) {
    return a.has_value() == b.has_value() &&
           (!a || (a->prime == b->prime && a->target == b->target));
  };

  auto half = step_values(short_list(), 0.5);
  EXPECT_TRUE(same(is(0, 0), value(half, 1)));
  EXPECT_TRUE(same(is(2, 1), value(half, 2)));
  EXPECT_TRUE(same(is(2, 2), value(half, 3)));
  EXPECT_TRUE(same(is(2, 2), value(half, 5)));
  EXPECT_TRUE(same(is(127, 128), value(half, 256)));

  auto negative = step_values(short_list(), -0.125);
  for (int step = 1; step <= 4; ++step) EXPECT_TRUE(same(is(0, 0), value(negative, step)));
  for (int step = 5; step <= 256; ++step) EXPECT_FALSE(value(negative, step)) << step;

  for (double delta : {0.0, -0.0}) {
    for (const auto& v : step_values(short_list(), delta)) EXPECT_TRUE(same(is(0, 0), v));
  }
  for (double delta : {HUGE_VAL, -HUGE_VAL, std::nan("")}) {
    for (const auto& v : step_values(long_list(), delta)) EXPECT_FALSE(v);
  }

  // The worked example: F = 10000, R = 3000.
  double x = interrupt_ratio(10000);
  auto table = step_values(short_list(), maximum_delta(3000, x) / 256);
  EXPECT_TRUE(same(is(2, 1), value(table, 1)));
  EXPECT_TRUE(same(is(5, 4), value(table, 3)));
  EXPECT_TRUE(same(is(5, 5), value(table, 4)));
  EXPECT_TRUE(same(is(331, 329), value(table, 256)));

  auto slow = step_values(long_list(), frequency_delta_step(x, 100));
  EXPECT_TRUE(same(is(653, 655), value(slow, 1)));
  EXPECT_TRUE(same(is(1973, 1966), value(slow, 3)));
  EXPECT_TRUE(same(is(167771, 167772), value(slow, 256)));

  auto fast = step_values(long_list(), frequency_delta_step(x, 800));
  EXPECT_TRUE(same(is(1017119, 1017119), value(fast, 194)));
  for (int step = 195; step <= 256; ++step) EXPECT_FALSE(value(fast, step)) << step;
}

TEST(IncludeLines, Forms) {
  EXPECT_EQ("\tdb low(d'2'), high(d'2');1=2", table_line(1, {2, 1}));
  EXPECT_EQ("\tdb low(d'331'), high(d'331');256=331", table_line(256, {331, 329}));
  EXPECT_EQ("\tdb low(d'0'), high(d'0');17=0", table_line(17, {0, 0}));
  EXPECT_EQ("\tdb low(d'653'), high(d'653'), upper(d'653');1=653;2", frequency_line(1, {653, 655}));
  EXPECT_EQ("\tdb low(d'1973'), high(d'1973'), upper(d'1973');3=1973;-7",
            frequency_line(3, {1973, 1966}));
  EXPECT_EQ("\tdb low(d'1017119'), high(d'1017119'), upper(d'1017119');194=1017119;0",
            frequency_line(194, {1017119, 1017119}));
  EXPECT_EQ("c:\\S_100.inc", frequency_file_name(100));
  EXPECT_EQ("c:\\S_800.inc", frequency_file_name(800));
}

TEST(VariantProfiles, DifferOnlyWhereTheToolsDiffer) {
  EXPECT_EQ(5000, steptab2_profile.prime_limit);
  EXPECT_EQ("c:\\s2.inc", steptab2_profile.table_file);
  EXPECT_TRUE(steptab2_profile.frequencies.empty());
  EXPECT_EQ("c:\\s2.inc", steptab2_profile.closing_file);
  EXPECT_EQ(80000, steptab3_profile.prime_limit);
  EXPECT_EQ("c:\\s3.inc", steptab3_profile.table_file);
  EXPECT_EQ((std::vector<std::int32_t>{100, 200, 400, 800}),
            std::vector<std::int32_t>(steptab3_profile.frequencies.begin(),
                                      steptab3_profile.frequencies.end()));
  EXPECT_EQ("c:\\S_800.inc", steptab3_profile.closing_file);
}

}  // namespace
}  // namespace steptab
