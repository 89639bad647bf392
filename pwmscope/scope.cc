// The run step of the plotter and everything it draws.

#include "pwmscope/scope.h"

#include <algorithm>

#include "kit/console.h"

namespace pwmscope {
namespace {

using kit::console;
using kit::Ending;
using kit::print_double;
using kit::print_int;
using kit::print_text;

constexpr std::string_view ten_blanks = "          ";
constexpr int panel_column = 17;

}  // namespace

void Scope::window_setup() {
  picture_.draw_line(0, zero_line_y, picture_width, zero_line_y, light_green, 0xAAAA);
}

void Scope::point(double offset, std::uint8_t colour) {
  // The offset is added in double precision; the drawing takes single precision.
  picture_.draw_point(float(sweep.column), float(zero_line_y + offset), colour);
}

void Scope::plot_tag(char tag, const TagReading& reading) {
  switch (tag) {
    case '%':
      sweep.column = 0;
      sweep.sweep_erase = 100;
      break;
    case '~':
      point(reading.offset, light_grey);
      break;
    case '=':
      point(reading.offset, yellow);
      if (fields.sin_table == 0 && sweep.zero_synchro > 0) {
        sweep.column = 0;
        sweep.sweep_erase = std::int8_t(-sweep.sweep_erase);
      }
      break;
    case '*':
      point(reading.offset, light_cyan);
      break;
    case '+':
      point(reading.offset, light_red);
      break;
    case '$':
      point(reading.offset, light_green);
      break;
    default:  // "@", "&" and "#" draw nothing; "#" moves the sweep after the keys
      break;
  }
}

bool Scope::walk_tags(std::string_view line) {
  bool row_number_seen = false;
  auto positions = find_tags(line);
  for (std::size_t slot = 0; slot < tag_order.size(); ++slot) {
    char tag = tag_order[slot];
    TagReading reading = decode_tag(tag, positions[slot], line, fields);
    if (!reading.present) continue;
    if (tag == '#') row_number_seen = true;
    plot_tag(tag, reading);
  }
  return row_number_seen;
}

void Scope::text_panel(std::string_view line) {
  screen_.locate(30, panel_column);
  print_text(console, "Delay=", Ending::none);
  print_int(console, controls.delay, Ending::none);
  print_text(console, " ", Ending::none);
  print_text(console, line, Ending::none);
  print_text(console, ten_blanks, Ending::line);

  screen_.locate(31, panel_column);
  print_text(console, "Sin3G~Table=", Ending::none);
  print_int(console, fields.sin3g_table, Ending::none);
  print_text(console, "  Amp@litude ", Ending::none);
  print_int(console, fields.amplitude_shown, Ending::none);
  print_text(console, ten_blanks, Ending::line);

  screen_.locate(32, panel_column);
  print_text(console, "Row#Number=", Ending::none);
  print_int(console, fields.row_number, Ending::none);
  print_text(console, "  Sin=Table=", Ending::none);
  print_int(console, fields.sin_table, Ending::none);
  print_text(console, ten_blanks, Ending::line);

  screen_.locate(33, panel_column);
  print_text(console, "Sin*Amplify=", Ending::none);
  print_int(console, fields.sin_amplify, Ending::none);
  print_text(console, " Sin+Limited=", Ending::none);
  print_int(console, fields.sin_limited, Ending::none);
  print_text(console, ten_blanks, Ending::line);

  screen_.locate(34, panel_column);
  print_text(console, "Amp%litude ", Ending::none);
  print_int(console, fields.amplitude, Ending::none);
  print_text(console, "=", Ending::none);
  print_double(console, fields.amplitude_percent, Ending::none);
  print_text(console, "%, Column=", Ending::none);
  print_int(console, sweep.column, Ending::none);
  print_text(console, ten_blanks, Ending::line);

  screen_.locate(35, panel_column);
  print_text(console, "Pwm$DutyCycle=", Ending::none);
  print_int(console, fields.pwm_duty_cycle, Ending::none);
  print_text(console, " PDCycleD=", Ending::none);
  print_double(console, fields.pd_cycle_d, Ending::none);
  print_text(console, ten_blanks, Ending::line);
}

KeyEffect Scope::apply_key(std::string_view key) {
  if (key == "s") {
    controls.pause = -100;
    return KeyEffect::step;
  }
  if (key == " ") {
    controls.pause = std::int8_t(-controls.pause);
  } else if (key == "q") {
    controls.delay = std::int8_t(std::min(controls.delay + 1, 30));
  } else if (key == "w") {
    controls.delay = std::int8_t(std::max(controls.delay - 1, 0));
  } else if (key == "z") {
    sweep.column = 0;
  } else if (key == "l") {
    sweep.zero_synchro = std::int8_t(-sweep.zero_synchro);
  } else if (key == "x") {
    return KeyEffect::exit;
  }
  return KeyEffect::none;
}

bool Scope::handle_keys(WindowInput& input) {
  for (;;) {
    // While paused the handling polls until a key comes; waiting for it is the same
    // and leaves the processor to others.
    std::string key = controls.pause < 0 ? input.key_wait() : input.key_poll();
    if (!key.empty()) {
      KeyEffect effect = apply_key(key);
      if (effect == KeyEffect::exit) return false;
      if (effect == KeyEffect::step) return true;
    }
    if (controls.pause >= 0) return true;
  }
}

void Scope::sweep_step(bool row_number_seen) {
  if (row_number_seen && ++sweep.column > picture_width) sweep.column = 0;
  if (sweep.sweep_erase > 0) {
    float cursor = float(sweep.column + 1);
    float erase = float(sweep.column);
    picture_.draw_line(cursor, 0, cursor, picture_height, light_green, 0xAAAA);
    picture_.draw_line(erase, 0, erase, picture_height, black, 0xFFFF);
  }
}

bool Scope::run_step(std::string_view line, WindowInput* input) {
  bool row_number_seen = walk_tags(line);
  update_amplitude_percent(fields);
  text_panel(line);
  if (input && !handle_keys(*input)) return false;
  sweep_step(row_number_seen);
  if (input) input->wait_ms(controls.delay);
  return true;
}

}  // namespace pwmscope
