#include "steptab/extended.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <random>
#include <string>

#include "kit/console.h"
#include "steptab/steptab.h"

namespace steptab {
namespace {

// Bitwise equality, with every not-a-number equal to every other.
void expect_same(double expected, double actual, const std::string& what) {
  if (std::isnan(expected)) {
    EXPECT_TRUE(std::isnan(actual)) << what << " gave " << actual;
  } else {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(expected), std::bit_cast<std::uint64_t>(actual))
        << what << ": expected " << kit::double_to_text(expected) << " got "
        << kit::double_to_text(actual) << " (" << std::hexfloat << expected << " / " << actual
        << ")";
  }
}

TEST(Extended, DoublesSurviveTheRoundTrip) {
  for (double value : {0.0, -0.0, 1.0, -2.5, 1677.7216, 5e-324, -2.2250738585072014e-308,
                       1.7976931348623157e308, HUGE_VAL, -HUGE_VAL}) {
    expect_same(value, double(Extended(value)), kit::double_to_text(value));
  }
  EXPECT_TRUE(std::isnan(double(Extended(std::nan("")))));
}

TEST(Extended, SpecialValuesFollowIeee) {
  struct Case {
    double a, b, product, quotient;
  };
  const double inf = HUGE_VAL, nan = std::nan("");
  const Case cases[] = {
      {0.0, inf, nan, 0.0},        {inf, 0.0, nan, inf},           {inf, inf, inf, nan},
      {16777216.0, 0.0, 0.0, inf}, {16777216.0, -0.0, -0.0, -inf}, {0.0, 0.0, 0.0, nan},
      {-3.0, inf, -inf, -0.0},     {nan, 1.0, nan, nan},           {-0.0, 5.0, -0.0, -0.0},
  };
  for (const Case& c : cases) {
    std::string what = kit::double_to_text(c.a) + " and " + kit::double_to_text(c.b);
    expect_same(c.product, double(Extended(c.a) * Extended(c.b)), what + " multiplied");
    expect_same(c.quotient, double(Extended(c.a) / Extended(c.b)), what + " divided");
  }
}

// Exact results that need the 64-bit rounding itself to be right: 2^64 + 1 is not
// representable, so (2^32 + 1)^2 / 2^64 = 1 + 2^-31 + 2^-64 loses its last term (a tie at
// 2^-64 exactly: the even neighbour 1 + 2^-31 wins), and rounding to double then keeps
// 1 + 2^-31. One third rounds to 64 bits and then to the double nearest one third.
TEST(Extended, RoundsToSixtyFourBitsThenToDouble) {
  double a = 4294967297.0;  // 2^32 + 1
  Extended square = Extended(a) * Extended(a);
  expect_same(1.0 + std::ldexp(1.0, -31), double(square / Extended(std::ldexp(1.0, 64))),
              "(2^32+1)^2 / 2^64");
  expect_same(1.0 / 3.0, double(Extended(1.0) / Extended(3.0)), "1/3");
  // The quotient 1 / (1 - 2^-53) = 1 + 2^-53 + 2^-106 + ... rounds to 64 bits as
  // 1 + 2^-53 (+ less than half a unit), which then is a tie for double and goes to the
  // even 1. The correctly rounded double quotient would be 1 + 2^-52.
  double below_one = 1.0 - std::ldexp(1.0, -53);
  expect_same(1.0, double(Extended(1.0) / Extended(below_one)), "1 / (1 - 2^-53)");
  EXPECT_EQ(1.0 + std::ldexp(1.0, -52), 1.0 / below_one);
}

TEST(Extended, SubnormalAndOverflowingResults) {
  // Products far below the smallest normal double round once, at the position of the
  // smallest subnormal, 2^-1074.
  double tiny = std::ldexp(1.0, -600);
  expect_same(std::ldexp(1.0, -1074), double(Extended(tiny) * Extended(std::ldexp(1.0, -474))),
              "2^-1074");
  expect_same(0.0, double(Extended(tiny) * Extended(std::ldexp(1.0, -475))), "2^-1075, a tie");
  expect_same(std::ldexp(1.0, -1074), double(Extended(tiny) * Extended(std::ldexp(1.5, -475))),
              "1.5 * 2^-1075");
  expect_same(std::ldexp(2.0, -1074), double(Extended(tiny) * Extended(std::ldexp(1.25, -473))),
              "2.5 * 2^-1074, a tie to even");
  expect_same(std::ldexp(4.0, -1074), double(Extended(tiny) * Extended(std::ldexp(1.75, -473))),
              "3.5 * 2^-1074, a tie to even");
  expect_same(HUGE_VAL, double(Extended(1e300) * Extended(1e300)), "1e600");
  expect_same(-HUGE_VAL, double(Extended(-1e300) / Extended(1e-300)), "-1e600");
  // Beyond double but inside the wide exponent: divided back, nothing was lost.
  expect_same(1e300, double(Extended(1e300) * Extended(1e300) / Extended(1e300)), "1e300");
}

// Where long double is the 64-bit format, the emulation must give the very same bits.
TEST(Extended, AgreesWithNativeLongDouble) {
  if (!native_extended) GTEST_SKIP() << "long double has another format here";
  std::mt19937_64 random(20240611);
  auto any_double = [&](int min_exponent, int max_exponent) {
    std::uniform_int_distribution<int> exponent(min_exponent, max_exponent);
    double fraction = 0.5 + double(random() >> 11) * std::ldexp(1.0, -54);
    if (random() % 4 == 0) fraction = double(random() % 2048 + 1);  // short significands
    double value = std::ldexp(fraction, exponent(random));
    return random() % 2 ? -value : value;
  };
  for (int i = 0; i < 200000; ++i) {
    int range = int(random() % 3);
    double a = range == 0 ? any_double(-60, 60) : any_double(-1100, 1100);
    double b = range == 2 ? any_double(-1100, 1100) : any_double(-60, 60);
    std::string what = std::to_string(i);
    expect_same(double((long double)a * (long double)b), double(Extended(a) * Extended(b)),
                what + " product");
    expect_same(double((long double)a / (long double)b), double(Extended(a) / Extended(b)),
                what + " quotient");
    double f = any_double(-20, 40), r = any_double(-20, 40);
    expect_same(interrupt_ratio<long double>(f), interrupt_ratio<Extended>(f), what + " X");
    double x = interrupt_ratio<long double>(f);
    expect_same(maximum_delta<long double>(r, x), maximum_delta<Extended>(r, x),
                what + " max delta");
    expect_same(frequency_delta_step<long double>(x, 800), frequency_delta_step<Extended>(x, 800),
                what + " frequency step");
    if (HasFailure()) return;
  }
}

// Typed values where plain double arithmetic prints another last digit. The expected
// texts come from exact rational arithmetic (testdata/model.py).
TEST(Figures, ExtendedPrecisionDecidesTheLastDigit) {
  struct Case {
    double f, r;
    const char* x;
    const char* max_delta;
  };
  const Case cases[] = {
      {2731, 0, "6143.25009154156", "0"},
      {10000, 3, "1677.7216", "0.3289650196078431"},
      {10000, 6, "1677.7216", "0.6579300392156863"},
      {3333.3, 3000, "5033.215132151321", "986.904927872808"},
      {1234.5, 2500, "13590.29242608344", "2220.636017333894"},
      {4444.4, 3, "3774.911349113491", "0.7401786959046062"},
  };
  for (const Case& c : cases) {
    double plain_x = 16777216.0 / c.f;
    double plain_delta = c.r * plain_x / 15300.0;
    EXPECT_TRUE(kit::double_to_text(plain_x) != c.x ||
                kit::double_to_text(plain_delta) != c.max_delta)
        << c.f << ", " << c.r << " is no case where double arithmetic differs";
    auto check = [&](double x, double max_delta, const char* arithmetic) {
      EXPECT_EQ(c.x, kit::double_to_text(x)) << c.f << " in " << arithmetic;
      EXPECT_EQ(c.max_delta, kit::double_to_text(max_delta))
          << c.f << ", " << c.r << " in " << arithmetic;
    };
    double x = interrupt_ratio<Extended>(c.f);
    check(x, maximum_delta<Extended>(c.r, x), "emulation");
    x = interrupt_ratio(c.f);
    check(x, maximum_delta(c.r, x), "the arithmetic in use");
  }
}

TEST(Figures, WorkedExampleAndInfinities) {
  struct Case {
    double f, r;
    const char* x;
    const char* max_delta;
    const char* step_100;
  };
  const Case cases[] = {
      {10000, 3000, "1677.7216", "328.9650196078431", "655.36"},
      {0, 3000, "inf", "inf", "inf"},
      {0, 0, "inf", "nan", "inf"},
      {-0.0, 3000, "-inf", "-inf", "-inf"},
      {HUGE_VAL, 3000, "0", "0", "0"},
      {-10000, 3000, "-1677.7216", "-328.9650196078431", "-655.36"},
  };
  for (const Case& c : cases) {
    double x = interrupt_ratio(c.f);
    EXPECT_EQ(c.x, kit::double_to_text(x)) << c.f;
    EXPECT_EQ(c.max_delta, kit::double_to_text(maximum_delta(c.r, x))) << c.f << ", " << c.r;
    EXPECT_EQ(c.step_100, kit::double_to_text(frequency_delta_step(x, 100))) << c.f;
  }
}

}  // namespace
}  // namespace steptab
