// The plotter's run: one capture line per step, its points in the sweep column, the text
// panel, the keys and the sweep with its erase and cursor lines.
#pragma once

#include <cstdint>
#include <string_view>

#include "pwmscope/capture.h"
#include "pwmscope/picture.h"
#include "pwmscope/text_screen.h"

namespace pwmscope {

constexpr int zero_line_y = picture_height / 2;

/// Where the next line is drawn and how the sweep behaves.
struct Sweep {
  std::int32_t column = 0;         // 0 to 1280; 1280 lies just outside the picture
  std::int8_t sweep_erase = 100;   // positive: erase and cursor lines at every step
  std::int8_t zero_synchro = 100;  // positive: a zero "=" field restarts the sweep
};

/// The user's controls of the replay.
struct RunControls {
  std::int8_t pause = -100;  // negative: stopped in the key handling after each line
  std::int8_t delay = 1;     // milliseconds waited after each line, 0 to 30
};

enum class KeyEffect { none, step, exit };

class Scope {
 public:
  /// The text panel is printed on the kit's console, which the caller points at `screen`
  /// (a ScreenConsole); `screen` must draw into `picture`.
  Scope(Picture& picture, TextScreen& screen) : picture_(picture), screen_(screen) {}

  CaptureFields fields;
  Sweep sweep;
  RunControls controls;

  /// Draws the dotted zero line across the middle of the fresh picture.
  void window_setup();

  /// Decodes the tags of `line` in their order and plots each one right away (a "%" or a
  /// zero-synchro restart moves the column for the tags after it). Returns whether the
  /// line carried a row number ("#").
  bool walk_tags(std::string_view line);

  /// The action of one decoded tag: a point in its colour, or a change of the sweep.
  void plot_tag(char tag, const TagReading& reading);

  /// Prints rows 30 to 35: the delay and the line itself, then every field's last value.
  void text_panel(std::string_view line);

  /// Applies one key; "s" ends the key handling of the step, "x" the program.
  KeyEffect apply_key(std::string_view key);

  /// The key handling of a run step: one key while running; while paused, keys until one
  /// releases the step. Returns false when the program is to end.
  bool handle_keys(WindowInput& input);

  /// Advances the column for a line with "#", then erases the column to be drawn next
  /// and puts the dotted cursor line right of it, unless the sweep has been restarted.
  void sweep_step(bool row_number_seen);

  /// One run step for `line`. With `input`, keys are handled and the delay is waited;
  /// without, the step neither pauses nor waits (the headless replay). Returns false
  /// when the user ended the program.
  bool run_step(std::string_view line, WindowInput* input);

 private:
  void point(double offset, std::uint8_t colour);

  Picture& picture_;
  TextScreen& screen_;
};

}  // namespace pwmscope
