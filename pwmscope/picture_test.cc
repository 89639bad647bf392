#include "pwmscope/picture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <utility>

#include "pwmscope/font.h"
#include "pwmscope/picture_reading.h"

namespace pwmscope {
namespace {

using Pixel = std::pair<int, int>;

// Every pixel that is not black.
std::set<Pixel> lit_pixels(const Picture& picture) {
  std::set<Pixel> lit;
  for (int x = 0; x < picture_width; ++x) {
    const std::uint8_t* column = picture.column(x);
    for (int y = 0; y < picture_height; ++y) {
      if (column[y] != black) lit.insert({x, y});
    }
  }
  return lit;
}

TEST(Picture, PixelRule) {
  const std::pair<float, std::int64_t> cases[] = {
      {0.0f, 0},
      {0.7f, 0},
      {1.0f, 1},
      {515.968f, 515},
      {-0.2f, 0},
      {-0.5f, -1},
      {-0.6f, -1},
      {-1.4f, -1},
      {-1.5f, -2},
      {1279.9f, 1279},
      {1280, 1280},
      {1e30f, std::int64_t(1) << 30},
      {-1e30f, -(std::int64_t(1) << 30)},
  };
  for (const auto& [c, index] : cases) EXPECT_EQ(pixel_index(c), index) << c;
  EXPECT_LT(pixel_index(std::numeric_limits<float>::quiet_NaN()), 0);
}

TEST(Picture, PaletteStartsWithTheTextModeColours) {
  const auto& palette = default_palette();
  EXPECT_EQ(palette[black], (Rgb{0, 0, 0}));
  EXPECT_EQ(palette[light_grey], (Rgb{0xAA, 0xAA, 0xAA}));
  EXPECT_EQ(palette[light_green], (Rgb{0x55, 0xFF, 0x55}));
  EXPECT_EQ(palette[light_cyan], (Rgb{0x55, 0xFF, 0xFF}));
  EXPECT_EQ(palette[light_red], (Rgb{0xFF, 0x55, 0x55}));
  EXPECT_EQ(palette[yellow], (Rgb{0xFF, 0xFF, 0x55}));
  EXPECT_EQ(palette[white], (Rgb{0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(palette[1], (Rgb{0, 0, 0xAA}));
}

TEST(Picture, StartsBlackAndPointsAreClipped) {
  Picture picture;
  EXPECT_TRUE(lit_pixels(picture).empty());
  const std::pair<float, float> outside[] = {
      {1280, 5},
      {-0.6f, 5},
      {5, -0.6f},
      {5, 1024},
      {5, 1e9f},
      {-1e9f, 5},
      {5, std::numeric_limits<float>::quiet_NaN()},
  };
  for (auto [x, y] : outside) picture.draw_point(x, y, white);
  EXPECT_TRUE(lit_pixels(picture).empty());
  picture.draw_point(-0.2f, -0.2f, yellow);
  picture.draw_point(1279.5f, 1023.9f, light_red);
  EXPECT_EQ(lit_pixels(picture), (std::set<Pixel>{{0, 0}, {1279, 1023}}));
  EXPECT_EQ(picture.pixel(0, 0), yellow);
  EXPECT_EQ(picture.pixel(1279, 1023), light_red);
}

TEST(Picture, LinesWithStyleMasks) {
  struct Case {
    const char* name;
    float x1, y1, x2, y2;
    std::uint16_t style;
    std::set<Pixel> expected;
  };
  std::set<Pixel> zero_line;
  for (int x = 0; x < 1280; x += 2) zero_line.insert({x, 512});
  std::set<Pixel> erase_column;
  for (int y = 0; y < 1024; ++y) erase_column.insert({7, y});
  std::set<Pixel> cursor_column;
  for (int y = 0; y < 1024; y += 2) cursor_column.insert({8, y});
  const Case cases[] = {
      {"zero line", 0, 512, 1280, 512, 0xAAAA, zero_line},
      {"erase line", 7, 0, 7, 1024, 0xFFFF, erase_column},
      {"cursor line", 8, 0, 8, 1024, 0xAAAA, cursor_column},
      {"upwards, mask from the first end", 5, 40, 5, 0, 0x8000, {{5, 40}, {5, 24}, {5, 8}}},
      {"downwards", 5, 0, 5, 40, 0x8000, {{5, 0}, {5, 16}, {5, 32}}},
      {"mask wraps", 0, 3, 35, 3, 0x0001, {{15, 3}, {31, 3}}},
      {"start off the picture keeps the phase", -10, 5, 10, 5, 0x8000, {{6, 5}}},
      {"right to left", 1279, 0, 1270, 0, 0xC000, {{1279, 0}, {1278, 0}}},
      {"diagonal", 0, 0, 3, 3, 0xFFFF, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}},
      {"steep", 0, 0, 1, 4, 0xFFFF, {{0, 0}, {0, 1}, {1, 2}, {1, 3}, {1, 4}}},
      {"single point", 3.5f, 9.9f, 3.2f, 9.1f, 0x8000, {{3, 9}}},
      {"empty mask", 0, 0, 100, 100, 0x0000, {}},
      {"wholly outside", 1300, 0, 1300, 1024, 0xFFFF, {}},
      {"far ends", -1e9f, 100, 1e9f, 100, 0xFFFF, {}},
  };
  for (const Case& c : cases) {
    Picture picture;
    picture.draw_line(c.x1, c.y1, c.x2, c.y2, light_green, c.style);
    auto lit = lit_pixels(picture);
    if (std::string(c.name) == "far ends") {
      EXPECT_EQ(lit.size(), 1280u) << c.name;  // the visible part of the long line
      continue;
    }
    EXPECT_EQ(lit, c.expected) << c.name;
  }
}

TEST(Picture, MaskLeavesOtherPixelsAlone) {
  Picture picture;
  picture.draw_line(4, 0, 4, 1024, light_red, 0xFFFF);
  picture.draw_line(4, 0, 4, 1024, light_green, 0xAAAA);
  EXPECT_EQ(picture.pixel(4, 0), light_green);
  EXPECT_EQ(picture.pixel(4, 1), light_red);
  EXPECT_EQ(picture.pixel(4, 1022), light_green);
  EXPECT_EQ(picture.pixel(4, 1023), light_red);
}

TEST(Picture, GlyphsFillTheirWholeCell) {
  Picture picture;
  picture.draw_line(0, 0, 1280, 1024, light_red, 0xFFFF);  // something under the text
  picture.draw_glyph(0, 0, 'A');
  for (int dy = 0; dy < 16; ++dy) {
    for (int dx = 0; dx < 8; ++dx) {
      bool lit = font_8x16['A'][dy] & (0x80 >> dx);
      EXPECT_EQ(picture.pixel(dx, dy), lit ? white : black) << dx << "," << dy;
    }
  }
  EXPECT_EQ(cell_text(picture, 1, 1, 1), "A");
  picture.draw_glyph(63, 159, 'z');
  EXPECT_EQ(cell_text(picture, 64, 160, 1), "z");
  picture.draw_glyph(64, 0, 'B');  // outside the grid: nothing happens
  picture.draw_glyph(0, 160, 'B');
  picture.draw_glyph(-1, 0, 'B');
  EXPECT_EQ(picture.pixel(0, 1023), black);
}

TEST(Picture, PrintableAsciiHasGlyphs) {
  for (int code = 33; code < 127; ++code) {
    bool any = false;
    for (int row = 0; row < glyph_height; ++row) any = any || font_8x16[code][row] != 0;
    EXPECT_TRUE(any) << code;
  }
  for (int row = 0; row < glyph_height; ++row) EXPECT_EQ(font_8x16[' '][row], 0);
}

TEST(Picture, GlyphIsRedrawnAfterPixelsChangedUnderIt) {
  Picture picture;
  picture.draw_glyph(29, 20, '7');
  // An erase line and a point through the cell spoil it; the same character drawn again
  // must come back whole, not be skipped as already shown.
  picture.draw_line(20 * 8 + 3, 0, 20 * 8 + 3, 1024, black, 0xFFFF);
  EXPECT_NE(cell_text(picture, 30, 21, 1), "7");
  picture.draw_glyph(29, 20, '7');
  EXPECT_EQ(cell_text(picture, 30, 21, 1), "7");
  picture.draw_point(20 * 8 + 1, 29 * 16 + 15, light_cyan);
  picture.draw_glyph(29, 20, '7');
  EXPECT_EQ(cell_text(picture, 30, 21, 1), "7");
  picture.draw_line(0, 29 * 16 + 4, 1280, 29 * 16 + 4, light_cyan, 0xFFFF);
  picture.draw_glyph(29, 20, '7');
  EXPECT_EQ(cell_text(picture, 30, 21, 1), "7");
}

TEST(Picture, TextStopsAtLineEndsAndRowEnd) {
  struct Case {
    std::string text;
    std::size_t drawn;
    std::string shown;  // cells 1 to 20 of the row afterwards
  };
  // Each case writes over "0123456789abcdefghij" at column 1; runs of eight that are
  // unchanged, changed or hold a line end are all met.
  const Case cases[] = {
      {"0123456789abcdefghij", 20, "0123456789abcdefghij"},
      {"0123X56789abcdeFghij", 20, "0123X56789abcdeFghij"},
      {"01234567\r89", 8, "0123456789abcdefghij"},
      {"0123Y56789ab\ncdefgh", 12, "0123Y56789abcdefghij"},
      {"012345678Z", 10, "012345678Zabcdefghij"},
      {"\n", 0, "0123456789abcdefghij"},
      {"", 0, "0123456789abcdefghij"},
  };
  for (const Case& c : cases) {
    Picture picture;
    picture.draw_text(3, 0, "0123456789abcdefghij");
    EXPECT_EQ(picture.draw_text(3, 0, c.text), c.drawn) << c.text;
    EXPECT_EQ(cell_text(picture, 4, 1, 20), c.shown) << c.text;
  }
  Picture picture;
  EXPECT_EQ(picture.draw_text(0, 150, "0123456789abcdef"), 10u);  // the row ends at 160
  EXPECT_EQ(cell_text(picture, 1, 151, 10), "0123456789");
  EXPECT_EQ(cell_text(picture, 2, 1, 1), " ");
  EXPECT_EQ(picture.draw_text(64, 0, "x"), 0u);
}

TEST(Picture, ReportsChangedColumns) {
  Picture picture;
  std::array<bool, picture_width> changed;
  ASSERT_TRUE(picture.take_changed_columns(changed));  // a new picture is all new
  EXPECT_TRUE(changed[0] && changed[1279]);
  EXPECT_FALSE(picture.take_changed_columns(changed));
  picture.draw_point(17, 3, white);
  picture.draw_line(900, 0, 900, 1024, black, 0xFFFF);
  picture.draw_glyph(0, 2, 'x');
  ASSERT_TRUE(picture.take_changed_columns(changed));
  std::set<int> columns;
  for (int x = 0; x < picture_width; ++x) {
    if (changed[x]) columns.insert(x);
  }
  EXPECT_EQ(columns, (std::set<int>{16, 17, 18, 19, 20, 21, 22, 23, 900}));
}

}  // namespace
}  // namespace pwmscope
