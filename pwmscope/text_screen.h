// Text in the plot window: a grid of 160 x 64 cells with a cursor, drawn into the
// picture, and the console device that sends the tool's prints there once the window is
// open and reads typed lines from the window's keys.
#pragma once

#include <string>
#include <string_view>

#include "kit/console.h"
#include "pwmscope/picture.h"

namespace pwmscope {

class TextScreen {
 public:
  explicit TextScreen(Picture& picture) : picture_(picture) {}

  /// Moves the cursor to `row`, `column` (from 1); later text starts there.
  void locate(int row, int column) {
    row_ = row;
    column_ = column;
  }
  int row() const { return row_; }
  int column() const { return column_; }

  /// Draws bytes at the cursor, one cell each. CR returns to column 1, LF goes to column
  /// 1 of the next row, and text past column 160 goes on in the next row. Rows below the
  /// last are not shown.
  void write(std::string_view bytes);

 private:
  Picture& picture_;
  int row_ = 1;
  int column_ = 1;
};

/// What the run loop and the line input take from the window besides the picture: its
/// keys, and waits during which it stays shown.
class WindowInput {
 public:
  virtual ~WindowInput() = default;
  /// The next key from the window's buffer, removed from it, or an empty text at once
  /// when none waits.
  virtual std::string key_poll() = 0;
  /// Waits for the next key and returns it, keeping the window shown meanwhile. Once the
  /// window has been closed it returns "x" at once.
  virtual std::string key_wait() = 0;
  /// True once the user has closed the window.
  virtual bool closed() const = 0;
  /// Waits `ms` milliseconds (none when ms <= 0); keys pressed meanwhile are kept.
  virtual void wait_ms(int ms) = 0;
};

/// The console of the tool while the window is open: prints are drawn at the text cursor,
/// and a typed line is read from the window's keys and echoed there.
class ScreenConsole : public kit::ConsoleDevice {
 public:
  ScreenConsole(TextScreen& screen, WindowInput* keys) : screen_(screen), keys_(keys) {}

  void write(std::string_view bytes) override { screen_.write(bytes); }

  /// Keys up to Enter: characters are added and echoed, Backspace takes the last one
  /// back, Escape clears the line. Ends early with what was typed when the window is
  /// closed, or at once without a key source.
  std::string read_line() override;

 private:
  void show_typed(const std::string& line, std::size_t erased, int row, int column);

  TextScreen& screen_;
  WindowInput* keys_;
};

/// Sends the console to a device for as long as it lives, then back to the standard
/// streams.
class ConsoleRedirect {
 public:
  explicit ConsoleRedirect(kit::ConsoleDevice& device) { kit::set_console_device(&device); }
  ~ConsoleRedirect() { kit::set_console_device(nullptr); }
  ConsoleRedirect(const ConsoleRedirect&) = delete;
  ConsoleRedirect& operator=(const ConsoleRedirect&) = delete;
};

}  // namespace pwmscope
