#include "pwmscope/capture.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

#include "kit/text.h"

namespace pwmscope {
namespace {

// Decodes every tag of a line as the run step does and returns the readings by tag.
std::map<char, TagReading> decode_line(std::string_view line, CaptureFields& fields) {
  std::map<char, TagReading> readings;
  auto positions = find_tags(line);
  for (std::size_t slot = 0; slot < tag_order.size(); ++slot) {
    readings[tag_order[slot]] = decode_tag(tag_order[slot], positions[slot], line, fields);
  }
  update_amplitude_percent(fields);
  return readings;
}

TEST(CaptureLine, DecodesAFullLine) {
  CaptureFields fields;
  auto readings = decode_line("%0800=0000*8000+6000$0FEB", fields);
  EXPECT_EQ(fields.amplitude, 2048);
  EXPECT_EQ(fields.sin_table, 0);
  EXPECT_EQ(fields.sin_amplify, 129);
  EXPECT_EQ(fields.sin_limited, -1510);
  EXPECT_EQ(fields.pwm_duty_cycle, 4075);
  EXPECT_EQ(fields.amplitude_percent, 50.0);
  EXPECT_EQ(fields.pd_cycle_d, 0.0);
  EXPECT_EQ(readings['='].offset, 0.0);
  EXPECT_EQ(readings['*'].offset, 3.96826171875);
  EXPECT_EQ(readings['+'].offset, -44.23828125);
  EXPECT_EQ(readings['$'].offset, 0.0);
  for (char tag : {'=', '*', '+', '$'}) {
    EXPECT_TRUE(readings[tag].present && readings[tag].plotted) << tag;
  }
  for (char tag : {'@', '&', '#', '~'}) EXPECT_FALSE(readings[tag].present) << tag;
  EXPECT_FALSE(readings['%'].plotted);
}

TEST(CaptureLine, FieldValuesAndTheSignRule) {
  struct Case {
    std::string line;
    std::int32_t sin_table;
    double offset;
  };
  const Case cases[] = {
      {"=F000", -4096, -1024},
      {"=FFFF", -1, -0.25},
      {"=f000", 61440, 15360},  // only the upper-case F makes a negative number
      {"=8000", 32768, 8192},
      {"=EFFF", 61439, 15359.75},
      {"=0010", 16, 4},
      {"=a1", 161, 40.25},      // fewer digits give a smaller number
      {"=12G4", 18, 4.5},       // a character that is no digit ends the number
      {"=", 0, 0},              // the tag as the last character
      {"= 123", 0, 0},          // a blank ends it before any digit
      {"=0001=0002", 1, 0.25},  // the first occurrence counts
      {"x=0004,", 4, 1},
  };
  for (const Case& c : cases) {
    CaptureFields fields;
    TagReading reading = decode_line(c.line, fields)['='];
    EXPECT_TRUE(reading.present) << c.line;
    EXPECT_EQ(fields.sin_table, c.sin_table) << c.line;
    EXPECT_EQ(reading.offset, c.offset) << c.line;
  }
}

// The decoding is the kit's text_find and text_to_int, done in one pass without building
// texts; compare the two ways over many lines made of tags, digits and other characters.
TEST(CaptureLine, SameAsTheKitsTextOperations) {
  std::mt19937 random(6);
  const std::string alphabet = "%@&#~=*+$0123456789ABCDEFabcdefFFFFgG ,;x";
  for (int round = 0; round < 20000; ++round) {
    std::string line;
    for (int n = int(random() % 24); n > 0; --n) line += alphabet[random() % alphabet.size()];
    auto positions = find_tags(line);
    for (std::size_t slot = 0; slot < tag_order.size(); ++slot) {
      char tag = tag_order[slot];
      std::int64_t at = kit::text_find(1, line, std::string(1, tag));
      ASSERT_EQ(positions[slot], at) << line << " " << tag;
      if (at == 0) continue;
      std::string field = kit::text_mid(line, at + 1, 4);
      for (bool is_signed : {false, true}) {
        bool negative = is_signed && kit::text_compare(kit::text_left(field, 1), "F") == 0;
        std::int32_t expected =
            kit::text_to_int(kit::text_concat(negative ? "&HFFFF" : "&H0000", field));
        ASSERT_EQ(field_value(line, at, is_signed), expected) << line << " " << tag;
      }
    }
  }
}

TEST(CaptureLine, ShortSignedFieldIsNotNegative) {
  // "F1" gives the digits FFFFF1: a 16-bit negative number needs all four digits.
  CaptureFields fields;
  TagReading reading = decode_line("#0001~F1", fields)['~'];
  EXPECT_EQ(fields.sin3g_table, 16777201);
  EXPECT_EQ(reading.offset, 4.0 * 16777201);
  EXPECT_EQ(decode_line("~FFF0", fields)['~'].offset, -64);
  EXPECT_EQ(fields.sin3g_table, -16);
}

TEST(CaptureLine, UnsignedTagsIgnoreTheSignRule) {
  CaptureFields fields;
  decode_line("%F000@FFFF#F001$FFFF", fields);
  EXPECT_EQ(fields.amplitude, 0xF000);
  EXPECT_EQ(fields.amplitude_shown, 0xFFFF);
  EXPECT_EQ(fields.row_number, 0xF001);
  EXPECT_EQ(fields.pwm_duty_cycle, 0xFFFF);
}

TEST(CaptureLine, AdjustmentsAndScaling) {
  CaptureFields fields;
  auto readings = decode_line("%1000*7F7F+65E6$1000", fields);
  EXPECT_EQ(fields.sin_amplify, 0);
  EXPECT_EQ(fields.sin_limited, 0);
  EXPECT_EQ(fields.amplitude_percent, 100);
  double expected_pd = (4096 - 4075) * (370.0 / 4096);
  EXPECT_EQ(readings['$'].offset, expected_pd);
  EXPECT_EQ(fields.pd_cycle_d, expected_pd);

  // The sin3g trace is four times the value, an integer.
  readings = decode_line("~0010*FFFF", fields);
  EXPECT_EQ(readings['~'].offset, 64);
  // F-fields are negative before the adjustment: -1 - 32639.
  EXPECT_EQ(fields.sin_amplify, -32640);
  EXPECT_EQ(readings['*'].offset, (63.0 / 4096) * -32640);
}

TEST(CaptureLine, AmplitudeZeroGivesUnscaledOffsets) {
  CaptureFields fields;
  decode_line("%0800$1000", fields);
  double pd = fields.pd_cycle_d;
  // "%" as the last character: amplitude 0 from here on, in this very line too.
  auto readings = decode_line("*8000+6000$0FE0%", fields);
  EXPECT_EQ(fields.amplitude, 0);
  EXPECT_EQ(fields.amplitude_percent, 0);
  EXPECT_EQ(readings['*'].offset, 129);
  EXPECT_EQ(readings['+'].offset, -1510);
  EXPECT_EQ(readings['$'].offset, -11);
  EXPECT_EQ(fields.pd_cycle_d, pd);  // kept from the last scaled line
}

TEST(CaptureLine, AmplitudeComesFirstInTheLine) {
  // The "%" field applies to the "*" of its own line even when it is written after it.
  CaptureFields fields;
  auto readings = decode_line("*8000%0800", fields);
  EXPECT_EQ(readings['*'].offset, 3.96826171875);
}

TEST(CaptureLine, AmplitudePercent) {
  const std::pair<std::string, double> cases[] = {
      {"%0800", 50}, {"%0FFF", 99}, {"%1000", 100}, {"%0001", 0}, {"%FFFF", 1599}};
  for (const auto& [line, percent] : cases) {
    CaptureFields fields;
    decode_line(line, fields);
    EXPECT_EQ(fields.amplitude_percent, percent) << line;
  }
}

TEST(CaptureLine, LinesWithoutTagsChangeNothing) {
  CaptureFields fields;
  decode_line("%0800@0123#0007~0001=0002*8000+6000$0FEB", fields);
  const CaptureFields before = fields;
  for (std::string line : {"", "hello", "&1234", "0800 0000"}) {
    auto readings = decode_line(line, fields);
    EXPECT_EQ(fields, before) << line;
    for (auto& [tag, reading] : readings) {
      EXPECT_EQ(reading.present, tag == '&' && line == "&1234") << line << " " << tag;
    }
  }
}

}  // namespace
}  // namespace pwmscope
