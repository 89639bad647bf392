// Reading a picture back, for the tests: the characters its text cells show, and its
// pixels as red, green and blue bytes.
#pragma once

#include <string>

#include "pwmscope/picture.h"

namespace pwmscope {

/// The characters shown by `count` cells from `row`, `column` (from 1), each the first
/// byte (printable ASCII first) whose glyph matches the cell; a zero byte for a cell that
/// shows no glyph in white on black.
std::string cell_text(const Picture& picture, int row, int column, int count);

/// The picture through the default palette, row by row, 3 bytes a pixel.
std::string picture_rgb(const Picture& picture);

}  // namespace pwmscope
