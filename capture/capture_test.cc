#include "capture/capture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <vector>

namespace capture {
namespace {

TEST(OutputNames, OverwriteTheEndOfTheInputName) {
  struct Case {
    std::string input, dump, restore, sheet;
  } cases[] = {
      {"data.bin", "data.bi_", "data.bi1", "data.Txt"},
      {"data.bi_", "data.bi_", "data.bi1", "data.Txt"},
      {"abc", "ab_", "ab1", "Txt"},
      {"cap01.bin", "cap01.bi_", "cap01.bi1", "cap01.Txt"},
      {"dir/sub.d/x.y", "dir/sub.d/x._", "dir/sub.d/x.1", "dir/sub.d/Txt"},
      {"..\\_Out\\cap.BIN", "..\\_Out\\cap.BI_", "..\\_Out\\cap.BI1", "..\\_Out\\cap.Txt"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(dump_name(c.input), c.dump) << c.input;
    EXPECT_EQ(restore_name(c.input), c.restore) << c.input;
    EXPECT_EQ(sheet_name(c.input), c.sheet) << c.input;
  }
}

TEST(OutputNames, OnlyATrailingUnderscoreMeansHexText) {
  EXPECT_TRUE(is_hex_text_name("data.bi_"));
  EXPECT_TRUE(is_hex_text_name("___"));
  EXPECT_FALSE(is_hex_text_name("data.bin"));
  EXPECT_FALSE(is_hex_text_name("_data.bin"));
  EXPECT_FALSE(is_hex_text_name("data_.b-"));
  EXPECT_FALSE(is_hex_text_name(""));
}

TEST(HexPair, EveryByteGivesTwoUpperCaseDigits) {
  for (int byte = 0; byte < 256; ++byte) {
    char expected[3];
    std::snprintf(expected, sizeof expected, "%02X", byte);
    EXPECT_EQ(hex_pair(std::uint8_t(byte)), std::string_view(expected, 2)) << byte;
  }
}

TEST(PairValue, DigitsAreReadFromTheLeftUntilTheFirstOtherCharacter) {
  struct Case {
    char first, second;
    int value;
  } cases[] = {
      {'4', '1', 0x41},  {'f', 'f', 0xFF},  {'F', 'f', 0xFF}, {'0', '0', 0x00}, {'a', '9', 0xA9},
      {'4', 'G', 0x04},  {'G', '4', 0x00},  {' ', '4', 0x00}, {'-', '1', 0x00}, {'+', '1', 0x00},
      {'9', '\0', 0x09}, {'\0', '9', 0x00}, {'g', 'g', 0x00}, {'E', 'e', 0xEE},
  };
  for (const Case& c : cases)
    EXPECT_EQ(pair_value(c.first, c.second), c.value) << c.first << c.second;
  EXPECT_EQ(single_value('7'), 0x07);
  EXPECT_EQ(single_value('c'), 0x0C);
  EXPECT_EQ(single_value('x'), 0x00);
}

struct Restored {
  std::string bytes;
  std::int64_t strange_count, first_strange;
};

// Restores a text one character at a time, or two at a time as dumpflip reads it.
Restored restore(std::string_view text, bool by_twos = false) {
  HexReader reader;
  Restored out;
  std::uint8_t byte = 0;
  std::size_t at = 0;
  if (by_twos) {
    for (; at + 2 <= text.size(); at += 2)
      if (reader.take_two(text[at], text[at + 1], byte)) out.bytes += char(byte);
  }
  for (; at < text.size(); ++at)
    if (reader.take(text[at], byte)) out.bytes += char(byte);
  if (reader.finish(byte)) out.bytes += char(byte);
  out.strange_count = reader.strange_count();
  out.first_strange = reader.first_strange_offset();
  return out;
}

TEST(HexReader, RestoresPairsSkipsWhiteSpaceAndCountsStrangeCharacters) {
  using namespace std::string_literals;
  struct Case {
    std::string text, bytes;
    std::int64_t strange_count, first_strange;
  } cases[] = {
      {"", "", 0, -1},
      {"4142", "AB", 0, -1},
      {"ff00", "\xFF\x00"s, 0, -1},
      {"0a0D", "\x0A\x0D", 0, -1},
      {"417", "A\x07", 0, -1},
      // Line ends and blanks are skipped wherever they fall, also inside a pair.
      {"4142\r\n", "AB", 0, -1},
      {"41\n42\n", "AB", 0, -1},
      {"4\r\n1 4\t2", "AB", 0, -1},
      {"  \t\r\n", "", 0, -1},
      {"4\n", "\x04", 0, -1},
      // Other characters are paired like digits and reported.
      {"4G", "\x04", 1, 1},
      {"G4", "\x00"s, 1, 0},
      {"xx41",
       "\x00"s
       "A",
       2, 0},
      {"41 zz", "A\x00"s, 2, 3},
      {"41\n-1", "A\x00"s, 1, 3},
      {"4\x00"s, "\x04", 1, 1},
      {"41\v42", "A\x00\x02"s, 1, 2},
      {"41\f", "A\x00"s, 1, 2},
      {"G", "\x00"s, 1, 0},
  };
  for (const Case& c : cases) {
    for (bool by_twos : {false, true}) {
      Restored r = restore(c.text, by_twos);
      std::string what = testing::PrintToString(c.text) + (by_twos ? " by twos" : "");
      EXPECT_EQ(r.bytes, c.bytes) << what;
      EXPECT_EQ(r.strange_count, c.strange_count) << what;
      EXPECT_EQ(r.first_strange, c.first_strange) << what;
    }
  }
}

TEST(HexReader, RandomFilesSurviveADumpWithOrWithoutLineEnds) {
  std::mt19937 random(5);
  for (int round = 0; round < 200; ++round) {
    std::string bytes(random() % 600, '\0');
    for (char& b : bytes) b = char(random());
    std::string dump, edited;
    for (char b : bytes) dump += hex_pair(std::uint8_t(b));
    // An editor's view of the same dump: line ends, indents and blanks in random places.
    static const char* whites[] = {"\r\n", "\n", " ", "\t", "\r"};
    for (char c : dump) {
      edited += c;
      if (random() % 7 == 0) edited += whites[random() % 5];
    }
    EXPECT_EQ(dump.size(), 2 * bytes.size());
    for (bool by_twos : {false, true}) {
      Restored plain = restore(dump, by_twos), loose = restore(edited, by_twos);
      EXPECT_EQ(plain.bytes, bytes);
      EXPECT_EQ(loose.bytes, bytes);
      EXPECT_EQ(plain.strange_count + loose.strange_count, 0);
    }
  }
}

TEST(HexReader, ReportsCountAndFirstOffset) {
  EXPECT_EQ(strange_text_report(1, 0),
            "Not hex text: 1 character that is neither a hex digit nor white space, at offset 0");
  EXPECT_EQ(strange_text_report(12, 4096),
            "Not hex text: 12 characters that are neither hex digits nor white space, the first "
            "at offset 4096");
}

struct Sheet {
  std::vector<int> values;
  int lone_line_feeds = 0;
};

Sheet convert(const std::vector<int>& stream) {
  ByteHistory history;
  Sheet sheet;
  for (int b : stream) {
    switch (history.take(std::int8_t(b))) {
      case Event::record:
        sheet.values.push_back(history.value());
        break;
      case Event::lone_line_feed:
        ++sheet.lone_line_feeds;
        break;
      case Event::none:
        break;
    }
  }
  return sheet;
}

TEST(ByteHistory, RecordsTakeTheTwoNewestDataBytes) {
  struct Case {
    const char* what;
    std::vector<int> stream;
    std::vector<int> values;
    int lone_line_feeds;
  } cases[] = {
      {"two records across a line end",
       {0x34, 0x12, 0x3B, 0x0D, 0x0A, 0xFF, 0x00, 0x3B},
       {4660, -1},
       0},
      {"line end between the bytes of a record", {0x01, 0x0D, 0x0A, 0x02, 0x3B}, {513}, 0},
      {"several line ends in a row", {0x01, 0x0D, 0x0A, 0x0D, 0x0A, 0x02, 0x3B}, {513}, 0},
      {"CR CR LF LF", {0x01, 0x0D, 0x0D, 0x0A, 0x0A, 0x02, 0x3B}, {513}, 0},
      {"lone line feed", {0x05, 0x0A, 0x06, 0x3B}, {1541}, 1},
      {"line feed at the start", {0x0A, 0x0A, 0x06, 0x3B}, {1536}, 2},
      {"terminator first", {0x3B}, {0}, 0},
      {"empty", {}, {}, 0},
      {"CR that no LF drops", {0x0D, 0x01, 0x3B}, {269}, 0},
      {"terminator between CR and LF", {0x01, 0x0D, 0x3B, 0x0A, 0x02, 0x3B}, {3329, 513}, 0},
      {"low byte counts signed", {0x80, 0x01, 0x3B}, {128}, 0},
      {"smallest value", {0x80, 0x80, 0x3B}, {-32896}, 0},
      {"largest value", {0x7F, 0x7F, 0x3B}, {32639}, 0},
      {"repeated terminator repeats", {0x34, 0x12, 0x3B, 0x3B}, {4660, 4660}, 0},
      {"single byte at the start", {0x07, 0x3B}, {1792}, 0},
      {"single byte later takes the old high byte",
       {0x34, 0x12, 0x3B, 0x56, 0x3B},
       {4660, 0x12 + 256 * 0x56},
       0},
      {"third byte comes back after a line end", {0x11, 0x22, 0x0D, 0x0A, 0x3B}, {0x2211}, 0},
      {"bytes after the last terminator", {0x34, 0x12, 0x3B, 0x99, 0x88}, {4660}, 0},
  };
  for (const Case& c : cases) {
    Sheet sheet = convert(c.stream);
    EXPECT_EQ(sheet.values, c.values) << c.what;
    EXPECT_EQ(sheet.lone_line_feeds, c.lone_line_feeds) << c.what;
  }
}

}  // namespace
}  // namespace capture
