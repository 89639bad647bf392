// Reading pictures back for the tests.

#include "pwmscope/picture_reading.h"

#include "pwmscope/font.h"

namespace pwmscope {
namespace {

bool cell_shows(const Picture& picture, int row, int column, int code) {
  for (int dy = 0; dy < glyph_height; ++dy) {
    for (int dx = 0; dx < glyph_width; ++dx) {
      bool lit = font_8x16[code][dy] & (0x80 >> dx);
      std::uint8_t expected = lit ? white : black;
      if (picture.pixel((column - 1) * glyph_width + dx, (row - 1) * glyph_height + dy) !=
          expected) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace

std::string cell_text(const Picture& picture, int row, int column, int count) {
  std::string text;
  for (int c = column; c < column + count; ++c) {
    char shown = '\0';
    for (int step = 0; step < 256; ++step) {
      int code = (step + 32) % 256;  // printable ASCII is tried first
      if (cell_shows(picture, row, c, code)) {
        shown = char(code);
        break;
      }
    }
    text += shown;
  }
  return text;
}

std::string picture_rgb(const Picture& picture) {
  const std::array<Rgb, 256>& palette = default_palette();
  std::string rgb;
  rgb.reserve(std::size_t(picture_width) * picture_height * 3);
  for (int y = 0; y < picture_height; ++y) {
    for (int x = 0; x < picture_width; ++x) {
      const Rgb& colour = palette[picture.pixel(x, y)];
      rgb += char(colour.red);
      rgb += char(colour.green);
      rgb += char(colour.blue);
    }
  }
  return rgb;
}

}  // namespace pwmscope
