// Input statements: prompts, typed lines, and items cut from them or from standard input.

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>

#include "kit/console.h"
#include "kit/console_internal.h"
#include "kit/items.h"

namespace kit {
namespace {

// Standard input read in large blocks when it is a file or a pipe.
class StdinSource {
 public:
  int peek(std::size_t ahead) {
    if (!ensure(ahead + 1)) return -1;
    return static_cast<unsigned char>(buffer_[next_ + ahead]);
  }
  void skip() { ++next_; }

 private:
  bool ensure(std::size_t count) {
    while (end_ - next_ < count) {
      if (ended_) return false;
      if (next_ > 0) {
        std::memmove(buffer_, buffer_ + next_, end_ - next_);
        end_ -= next_;
        next_ = 0;
      }
      ssize_t n = ::read(0, buffer_ + end_, sizeof buffer_ - end_);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        ended_ = true;
        return end_ - next_ >= count;
      }
      end_ += std::size_t(n);
    }
    return true;
  }

  char buffer_[1 << 16];
  std::size_t next_ = 0, end_ = 0;
  bool ended_ = false;
};

struct InputState {
  bool from_line = false;  // items come from the last typed line, not from the stream
  std::string line;
  std::size_t at = 0;
  StdinSource stdin_source;
};

InputState& state() {
  static InputState* instance = new InputState;
  return *instance;
}

items::Cut next_item(items::Kind kind) {
  InputState& s = state();
  if (s.from_line) {
    items::LineSource source{s.line, s.at};
    return items::cut(source, kind);
  }
  return items::cut(s.stdin_source, kind);
}

double radix_value(std::string_view text) {
  int base = 8;
  std::size_t at = 1;
  if (text.size() > 1) {
    switch (text[1]) {
      case 'H': case 'h': base = 16; at = 2; break;
      case 'O': case 'o': base = 8; at = 2; break;
      case 'B': case 'b': base = 2; at = 2; break;
      default: break;
    }
  }
  std::uint64_t value = 0;
  for (; at < text.size(); ++at) {
    int digit = -1;
    char c = text[at];
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (digit < 0 || digit >= base) break;
    value = value * std::uint64_t(base) + std::uint64_t(digit);  // wraps modulo 2^64
  }
  return double(static_cast<std::int64_t>(value));
}

std::size_t skip_leading_blanks(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
  return at;
}

double short_integer_value(std::string_view text) {
  std::size_t at = skip_leading_blanks(text);
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  std::int64_t value = 0;  // 18 characters hold at most 18 digits: no overflow
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
    value = value * 10 + (text[at] - '0');
  return double(negative ? -value : value);
}

double decimal_value(std::string_view text) {
  std::size_t at = skip_leading_blanks(text);
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  // Only digits or a point may begin the number: no "inf", "nan" or second sign.
  if (at >= text.size() || !(std::isdigit(static_cast<unsigned char>(text[at])) || text[at] == '.'))
    return negative ? -0.0 : 0.0;
  double value = 0;
  const char* first = text.data() + at;
  const char* last = text.data() + text.size();
  auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
  if (error == std::errc::invalid_argument) return negative ? -0.0 : 0.0;
  if (error == std::errc::result_out_of_range) {
    // strtod rounds the same digits to an infinity or to the nearest tiny value.
    std::string digits(first, end);
    value = std::strtod(digits.c_str(), nullptr);
  }
  return negative ? -value : value;
}

}  // namespace

double number_item_value(const NumberItem& item) {
  std::string_view text = item.text;
  if (!text.empty() && text[0] == '&') return radix_value(text);
  if (!item.fraction && text.size() <= 18) return short_integer_value(text);
  return decimal_value(text);
}

std::string LineItems::next_text() {
  items::LineSource source{line_, at_};
  return items::cut(source, items::Kind::text).text;
}

NumberItem LineItems::next_number() {
  items::LineSource source{line_, at_};
  items::Cut cut = items::cut(source, items::Kind::number);
  return {std::move(cut.text), cut.fraction};
}

void input_prompt(std::string_view prompt, bool question_mark) {
  InputState& s = state();
  ConsoleDevice* device = console_device();
  if (!device && !isatty(0)) {
    s.from_line = false;  // items come straight from the stream; nothing is shown
    flush_console();      // whoever feeds the stream may be waiting to see the output
    return;
  }
  print_text(console, prompt, Ending::none);
  if (question_mark) print_text(console, "? ", Ending::none);
  if (device) {
    s.line = device->read_line();
  } else {
    flush_console();
    s.line = edit_line(console_column());
  }
  s.at = 0;
  s.from_line = true;
  print_text(console, "", Ending::line);
}

void input_text(std::string& variable) { variable = next_item(items::Kind::text).text; }

void input_double(double& variable) {
  items::Cut cut = next_item(items::Kind::number);
  variable = number_item_value(NumberItem{std::move(cut.text), cut.fraction});
}

void closing_wait(std::string_view prompt, bool question_mark) {
  std::string discarded;
  input_prompt(prompt, question_mark);
  input_text(discarded);
  flush_console();
}

}  // namespace kit
