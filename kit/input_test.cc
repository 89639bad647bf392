#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "kit/console.h"
#include "kit/test_support.h"

namespace kit {
namespace {

double number_of(const std::string& line) {
  LineItems items(line);
  return number_item_value(items.next_number());
}

std::string text_of(const std::string& line) { return LineItems(line).next_text(); }

TEST(TypedLine, OneItemAsNumberAndAsText) {
  struct Case {
    std::string line;
    double number;
    std::string text;
  } cases[] = {
      {"", 0, ""},
      {"10000", 10000, "10000"},
      {"  12  ", 12, "12  "},
      {"1,5", 1, "1"},
      {"12abc", 12, "12abc"},
      {"abc", 0, "abc"},
      {"-5", -5, "-5"},
      {".5", 0.5, ".5"},
      {"1e3", 1000, "1e3"},
      {"1d3", 1000, "1d3"},
      {"1D3", 1000, "1D3"},
      {"1.5e", 1.5, "1.5e"},
      {"&HFF", 255, "&HFF"},
      {"&b101", 5, "&b101"},
      {"&17", 15, "&17"},
      {"&o17", 15, "&o17"},
      {"&HDD", 221, "&HDD"},  // d after & is a digit, not an exponent
      {"&H", 0, "&H"},
      {"&HFFFFFFFFFFFFFFFF", -1, "&HFFFFFFFFFFFFFFFF"},
      {"12 34", 12, "12 34"},
      {"\"3\"4", 34, "3"},
      {"hello, world", 0, "hello"},
      {"\"hello, world\"", 0, "hello, world"},
      {"+7", 7, "+7"},
      {"-", 0, "-"},
      {".", 0, "."},
      {"\t 42", 42, "42"},
      {"&H2710", 10000, "&H2710"},
      {"1d4", 10000, "1d4"},
      {"123456789012345678", 123456789012345678.0, "123456789012345678"},
      {"1234567890123456789", 1234567890123456789.0, "1234567890123456789"},
      {"1e999", std::numeric_limits<double>::infinity(), "1e999"},
      {"-1e999", -std::numeric_limits<double>::infinity(), "-1e999"},
      {"1e-999", 0, "1e-999"},
      {"inf", 0, "inf"},
      {"0.1", 0.1, "0.1"},
      {"3.14159265358979323846", 3.141592653589793, "3.14159265358979323846"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(number_of(c.line), c.number) << c.line;
    EXPECT_EQ(text_of(c.line), c.text) << c.line;
  }
}

TEST(TypedLine, DecimalConversionIsCorrectlyRounded) {
  // Halfway cases where a digit-by-digit conversion goes wrong.
  EXPECT_EQ(number_of("9007199254740993.0"), 9007199254740992.0);
  EXPECT_EQ(number_of("2.2250738585072011e-308"), 2.2250738585072011e-308);
  EXPECT_EQ(number_of("0.30000000000000004"), 0.30000000000000004);
  EXPECT_EQ(number_of("1677.7216"), 1677.7216);
}

TEST(TypedLine, ItemsFollowOneAnother) {
  LineItems items("  a b , \"c,d\"  ,e\"f\", 7 8");
  EXPECT_EQ(items.next_text(), "a b ");
  EXPECT_EQ(items.next_text(), "c,d");
  EXPECT_EQ(items.next_text(), "e\"f\"");
  EXPECT_EQ(number_item_value(items.next_number()), 7);
  EXPECT_EQ(number_item_value(items.next_number()), 8);
  EXPECT_EQ(items.next_text(), "");
}

TEST(TypedLine, ItemsStopAtTheirLimits) {
  std::string long_text(5000, 'x');
  LineItems texts(long_text);
  EXPECT_EQ(texts.next_text().size(), text_item_limit);
  EXPECT_EQ(texts.next_text().size(), 5000 - text_item_limit);

  // 70 digits: the number item keeps 67 of them, a decimal integer too long for 18.
  std::string digits = "1" + std::string(69, '0');
  LineItems numbers(digits);
  NumberItem item = numbers.next_number();
  EXPECT_EQ(item.text.size(), number_item_limit);
  EXPECT_EQ(number_item_value(item), 1e66);
}

// Runs `body` in a child whose standard input is `input` (a file, not a terminal) and
// returns what the child wrote to standard output.
std::string with_stdin(const std::string& input, void (*body)()) {
  testing::TempDir dir;
  testing::write_file(dir / "in", input);
  int pipe_fds[2];
  EXPECT_EQ(pipe(pipe_fds), 0);
  pid_t child = fork();
  if (child == 0) {
    FILE* in = std::fopen((dir / "in").c_str(), "rb");
    dup2(fileno(in), 0);
    dup2(pipe_fds[1], 1);
    close(pipe_fds[0]);
    body();
    flush_console();
    _exit(0);
  }
  close(pipe_fds[1]);
  std::string out;
  char chunk[4096];
  ssize_t n;
  while ((n = read(pipe_fds[0], chunk, sizeof chunk)) > 0) out.append(chunk, std::size_t(n));
  close(pipe_fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  return out;
}

TEST(StreamInput, ItemsComeStraightFromTheStreamAndNothingIsShown) {
  std::string out = with_stdin("10000,3000\r\n\"x, y\" z\nlast", [] {
    double f = -1, r = -1;
    std::string a, b, c, d;
    input_prompt("Interrupt Freq, Hz:", true);
    input_double(f);
    input_prompt("Maximum RPM:", true);
    input_double(r);
    input_prompt("", true);
    input_text(a);
    input_text(b);
    input_text(c);
    input_text(d);
    print_double(console, f, Ending::none);
    print_double(console, r, Ending::none);
    print_text(console, "|" + a + "|" + b + "|" + c + "|" + d + "|", Ending::none);
  });
  EXPECT_EQ(out, " 10000 3000|x, y|z|last||");
}

TEST(StreamInput, NumberItemsEndAtBlanksAndLineEnds) {
  std::string out = with_stdin("  12  34\r\n56\n", [] {
    double values[4] = {-1, -1, -1, -1};
    for (double& v : values) {
      input_prompt("", true);
      input_double(v);
    }
    for (double v : values) print_double(console, v, Ending::none);
  });
  EXPECT_EQ(out, " 12 34 56 0");
}

TEST(StreamInput, ClosingWaitOnAnEmptyStreamReturns) {
  EXPECT_EQ(with_stdin("", [] {
              print_text(console, "before", Ending::none);
              closing_wait(", End Prog, Any Key 2 Exit", false);
              print_text(console, "after", Ending::none);
            }),
            "beforeafter");
}

}  // namespace
}  // namespace kit
