#include <random>

#include <gtest/gtest.h>

#include "kit/text.h"

namespace kit {
namespace {

TEST(TextPieces, EdgeRules) {
  EXPECT_EQ(text_mid("ABCDEF", 3, -1), "CDEF");
  EXPECT_EQ(text_mid("ABCDEF", 5, 9), "EF");
  EXPECT_EQ(text_mid("ABC", 4, 1), "");
  EXPECT_EQ(text_mid("ABC", 0, 2), "");
  EXPECT_EQ(text_mid("ABC", 2, 0), "");
  EXPECT_EQ(text_mid("", 1, 1), "");
  EXPECT_EQ(text_mid("ABC", 3, 1), "C");
  EXPECT_EQ(text_left("ABC", 2), "AB");
  EXPECT_EQ(text_left("ABC", 9), "ABC");
  EXPECT_EQ(text_left("ABC", 0), "");
  EXPECT_EQ(text_left("ABC", -3), "");
  EXPECT_EQ(text_right("ABC", 2), "BC");
  EXPECT_EQ(text_right("ABC", 3), "ABC");
  EXPECT_EQ(text_right("ABC", -1), "");
  EXPECT_EQ(text_len(std::string("a\0b", 3)), 3);
  EXPECT_EQ(text_concat("ab", std::string("\0c", 2)), std::string("ab\0c", 4));
}

TEST(TextOverwrite, KeepsTheLength) {
  struct Case {
    std::string dest;
    std::int64_t start, count;
    std::string src, expected;
  } cases[] = {
      {"ABCDEF", 5, 3, "XYZ", "ABCDXY"},
      {"ABC", 1, 3, "War", "War"},
      {"ABC", 0, 3, "War", "ABC"},
      {"ABC", 4, 3, "War", "ABC"},
      {"ABC", 2, 0, "War", "ABC"},
      {"ABC", 2, -1, "XY", "AXY"},
      {"ABCDEF", 2, 9, "XY", "AXYDEF"},
      {"ABCDEF", 2, 1, "XY", "AXCDEF"},
      {"", 1, 1, "X", ""},
      {"ABC", 1, 1, "", "ABC"},
      {"listing.txt", 9, 3, "War", "listing.War"},
  };
  for (Case c : cases) {
    text_overwrite(c.dest, c.start, c.count, c.src);
    EXPECT_EQ(c.dest, c.expected);
  }
}

TEST(TextFind, PositionsAndEdges) {
  EXPECT_EQ(text_find(24, "short", " "), 0);
  EXPECT_EQ(text_find(1, "0x0x", "0x"), 1);
  EXPECT_EQ(text_find(2, "0x0x", "0x"), 3);
  EXPECT_EQ(text_find(4, "0x0x", "0x"), 0);
  EXPECT_EQ(text_find(0, "abc", "b"), 0);
  EXPECT_EQ(text_find(1, "abc", ""), 0);
  EXPECT_EQ(text_find(1, "", "a"), 0);
  EXPECT_EQ(text_find(1, "ab", "abc"), 0);
  EXPECT_EQ(text_find(1, "aBc", "bc"), 0);
  EXPECT_EQ(text_find(1, std::string("a\0b\0c", 5), std::string("\0c", 2)), 4);
  EXPECT_EQ(text_find_any(1, "BRA 0x12, 1", ", "), 4);
  EXPECT_EQ(text_find_any(6, "BRA 0x12, 1", ", "), 9);
  EXPECT_EQ(text_find_any(12, "BRA 0x12, 1", ", "), 0);
  EXPECT_EQ(text_find_any(1, "abc", ""), 0);
}

TEST(TextFind, AgreesWithAPlainSearchOnRandomTexts) {
  std::mt19937 random(7);
  for (int round = 0; round < 2000; ++round) {
    std::string s(random() % 40, ' '), pattern(1 + random() % 4, ' ');
    for (char& c : s) c = char('a' + random() % 3);
    for (char& c : pattern) c = char('a' + random() % 3);
    std::int64_t start = std::int64_t(random() % 42);
    std::int64_t expected = 0;
    if (start >= 1 && start <= std::int64_t(s.size()) && pattern.size() <= s.size()) {
      auto at = s.find(pattern, std::size_t(start - 1));
      expected = at == std::string::npos ? 0 : std::int64_t(at) + 1;
    }
    ASSERT_EQ(text_find(start, s, pattern), expected) << s << " / " << pattern << " @" << start;
  }
}

TEST(TextTrimCodeCompare, EdgeRules) {
  EXPECT_EQ(text_trim("  A B  "), "A B");
  EXPECT_EQ(text_trim("\tA "), "\tA");
  EXPECT_EQ(text_trim("    "), "");
  EXPECT_EQ(text_trim(std::string("A \0 \0", 5)), "A");
  EXPECT_EQ(text_trim(std::string("\0A", 2)), std::string("\0A", 2));
  EXPECT_EQ(text_code("", 1), 0);
  EXPECT_EQ(text_code("A", 2), 0);
  EXPECT_EQ(text_code("A", 0), 0);
  EXPECT_EQ(text_code("A", 1), 65);
  EXPECT_EQ(text_code("\xff", 1), 255);
  EXPECT_EQ(text_compare("BRA", "BRA"), 0);
  EXPECT_NE(text_compare("bra", "BRA"), 0);
  EXPECT_LT(text_compare("BR", "BRA"), 0);
  EXPECT_GT(text_compare("\xff", "a"), 0);
  EXPECT_LT(text_compare("", "a"), 0);
}

TEST(TextToInt, RadixAndDecimalRules) {
  struct Case {
    std::string text;
    std::int32_t value;
  } cases[] = {
      {"&H1A4", 420},      {"&h10", 16},          {"&H", 0},
      {"&Hz", 0},          {"&H 12", 0},          {"  &H10", 16},
      {"&B101", 5},        {"&O17", 15},          {"&17", 15},
      {"&C1", 0},          {"&o", 0},             {"&p7", 0},  // 'p' is 112: octal from "p"
      {"&HFFFFFFFF", -1},  {"&H80000000", -2147483647 - 1}, {"&H1FFFFFFFF", -1},
      {"&H-1", 0},         {"&B102", 2},          {"&8", 0},
      {"&", 0},            {"12abc", 12},         {"-7", -7},
      {"", 0},             {"   ", 0},            {" \t\r\n+42", 42},
      {"3000000000", -1294967296}, {"99999999999", -1}, {"4294967295", -1},
      {"-4294967295", 1},  {"-2147483648", -2147483647 - 1}, {"+-3", 0},
      {"&H0000FFFF", 65535}, {"&HFFFFF000", -4096}, {"&H0000FFF1", 65521},
  };
  for (const Case& c : cases) EXPECT_EQ(text_to_int(c.text), c.value) << c.text;
}

}  // namespace
}  // namespace kit
