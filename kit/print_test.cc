#include <cmath>
#include <functional>
#include <limits>

#include <gtest/gtest.h>

#include "kit/console.h"
#include "kit/files.h"
#include "kit/test_support.h"

namespace kit {
namespace {

// Collects what the print operations send to the console.
class CapturedConsole : public ConsoleDevice {
 public:
  CapturedConsole() {
    set_console_device(this);
    print_text(console, "", Ending::line);  // start every test at column 0
    bytes.clear();
  }
  ~CapturedConsole() override { set_console_device(nullptr); }
  void write(std::string_view text) override { bytes.append(text); }
  std::string read_line() override { return {}; }
  std::string bytes;
};

TEST(DoubleText, SixteenDigitsAndThreeDigitExponent) {
  struct Case {
    double value;
    const char* text;
  } cases[] = {
      {0, "0"},
      {0.1, "0.1"},
      {1677.7216, "1677.7216"},
      {1.0 / 3, "0.3333333333333333"},
      {0.0001, "0.0001"},
      {0.00001234, "1.234e-005"},
      {1e15, "1000000000000000"},
      {1e16, "1e+016"},
      {123456789012345678.0, "1.234567890123457e+017"},
      {1e-300, "1e-300"},
      {-2.5, "-2.5"},
      {328.9650196078431, "328.9650196078431"},
      {1.285019607843137, "1.285019607843137"},
      {655.36, "655.36"},
      {1e100, "1e+100"},
      {std::numeric_limits<double>::max(), "1.797693134862316e+308"},
      {5e-324, "4.940656458412465e-324"},
      {-0.0, "-0"},
      {std::numeric_limits<double>::infinity(), "inf"},
      {-std::numeric_limits<double>::infinity(), "-inf"},
      {std::numeric_limits<double>::quiet_NaN(), "nan"},
      {0.5, "0.5"},
      {123456.0, "123456"},
      {9999999999999999.0, "1e+016"},  // rounds up to 17 digits: exponent form
  };
  for (const Case& c : cases) EXPECT_EQ(double_to_text(c.value), c.text) << c.value;
}

TEST(PrintList, NumbersCarryTheirBlankAndZonesPad) {
  CapturedConsole out;
  struct Case {
    std::function<void()> print;
    std::string expected;
  } cases[] = {
      {[] {
         print_text(console, "A", Ending::none);
         print_int(console, 5, Ending::none);
         print_text(console, "B", Ending::line);
       },
       "A 5B\r\n"},
      {[] {
         print_double(console, 1677.7216, Ending::zone);
         print_double(console, 10000, Ending::line);
       },
       " 1677.7216     10000\r\n"},
      {[] {
         print_text(console, "12345678901234", Ending::zone);
         print_text(console, "x", Ending::line);
       },
       "12345678901234              x\r\n"},
      {[] { print_text(console, "", Ending::zone), print_text(console, "y", Ending::line); },
       "              y\r\n"},
      {[] { print_text(console, "1234567890123", Ending::zone), print_text(console, "", Ending::line); },
       "1234567890123 \r\n"},
      {[] { print_int(console, std::numeric_limits<std::int32_t>::min(), Ending::line); },
       "-2147483648\r\n"},
      {[] { print_uint(console, 0, Ending::line); }, "0\r\n"},
      {[] { print_uint(console, 4294967295u, Ending::line); }, "4294967295\r\n"},
      {[] { print_int64(console, 0, Ending::line); }, " 0\r\n"},
      {[] { print_uint64(console, 2, Ending::line); }, "2\r\n"},
      {[] { print_int(console, std::int8_t(-1), Ending::line); }, "-1\r\n"},
      {[] { print_double(console, -0.0, Ending::line); }, "-0\r\n"},
      {[] { print_double(console, -2.5, Ending::zone), print_text(console, "z", Ending::line); },
       "-2.5          z\r\n"},
      {[] { print_text(console, "", Ending::line); }, "\r\n"},
      // A line feed inside a text restarts the column: the zone pads from there.
      {[] { print_text(console, "abcdef\nxyz", Ending::zone), print_text(console, "!", Ending::line); },
       "abcdef\nxyz           !\r\n"},
      // A comma never ends a line, however far the column has grown.
      {[] {
         for (int i = 0; i < 12; ++i) print_text(console, "1234567", Ending::zone);
         print_text(console, "", Ending::line);
       },
       [] {
         std::string s;
         for (int i = 0; i < 12; ++i) s += "1234567       ";
         return s + "\r\n";
       }()},
  };
  for (const Case& c : cases) {
    out.bytes.clear();
    c.print();
    EXPECT_EQ(out.bytes, c.expected);
    EXPECT_EQ(console_column(), 0);
  }
}

TEST(PrintList, ColumnCountsEveryByteSinceTheLastLineEnd) {
  CapturedConsole out;
  print_text(console, std::string("a\tb\0c", 5), Ending::none);
  EXPECT_EQ(console_column(), 5);
  print_text(console, "x\ry", Ending::none);
  EXPECT_EQ(console_column(), 1);
  print_text(console, "", Ending::line);
  EXPECT_EQ(console_column(), 0);
}

TEST(PlainNumberText, HasNoBlank) {
  EXPECT_EQ(int_to_text(7), "7");
  EXPECT_EQ(int_to_text(-7), "-7");
  EXPECT_EQ(int_to_text(0), "0");
  EXPECT_EQ(int_to_text(std::numeric_limits<std::int32_t>::min()), "-2147483648");
  EXPECT_EQ(uint64_to_text(0), "0");
  EXPECT_EQ(uint64_to_text(18446744073709551615ull), "18446744073709551615");
}

TEST(PrintToFile, WritesBytesUnchangedWithItsOwnColumn) {
  testing::TempDir dir;
  std::string name = (dir / "out.txt").string();
  ASSERT_EQ(file_open(name, FileMode::output, 2), status_ok);
  EXPECT_EQ(print_text(2, std::string(1, '\0'), Ending::none), status_ok);
  EXPECT_EQ(print_text(2, "abc", Ending::zone), status_ok);
  EXPECT_EQ(file_column(2), 14);
  EXPECT_EQ(print_int(2, 42, Ending::line), status_ok);
  EXPECT_EQ(print_double(2, 0.5, Ending::line), status_ok);
  EXPECT_EQ(file_close(2), status_ok);
  EXPECT_EQ(testing::read_file(name), std::string("\0abc", 4) + std::string(10, ' ') +
                                          " 42\r\n 0.5\r\n");
  // A number that is not open takes nothing and says so.
  EXPECT_EQ(print_text(2, "lost", Ending::line), status_bad_call);
}

TEST(PrintToFile, FullDiskGivesShortWriteAndOneRecordedFailure) {
  take_file_failures();
  ASSERT_EQ(file_open("/dev/full", FileMode::output, 3), status_ok);
  std::string block(5000, 'x');
  int worst = status_ok;
  for (int i = 0; i < 10; ++i) worst = std::max(worst, print_text(3, block, Ending::line));
  EXPECT_EQ(worst, status_short_write);
  EXPECT_EQ(file_close(3), status_short_write);
  auto failures = take_file_failures();
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].name, "/dev/full");
  EXPECT_EQ(failures[0].message, "cannot write: No space left on device");
  EXPECT_TRUE(any_file_failure());
}

}  // namespace
}  // namespace kit
