// The line editor for typed input on a terminal: raw mode, one key at a time, the whole
// edited text redrawn after each key. The terminal is put back on every way out,
// signals included.

#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "kit/console_internal.h"

namespace kit {
namespace {

struct termios saved_mode;
volatile sig_atomic_t raw_active = 0;

void restore_terminal() {
  if (raw_active) {
    tcsetattr(0, TCSADRAIN, &saved_mode);
    raw_active = 0;
  }
}

void enter_raw_mode() {
  struct termios raw = saved_mode;
  // Keys arrive one by one and unechoed; Ctrl-C and Ctrl-Z keep their usual meaning.
  raw.c_iflag &= ~tcflag_t(ICRNL | INLCR | IGNCR | IXON | ISTRIP);
  raw.c_lflag &= ~tcflag_t(ICANON | ECHO | IEXTEN);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  // TCSADRAIN, not TCSAFLUSH: keys typed ahead, or answers pasted at once, are kept.
  if (tcsetattr(0, TCSADRAIN, &raw) == 0) raw_active = 1;
}

void on_fatal_signal(int signal_number) {
  restore_terminal();
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);
}

volatile sig_atomic_t redraw_needed = 0;

void on_stop(int) {
  bool was_raw = raw_active;
  restore_terminal();
  ::signal(SIGTSTP, SIG_DFL);
  ::raise(SIGTSTP);
  // Resumed: take the keys again and redraw the line as it was.
  struct sigaction stop = {};
  stop.sa_handler = on_stop;
  sigemptyset(&stop.sa_mask);
  sigaction(SIGTSTP, &stop, nullptr);
  if (was_raw) {
    enter_raw_mode();
    redraw_needed = 1;
  }
}

void install_handlers() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) ::signal(s, on_fatal_signal);
  // Without SA_RESTART the waiting read returns after a resume, so the line is redrawn.
  struct sigaction stop = {};
  stop.sa_handler = on_stop;
  sigemptyset(&stop.sa_mask);
  sigaction(SIGTSTP, &stop, nullptr);
  std::atexit(restore_terminal);
}

int terminal_width() {
  struct winsize size;
  if (ioctl(1, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  if (ioctl(0, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

void put(const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(1, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += std::size_t(n);
  }
}

// Reads one byte; -1 at the end of input; -2 when `timeout_ms` passes first.
int read_byte(int timeout_ms = -1) {
  if (timeout_ms >= 0) {
    pollfd waiting{0, POLLIN, 0};
    if (poll(&waiting, 1, timeout_ms) <= 0) return -2;
  }
  unsigned char byte;
  for (;;) {
    ssize_t n = ::read(0, &byte, 1);
    if (n == 1) return byte;
    if (n < 0 && errno == EINTR) {
      if (redraw_needed) return -3;
      continue;
    }
    return -1;
  }
}

enum Key { key_none = -100, key_left, key_right, key_up, key_down, key_home, key_end, key_delete };

// Turns the bytes after an Escape into a key; a lone Escape stays 27.
int read_escape() {
  int first = read_byte(50);
  if (first == -2 || first < 0) return 27;
  if (first != '[' && first != 'O') return key_none;
  std::string body;
  for (;;) {
    int c = read_byte(50);
    if (c < 0) return key_none;
    body.push_back(char(c));
    if ((c >= 'A' && c <= 'Z') || c == '~' || (c >= 'a' && c <= 'z')) break;
    if (body.size() > 8) return key_none;
  }
  char last = body.back();
  std::string params = body.substr(0, body.size() - 1);
  std::string number = params.substr(0, params.find(';'));
  switch (last) {
    case 'A': return key_up;
    case 'B': return key_down;
    case 'C': return key_right;
    case 'D': return key_left;
    case 'H': return key_home;
    case 'F': return key_end;
    case '~':
      if (number == "1" || number == "7") return key_home;
      if (number == "4" || number == "8") return key_end;
      if (number == "3") return key_delete;
      return key_none;
    default: return key_none;
  }
}

class Editor {
 public:
  Editor(std::int64_t prompt_column, int width)
      : width_(width), start_(int(prompt_column % width)) {}

  std::string run() {
    for (;;) {
      int key = read_byte();
      if (key == -3) {
        redraw_needed = 0;
        rows_up_ = 0;  // after a stop the cursor position is unknown: draw below
        put("\r\n");
        refresh();
        continue;
      }
      if (key == -1 || key == 13 || key == 10) {
        pos_ = text_.size();
        refresh();
        return text_;
      }
      if (key == 27) key = read_escape();
      edit(key);
      refresh();
    }
  }

 private:
  void edit(int key) {
    switch (key) {
      case 8:
      case 127:  // what most terminals send for Backspace
        if (pos_ > 0) text_.erase(--pos_, 1);
        break;
      case key_delete:
        if (pos_ < text_.size()) {
          text_.erase(pos_, 1);
        } else {
          put("\a");
        }
        break;
      case key_left: if (pos_ > 0) --pos_; break;
      case key_right: if (pos_ < text_.size()) ++pos_; break;
      case key_home: pos_ = 0; break;
      case key_end: pos_ = text_.size(); break;
      case key_up:
        if (pos_ >= std::size_t(width_)) pos_ -= std::size_t(width_);
        break;
      case key_down:
        if (pos_ + std::size_t(width_) <= text_.size()) pos_ += std::size_t(width_);
        break;
      case 9:
        text_.insert(pos_, 8 - pos_ % 8, ' ');
        pos_ += 8 - pos_ % 8;
        break;
      case 27:
        text_.clear();
        pos_ = 0;
        break;
      default:
        if (key >= 32 && key <= 255) text_.insert(pos_++, 1, char(key));
        break;
    }
  }

  // Redraws the text from where the prompt ended, clears what is left of an older,
  // longer text and puts the cursor on its character, across wrapped rows.
  void refresh() {
    std::string out;
    if (rows_up_ > 0) out += "\x1b[" + std::to_string(rows_up_) + "A";
    out += "\r";
    if (start_ > 0) out += "\x1b[" + std::to_string(start_) + "C";
    out += "\x1b[J";
    out += text_;
    std::size_t end = std::size_t(start_) + text_.size();
    // At the right margin a terminal waits before it wraps; make it wrap now.
    if (!text_.empty() && end % std::size_t(width_) == 0) out += "\r\n";
    std::size_t end_row = end / std::size_t(width_);
    std::size_t cursor = std::size_t(start_) + pos_;
    std::size_t cursor_row = cursor / std::size_t(width_);
    if (cursor == end && end % std::size_t(width_) != 0) {  // already there
      put(out);
      rows_up_ = int(cursor_row);
      return;
    }
    if (end_row > cursor_row) out += "\x1b[" + std::to_string(end_row - cursor_row) + "A";
    out += "\r";
    std::size_t column = cursor % std::size_t(width_);
    if (column > 0) out += "\x1b[" + std::to_string(column) + "C";
    put(out);
    rows_up_ = int(cursor_row);
  }

  int width_;
  int start_;
  std::string text_;
  std::size_t pos_ = 0;
  int rows_up_ = 0;
};

}  // namespace

std::string edit_line(std::int64_t prompt_column) {
  install_handlers();
  if (tcgetattr(0, &saved_mode) != 0) return {};
  enter_raw_mode();
  Editor editor(prompt_column, terminal_width());
  std::string line = editor.run();
  restore_terminal();
  return line;
}

}  // namespace kit
