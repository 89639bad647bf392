// The window's text grid and the console device over it.

#include "pwmscope/text_screen.h"

#include <algorithm>

namespace pwmscope {

void TextScreen::write(std::string_view bytes) {
  std::size_t at = 0;
  while (at < bytes.size()) {
    char c = bytes[at];
    if (c == '\r') {
      column_ = 1;
      ++at;
      continue;
    }
    if (c == '\n') {
      column_ = 1;
      ++row_;
      ++at;
      continue;
    }
    // The characters up to the next line end or the end of the row, in one go.
    std::size_t drawn;
    if (row_ >= 1 && row_ <= text_rows && column_ >= 1 && column_ <= text_columns) {
      drawn = picture_.draw_text(row_ - 1, column_ - 1, bytes.substr(at));
    } else {
      std::size_t room = std::size_t(std::max(1, text_columns - column_ + 1));
      drawn = std::min(bytes.find_first_of("\r\n", at), bytes.size()) - at;
      drawn = std::min(drawn, room);
    }
    at += drawn;
    column_ += int(drawn);
    if (column_ > text_columns) {
      column_ = 1;
      ++row_;
    }
  }
}

void ScreenConsole::show_typed(const std::string& line, std::size_t erased, int row, int column) {
  screen_.locate(row, column);
  screen_.write(line);
  screen_.write(std::string(erased, ' '));
  std::size_t end = std::size_t(column - 1) + line.size();
  screen_.locate(row + int(end / text_columns), int(end % text_columns) + 1);
}

std::string ScreenConsole::read_line() {
  std::string line;
  if (!keys_) return line;
  int row = screen_.row();
  int column = screen_.column();
  while (!keys_->closed()) {
    std::string key = keys_->key_wait();
    if (keys_->closed() || key == "\r" || key == "\n") break;
    if (key == "\b") {
      if (line.empty()) continue;
      line.pop_back();
      show_typed(line, 1, row, column);
    } else if (key == "\x1b") {
      std::size_t erased = line.size();
      line.clear();
      show_typed(line, erased, row, column);
    } else if (key.size() == 1 && std::uint8_t(key[0]) >= 32 && key[0] != 127) {
      line += key;
      screen_.write(key);
    }
  }
  return line;
}

}  // namespace pwmscope
