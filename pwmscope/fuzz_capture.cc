// Fuzz target: a capture file read item by item as pwmscope reads it, every item decoded
// and drawn by the headless run step. The items must obey the item rules, every field
// must hold what a plain reading of its tag gives, every point must land where its
// offset says in the sweep column (or nowhere, outside the picture), the line's points
// must touch no other column, and the sweep column must stay within its bounds.
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kit/files.h"
#include "kit/fuzz_support.h"
#include "pwmscope/capture.h"
#include "pwmscope/picture.h"
#include "pwmscope/scope.h"
#include "pwmscope/text_screen.h"

namespace {

using namespace pwmscope;

// The four characters after a tag as a hexadecimal number behind "0000", or behind
// "FFFF" for a signed field that begins with an upper-case F, in 32 bits.
std::int32_t model_field(const std::string& line, std::size_t tag_at, bool is_signed) {
  std::string field = line.substr(tag_at + 1, 4);
  std::string digits = (is_signed && !field.empty() && field[0] == 'F' ? "FFFF" : "0000") + field;
  std::uint32_t value = 0;
  for (char c : digits) {
    int d = (c >= '0' && c <= '9') ? c - '0'
            : (c >= 'A' && c <= 'F') ? c - 'A' + 10
            : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                                     : -1;
    if (d < 0) break;
    value = value * 16 + std::uint32_t(d);
  }
  return std::int32_t(value);
}

std::int32_t wrap(std::int64_t value) { return std::int32_t(std::uint32_t(value)); }

std::int64_t model_pixel(float c) {
  if (std::isnan(c) || std::isinf(c)) return -1;
  double value = c;
  double index = value > 0 ? std::trunc(value) : std::trunc(value - 0.5);
  return std::fabs(index) > 1e9 ? -1 : std::int64_t(index);
}

struct Point {
  std::int64_t x, y;
  std::uint8_t colour;
};

// One line's walk, the slow way: the fields it leaves and the points it draws.
void model_walk(const std::string& line, CaptureFields& fields, Sweep& sweep,
                std::vector<Point>& points) {
  auto at = [&](char tag) { return line.find(tag); };
  auto point = [&](double offset, std::uint8_t colour) {
    points.push_back({sweep.column, model_pixel(float(512 + offset)), colour});
  };
  if (std::size_t p = at('%'); p != std::string::npos) {
    fields.amplitude = model_field(line, p, false);
    sweep.column = 0;
    sweep.sweep_erase = 100;
  }
  if (std::size_t p = at('@'); p != std::string::npos) fields.amplitude_shown = model_field(line, p, false);
  if (std::size_t p = at('#'); p != std::string::npos) fields.row_number = model_field(line, p, false);
  std::int32_t amplitude = fields.amplitude;
  if (std::size_t p = at('~'); p != std::string::npos) {
    fields.sin3g_table = model_field(line, p, true);
    point(wrap(4 * std::int64_t(fields.sin3g_table)), light_grey);
  }
  if (std::size_t p = at('='); p != std::string::npos) {
    fields.sin_table = model_field(line, p, true);
    point(fields.sin_table / 4.0, yellow);
    if (fields.sin_table == 0 && sweep.zero_synchro > 0) {
      sweep.column = 0;
      sweep.sweep_erase = std::int8_t(-sweep.sweep_erase);
    }
  }
  if (std::size_t p = at('*'); p != std::string::npos) {
    fields.sin_amplify = wrap(std::int64_t(model_field(line, p, true)) - 32639);
    point(amplitude > 0 ? (63.0 / amplitude) * fields.sin_amplify : fields.sin_amplify, light_cyan);
  }
  if (std::size_t p = at('+'); p != std::string::npos) {
    fields.sin_limited = wrap(std::int64_t(model_field(line, p, true)) - 26086);
    point(amplitude > 0 ? (60.0 / amplitude) * fields.sin_limited : fields.sin_limited, light_red);
  }
  if (std::size_t p = at('$'); p != std::string::npos) {
    fields.pwm_duty_cycle = model_field(line, p, false);
    std::int32_t from_middle = wrap(std::int64_t(fields.pwm_duty_cycle) - 4075);
    double offset = from_middle;
    if (amplitude > 0) {
      offset = from_middle * (370.0 / amplitude);
      fields.pd_cycle_d = offset;
    }
    point(offset, light_green);
  }
}

// The columns changed since the last call; none when the picture says nothing changed.
void take_changed(Picture& picture, std::array<bool, picture_width>& changed) {
  if (!picture.take_changed_columns(changed)) changed.fill(false);
}

bool same_fields(const CaptureFields& a, const CaptureFields& b) {
  return a.amplitude == b.amplitude && a.amplitude_shown == b.amplitude_shown &&
         a.row_number == b.row_number && a.sin3g_table == b.sin3g_table &&
         a.sin_table == b.sin_table && a.sin_amplify == b.sin_amplify &&
         a.sin_limited == b.sin_limited && a.pwm_duty_cycle == b.pwm_duty_cycle &&
         (a.pd_cycle_d == b.pd_cycle_d || (std::isnan(a.pd_cycle_d) && std::isnan(b.pd_cycle_d)));
}

// A file of this process's own for the capture, removed when the fuzzer ends.
const std::string& scratch() {
  static std::string name;
  if (name.empty()) {
    name = (std::filesystem::temp_directory_path() / ("fuzz_capture_" + std::to_string(getpid()))).string();
    std::atexit([] { std::filesystem::remove(name); });
  }
  return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  std::ofstream(scratch(), std::ios::binary | std::ios::trunc) << bytes;

  Picture picture;
  TextScreen screen(picture);
  ScreenConsole device(screen, nullptr);
  ConsoleRedirect redirect(device);
  Scope scope(picture, screen);
  scope.window_setup();
  CaptureFields model_fields;
  Sweep model_sweep;
  std::array<bool, picture_width> changed{};
  take_changed(picture, changed);

  check(kit::file_open(scratch(), kit::FileMode::input, 1) == kit::status_ok);
  std::size_t items = 0, item_bytes = 0;
  while (!kit::at_end(1)) {
    std::string line = kit::read_item(1);
    check(line.size() <= 4096);
    check(line.find_first_of("\r\n") == std::string::npos);
    item_bytes += line.size();
    check(++items <= size + 1 && item_bytes <= size);

    std::vector<Point> points;
    std::int32_t column_before = scope.sweep.column;
    model_walk(line, model_fields, model_sweep, points);
    bool row_number_seen = scope.walk_tags(line);
    check(row_number_seen == (line.find('#') != std::string::npos));
    check(same_fields(scope.fields, model_fields));
    check(scope.sweep.column == model_sweep.column && scope.sweep.sweep_erase == model_sweep.sweep_erase);

    // The points of the line lie in its column (before and after a restart) and nowhere else.
    take_changed(picture, changed);
    for (int x = 0; x < picture_width; ++x) check(!changed[x] || x == column_before || x == 0);
    for (std::size_t i = 0; i < points.size(); ++i) {
      const Point& p = points[i];
      if (p.x < 0 || p.x >= picture_width || p.y < 0 || p.y >= picture_height) continue;
      bool drawn_over = false;
      for (std::size_t j = i + 1; j < points.size(); ++j)
        drawn_over |= points[j].x == p.x && points[j].y == p.y;
      if (!drawn_over) check(picture.pixel(int(p.x), int(p.y)) == p.colour);
    }

    update_amplitude_percent(scope.fields);
    check(scope.fields.amplitude_percent == std::floor(100.0 * scope.fields.amplitude / 4096));
    scope.text_panel(line);
    scope.sweep_step(row_number_seen);
    if (row_number_seen && ++model_sweep.column > picture_width) model_sweep.column = 0;
    check(scope.sweep.column == model_sweep.column);
    check(scope.sweep.column >= 0 && scope.sweep.column <= picture_width);
    take_changed(picture, changed);
  }
  kit::file_close(1);
  check(kit::take_file_failures().empty());
  return 0;
}
