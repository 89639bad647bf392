// Fuzz target: the picture's drawing with any coordinates (huge, negative, infinite,
// not a number), masks and colours, and text written anywhere. A line sets pixels only
// between its end-points, one per step of its longer axis, the first end-point with
// bit 15 of the mask; a point sets at most its own pixel; text sets pixels only in the
// rows from its cursor's row down.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "kit/fuzz_support.h"
#include "pwmscope/picture.h"
#include "pwmscope/text_screen.h"

namespace {

using namespace pwmscope;

std::int64_t model_pixel(float c) {
  if (std::isnan(c)) return INT64_MIN / 4;
  double value = std::clamp<double>(c, -1e12, 1e12);
  return std::int64_t(value > 0 ? std::trunc(value) : std::trunc(value - 0.5));
}

bool inside(std::int64_t x, std::int64_t y) {
  return x >= 0 && x < picture_width && y >= 0 && y < picture_height;
}

// The columns changed since the last call; none when the picture says nothing changed.
void take_changed(Picture& picture, std::array<bool, picture_width>& changed) {
  if (!picture.take_changed_columns(changed)) changed.fill(false);
}

// Counts the pixels that are not black in the columns that changed, and checks that
// each lies in the box.
std::int64_t lit_pixels(const Picture& picture, const std::array<bool, picture_width>& changed,
                        std::int64_t x_low, std::int64_t x_high, std::int64_t y_low,
                        std::int64_t y_high) {
  std::int64_t lit = 0;
  for (int x = 0; x < picture_width; ++x) {
    if (!changed[x]) continue;
    const std::uint8_t* pixels = picture.column(x);
    for (int y = 0; y < picture_height; ++y) {
      if (pixels[y] == black) continue;
      check(x >= x_low && x <= x_high && y >= y_low && y <= y_high);
      ++lit;
    }
  }
  return lit;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 20) return 0;
  float coordinate[4];
  std::memcpy(coordinate, data, sizeof coordinate);
  std::uint16_t style = std::uint16_t(data[16] | data[17] << 8);
  std::uint8_t colour = std::uint8_t(data[18] | 1);
  std::uint8_t choice = data[19];
  std::string text(reinterpret_cast<const char*>(data + 20), size - 20);
  // Small coordinates most of the time, so that lines cross the picture often.
  if (choice & 1)
    for (float& c : coordinate) c = std::isfinite(c) ? std::fmod(c, 3000.0f) : c;

  Picture picture;
  std::array<bool, picture_width> changed{};
  take_changed(picture, changed);
  auto [x1, y1, x2, y2] = coordinate;
  std::int64_t ax = model_pixel(x1), ay = model_pixel(y1), bx = model_pixel(x2), by = model_pixel(y2);

  if (choice & 2) {
    picture.draw_point(x1, y1, colour);
    take_changed(picture, changed);
    std::int64_t lit = lit_pixels(picture, changed, ax, ax, ay, ay);
    check(lit == (inside(ax, ay) ? 1 : 0));
  } else {
    picture.draw_line(x1, y1, x2, y2, colour, style);
    take_changed(picture, changed);
    std::int64_t lit = lit_pixels(picture, changed, std::min(ax, bx), std::max(ax, bx),
                                  std::min(ay, by), std::max(ay, by));
    if (inside(ax, ay)) check((picture.pixel(int(ax), int(ay)) == colour) == bool(style & 0x8000));
    if (style == 0xFFFF && inside(ax, ay) && inside(bx, by)) {
      check(picture.pixel(int(bx), int(by)) == colour);
      check(lit == std::max(std::llabs(bx - ax), std::llabs(by - ay)) + 1);
    }
  }

  // Text from a cursor anywhere on the grid (or below it) stays in the rows from there down.
  Picture sheet;
  TextScreen screen(sheet);
  int row = int(data[16] % (text_rows + 4)) + 1, column = int(data[17] % text_columns) + 1;
  screen.locate(row, column);
  screen.write(text);
  take_changed(sheet, changed);
  std::int64_t top = std::int64_t(row - 1) * 16;
  for (int x = 0; x < picture_width; ++x) {
    const std::uint8_t* pixels = sheet.column(x);
    for (std::int64_t y = 0; y < std::min<std::int64_t>(top, picture_height); ++y) check(pixels[y] == black);
  }
  if (!text.empty()) check(screen.column() >= 1 && screen.column() <= text_columns);
  return 0;
}
