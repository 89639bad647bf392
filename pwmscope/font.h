// The 8 x 16 bitmap font of the window's text.
#pragma once

#include <cstdint>

namespace pwmscope {

constexpr int glyph_width = 8;
constexpr int glyph_height = 16;

/// One glyph per byte value, as the text-mode screens of the PC showed it: 16 rows from
/// the top, bit 7 of each row the leftmost pixel. Made by make_font.py.
extern const std::uint8_t font_8x16[256][glyph_height];

}  // namespace pwmscope
