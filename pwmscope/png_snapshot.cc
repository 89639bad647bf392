// PNG encoding of the picture with libpng, into memory.

#include "pwmscope/png_snapshot.h"

#include <png.h>

#include <vector>

namespace pwmscope {
namespace {

void append_to_text(png_structp png, png_bytep data, png_size_t size) {
  auto* out = static_cast<std::string*>(png_get_io_ptr(png));
  out->append(reinterpret_cast<const char*>(data), size);
}

void no_flush(png_structp) {}

}  // namespace

std::string encode_png(const Picture& picture) {
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) return out;
  png_infop info = png_create_info_struct(png);
  // Declared before setjmp so that a longjmp from libpng finds them intact.
  std::vector<png_byte> row(picture_width);
  std::vector<png_color> colours(256);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, info ? &info : nullptr);
    out.clear();
    return out;
  }
  png_set_write_fn(png, &out, append_to_text, no_flush);
  png_set_IHDR(png, info, picture_width, picture_height, 8, PNG_COLOR_TYPE_PALETTE,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  const std::array<Rgb, 256>& palette = default_palette();
  for (int i = 0; i < 256; ++i) colours[i] = {palette[i].red, palette[i].green, palette[i].blue};
  png_set_PLTE(png, info, colours.data(), 256);
  png_write_info(png, info);
  for (int y = 0; y < picture_height; ++y) {
    for (int x = 0; x < picture_width; ++x) row[x] = picture.pixel(x, y);
    png_write_row(png, row.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

}  // namespace pwmscope
