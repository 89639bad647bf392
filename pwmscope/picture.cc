// Pixels, lines and glyphs of the plot picture.

#include "pwmscope/picture.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "pwmscope/font.h"

namespace pwmscope {
namespace {

// Pixel indices are kept within this bound so that the line arithmetic stays exact in
// 64 bits; such coordinates are far outside the picture anyway.
constexpr std::int64_t coordinate_bound = std::int64_t(1) << 30;

std::array<Rgb, 256> make_palette() {
  std::array<Rgb, 256> palette{};
  static constexpr Rgb text_mode[16] = {
      {0x00, 0x00, 0x00}, {0x00, 0x00, 0xAA}, {0x00, 0xAA, 0x00}, {0x00, 0xAA, 0xAA},
      {0xAA, 0x00, 0x00}, {0xAA, 0x00, 0xAA}, {0xAA, 0x55, 0x00}, {0xAA, 0xAA, 0xAA},
      {0x55, 0x55, 0x55}, {0x55, 0x55, 0xFF}, {0x55, 0xFF, 0x55}, {0x55, 0xFF, 0xFF},
      {0xFF, 0x55, 0x55}, {0xFF, 0x55, 0xFF}, {0xFF, 0xFF, 0x55}, {0xFF, 0xFF, 0xFF},
  };
  std::copy(std::begin(text_mode), std::end(text_mode), palette.begin());
  int index = 16;
  for (int red = 0; red < 6; ++red) {
    for (int green = 0; green < 6; ++green) {
      for (int blue = 0; blue < 6; ++blue) {
        palette[index++] = {std::uint8_t(red * 51), std::uint8_t(green * 51),
                            std::uint8_t(blue * 51)};
      }
    }
  }
  for (int grey = 0; index < 256; ++grey) {
    std::uint8_t level = std::uint8_t(8 + grey * 10);
    palette[index++] = {level, level, level};
  }
  return palette;
}

// The quotient rounded to the nearest integer, halves away from zero.
std::int64_t rounded_quotient(std::int64_t numerator, std::int64_t denominator) {
  std::int64_t twice = 2 * numerator;
  return (twice + (twice < 0 ? -denominator : denominator)) / (2 * denominator);
}

// The steps i of 0..n at which start + direction * i lies in 0..limit - 1 (direction
// is -1 or +1); empty when first > last.
void steps_inside(std::int64_t start, std::int64_t direction, std::int64_t n, int limit,
                  std::int64_t& first, std::int64_t& last) {
  if (direction > 0) {
    first = std::max<std::int64_t>(0, -start);
    last = std::min<std::int64_t>(n, limit - 1 - start);
  } else {
    first = std::max<std::int64_t>(0, start - (limit - 1));
    last = std::min<std::int64_t>(n, start);
  }
}

// Every glyph as it lies in the picture's memory: 8 columns of 16 palette indices.
using GlyphColumns = std::uint8_t[glyph_width][glyph_height];

const GlyphColumns* glyph_columns() {
  static const auto* table = [] {
    auto* glyphs = new GlyphColumns[256];
    for (int code = 0; code < 256; ++code) {
      for (int dx = 0; dx < glyph_width; ++dx) {
        for (int dy = 0; dy < glyph_height; ++dy) {
          bool lit = font_8x16[code][dy] & (0x80 >> dx);
          glyphs[code][dx][dy] = lit ? white : black;
        }
      }
    }
    return glyphs;
  }();
  return table;
}

bool style_bit(std::uint16_t style, std::int64_t step) { return (style >> (15 - (step & 15))) & 1; }

}  // namespace

const std::array<Rgb, 256>& default_palette() {
  static const std::array<Rgb, 256> palette = make_palette();
  return palette;
}

std::int64_t pixel_index(float c) {
  if (std::isnan(c)) return -coordinate_bound;
  double value = c;
  double index = value > 0 ? std::trunc(value) : std::trunc(value - 0.5);
  return std::int64_t(std::clamp(index, double(-coordinate_bound), double(coordinate_bound)));
}

Picture::Picture()
    : columns_(std::size_t(picture_width) * picture_height, black),
      cells_(std::size_t(text_rows) * text_columns, no_glyph) {
  changed_.fill(true);
}

void Picture::render_glyph(std::size_t cell, std::uint8_t code) const {
  const GlyphColumns& glyph = glyph_columns()[code];
  std::size_t row = cell / text_columns;
  int left = int(cell % text_columns) * glyph_width;
  std::uint8_t* pixels = &columns_[std::size_t(left) * picture_height + row * glyph_height];
  for (int dx = 0; dx < glyph_width; ++dx) {
    std::memcpy(pixels, glyph[dx], glyph_height);
    pixels += picture_height;
    changed_[left + dx] = true;
  }
  any_changed_ = true;
  cells_[cell] = shown | code;
}

void Picture::render_pending() const {
  for (std::uint32_t cell : pending_) {
    if (cells_[cell] & pending) render_glyph(cell, std::uint8_t(cells_[cell]));
  }
  pending_.clear();
}

void Picture::overdraw(int x, int y_first, int y_last) {
  changed_[x] = true;
  any_changed_ = true;
  int text_column = x / glyph_width;
  if (glyph_cells_[text_column] == 0) return;  // no text in this column of cells
  std::size_t cell = std::size_t(y_first / glyph_height) * text_columns + std::size_t(text_column);
  for (int row = y_first / glyph_height; row <= y_last / glyph_height; ++row) {
    if (cells_[cell] & pending) render_glyph(cell, std::uint8_t(cells_[cell]));
    if (cells_[cell] != no_glyph) {
      cells_[cell] = no_glyph;
      --glyph_cells_[text_column];
    }
    cell += text_columns;
  }
}

void Picture::draw_point(float x, float y, std::uint8_t colour) {
  std::int64_t px = pixel_index(x);
  std::int64_t py = pixel_index(y);
  if (px < 0 || px >= picture_width || py < 0 || py >= picture_height) return;
  set(px, py, colour);
}

void Picture::draw_vertical(std::int64_t x, std::int64_t y1, std::int64_t y2, std::uint8_t colour,
                            std::uint16_t style) {
  if (x < 0 || x >= picture_width) return;
  std::int64_t direction = y2 >= y1 ? 1 : -1;
  std::int64_t first, last;
  steps_inside(y1, direction, (y2 - y1) * direction, picture_height, first, last);
  if (first > last) return;
  std::uint8_t* column = &columns_[std::size_t(x) * picture_height];
  std::int64_t y_first = y1 + direction * first;
  std::int64_t y_last = y1 + direction * last;
  overdraw(int(x), int(std::min(y_first, y_last)), int(std::max(y_first, y_last)));
  if (style == 0xFFFF) {
    std::int64_t top = std::min(y_first, y_last);
    std::memset(column + top, colour, std::size_t(std::max(y_first, y_last) - top + 1));
  } else {
    // The mask repeats every 16 pixels along the column: lay one period out as bytes to
    // keep and bytes to put, and blend the column 16 pixels at a time.
    std::int64_t top = std::min(y_first, y_last);
    std::int64_t bottom = std::max(y_first, y_last);
    std::uint8_t keep[16], put[16];
    for (int j = 0; j < 16; ++j) {
      bool on = style_bit(style, ((top + j - y1) * direction) & 15);
      keep[j] = on ? 0x00 : 0xFF;
      put[j] = on ? colour : 0x00;
    }
    std::uint8_t* pixels = column + top;
    std::int64_t count = bottom - top + 1;
    std::int64_t whole = count & ~std::int64_t(15);
    for (std::int64_t at = 0; at < whole; at += 16) {
      for (int j = 0; j < 16; ++j)
        pixels[at + j] = std::uint8_t((pixels[at + j] & keep[j]) | put[j]);
    }
    for (std::int64_t at = whole; at < count; ++at) {
      pixels[at] = std::uint8_t((pixels[at] & keep[at & 15]) | put[at & 15]);
    }
  }
}

void Picture::draw_line(float x1, float y1, float x2, float y2, std::uint8_t colour,
                        std::uint16_t style) {
  std::int64_t ax = pixel_index(x1), ay = pixel_index(y1);
  std::int64_t bx = pixel_index(x2), by = pixel_index(y2);
  if (ax == bx) return draw_vertical(ax, ay, by, colour, style);
  std::int64_t dx = bx - ax, dy = by - ay;
  std::int64_t n = std::max(std::abs(dx), std::abs(dy));
  // Walk the longer axis one pixel per step; only steps whose major coordinate lies in
  // the picture can set a pixel, and the mask keeps counting from the first end-point.
  bool x_major = std::abs(dx) >= std::abs(dy);
  std::int64_t major_start = x_major ? ax : ay;
  std::int64_t major_direction = (x_major ? dx : dy) > 0 ? 1 : -1;
  std::int64_t minor_start = x_major ? ay : ax;
  std::int64_t minor_delta = x_major ? dy : dx;
  std::int64_t first, last;
  steps_inside(major_start, major_direction, n, x_major ? picture_width : picture_height, first,
               last);
  for (std::int64_t step = first; step <= last; ++step) {
    if (!style_bit(style, step)) continue;
    std::int64_t major = major_start + major_direction * step;
    std::int64_t minor = minor_start + rounded_quotient(step * minor_delta, n);
    std::int64_t x = x_major ? major : minor;
    std::int64_t y = x_major ? minor : major;
    if (x >= 0 && x < picture_width && y >= 0 && y < picture_height) set(x, y, colour);
  }
}

std::size_t Picture::draw_text(int row, int column, std::string_view text) {
  if (row < 0 || row >= text_rows || column < 0 || column >= text_columns) return 0;
  std::size_t first = std::size_t(row) * text_columns + std::size_t(column);
  std::size_t count = std::min(text.size(), std::size_t(text_columns - column));
  std::uint16_t* cell = &cells_[first];
  // One character: a line end stops the text; a cell that shows it or is about to
  // needs nothing; any other becomes pending with the new character.
  auto put = [&](std::size_t i) {
    std::uint8_t code = std::uint8_t(text[i]);
    if (code == '\r' || code == '\n') return false;
    if ((cell[i] & (no_glyph | 0xFF)) != code) {
      if (cell[i] == no_glyph) ++glyph_cells_[std::size_t(column) + i];
      if (!(cell[i] & pending)) pending_.push_back(std::uint32_t(first + i));
      cell[i] = pending | code;
    }
    return true;
  };
  std::size_t i = 0;
#ifdef __SSE2__
  // The panel prints mostly what its cells hold already: compare eight characters at a
  // time, and look at each of them only when one differs or ends the line.
  const __m128i zero = _mm_setzero_si128();
  const __m128i code_mask = _mm_set1_epi16(std::int16_t(no_glyph | 0xFF));
  const __m128i carriage_return = _mm_set1_epi8('\r');
  const __m128i line_feed = _mm_set1_epi8('\n');
  for (; i + 8 <= count; i += 8) {
    __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(text.data() + i));
    __m128i ends =
        _mm_or_si128(_mm_cmpeq_epi8(bytes, carriage_return), _mm_cmpeq_epi8(bytes, line_feed));
    __m128i held =
        _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cell + i)), code_mask);
    __m128i same = _mm_cmpeq_epi16(_mm_unpacklo_epi8(bytes, zero), held);
    if (_mm_movemask_epi8(same) == 0xFFFF && (_mm_movemask_epi8(ends) & 0xFF) == 0) continue;
    for (std::size_t end = i + 8; i < end; ++i) {
      if (!put(i)) return finish_text(i);
    }
    i -= 8;
  }
#endif
  for (; i < count; ++i) {
    if (!put(i)) break;
  }
  return finish_text(i);
}

std::size_t Picture::finish_text(std::size_t drawn) {
  // Cells drawn over and written again are listed again; keep the list short.
  if (pending_.size() > cells_.size()) render_pending();
  return drawn;
}

bool Picture::take_changed_columns(std::array<bool, picture_width>& changed) {
  render_pending();
  if (!any_changed_) return false;
  changed = changed_;
  changed_.fill(false);
  any_changed_ = false;
  return true;
}

}  // namespace pwmscope
