// The picture as a PNG image, for the headless snapshot.
#pragma once

#include <string>

#include "pwmscope/picture.h"

namespace pwmscope {

/// The picture encoded as an 8-bit palette PNG with the window's default palette.
/// Returns an empty text only when the encoder cannot get memory.
std::string encode_png(const Picture& picture);

}  // namespace pwmscope
