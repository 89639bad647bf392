// The plot window's picture as plain data: 1280 x 1024 pixels of 8-bit palette indices,
// with the few drawing operations the plotter uses. No window system is involved; a
// window layer or an image writer shows the picture.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace pwmscope {

constexpr int picture_width = 1280;
constexpr int picture_height = 1024;
constexpr int text_columns = 160;  // cells of 8 x 16 pixels
constexpr int text_rows = 64;

/// Palette indices of the 16 text-mode colours that the plotter draws with.
enum Colour : std::uint8_t {
  black = 0,
  light_grey = 7,
  light_green = 10,
  light_cyan = 11,
  light_red = 12,
  yellow = 14,
  white = 15,
};

struct Rgb {
  std::uint8_t red, green, blue;
  bool operator==(const Rgb&) const = default;
};

/// The window's default palette: the 16 standard text-mode colours, then the 216 steps
/// of a 6 x 6 x 6 colour cube and a ramp of greys.
const std::array<Rgb, 256>& default_palette();

/// The pixel that a coordinate falls on: trunc(c) when c > 0, otherwise trunc(c - 0.5),
/// so -0.5 < c <= 0 is pixel 0. Not-a-number and huge values land far outside.
std::int64_t pixel_index(float c);

class Picture {
 public:
  /// A black picture.
  Picture();

  std::uint8_t pixel(int x, int y) const { return column(x)[y]; }

  /// Sets one pixel; nothing happens outside the picture.
  void draw_point(float x, float y, std::uint8_t colour);

  /// Draws the line between two points, clipped to the picture. The style mask is laid
  /// along the line from its first end-point, whose pixel takes bit 15 and the next
  /// bit 14, wrapping after bit 0; a pixel is set where its bit is 1 and left alone where
  /// it is 0. Mask 0xAAAA sets every second pixel beginning with the first.
  void draw_line(float x1, float y1, float x2, float y2, std::uint8_t colour, std::uint16_t style);

  /// Draws byte `code` of the font into the text cell at `row`, `column` (from 0) in
  /// white on black, every pixel of the cell.
  void draw_glyph(int row, int column, std::uint8_t code) {
    draw_text(row, column, std::string_view(reinterpret_cast<const char*>(&code), 1));
  }

  /// Draws the bytes of `text` as glyphs from the cell at `row`, `column` (from 0) to the
  /// right, up to a CR or LF or the end of the row. Returns how many bytes it drew.
  std::size_t draw_text(int row, int column, std::string_view text);

  /// The column of pixels at x, top to bottom (picture_height values).
  const std::uint8_t* column(int x) const {
    if (!pending_.empty()) render_pending();
    return &columns_[std::size_t(x) * picture_height];
  }

  /// Columns changed since the last call, as flags indexed by x; the flags are cleared.
  /// Returns false when nothing changed. A window layer converts only those columns.
  bool take_changed_columns(std::array<bool, picture_width>& changed);

 private:
  // What a text cell holds: a character code in the low byte, and whether its pixels
  // show that glyph (shown), are still to show it (pending), or are anything (no_glyph).
  static constexpr std::uint16_t shown = 0x000;
  static constexpr std::uint16_t pending = 0x100;
  static constexpr std::uint16_t no_glyph = 0x200;

  void set(std::int64_t x, std::int64_t y, std::uint8_t colour) {
    overdraw(int(x), int(y), int(y));
    columns_[std::size_t(x) * picture_height + std::size_t(y)] = colour;
  }
  // Readies pixels y_first..y_last of column x for drawing over: glyphs still pending
  // there are drawn first, so the new pixels land on top of them.
  void overdraw(int x, int y_first, int y_last);
  std::size_t finish_text(std::size_t drawn);
  void render_glyph(std::size_t cell, std::uint8_t code) const;
  void render_pending() const;
  void draw_vertical(std::int64_t x, std::int64_t y1, std::int64_t y2, std::uint8_t colour,
                     std::uint16_t style);

  // Text changes many times between two looks at the picture (the panel is printed at
  // every run step), so glyphs are drawn into the pixels only when someone reads them or
  // draws over them; until then the cell is pending. Hence the mutable members.
  //
  // Column-major, so that the sweep's vertical lines are contiguous runs of memory.
  mutable std::vector<std::uint8_t> columns_;
  mutable std::vector<std::uint16_t> cells_;
  mutable std::vector<std::uint32_t> pending_;  // cells that may be pending
  // For each column of cells, how many hold a glyph (shown or pending).
  std::array<std::uint16_t, text_columns> glyph_cells_{};
  mutable std::array<bool, picture_width> changed_{};
  mutable bool any_changed_ = true;
};

}  // namespace pwmscope
