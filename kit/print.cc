// Print lists: number texts, print zones, output columns and the console stream.

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "kit/console.h"
#include "kit/console_internal.h"
#include "kit/files.h"

namespace kit {
namespace {

// Console bytes wait here until a line is complete on a terminal, until the buffer is
// full elsewhere, and always before input is read or the program ends.
struct ConsoleStream {
  static constexpr std::size_t capacity = 1 << 16;
  char bytes[capacity];
  std::size_t used = 0;
  std::int64_t column = 0;
  int terminal = -1;  // unknown until the first write
  bool broken = false;
  ConsoleDevice* device = nullptr;

  ConsoleStream() { std::atexit([] { flush_console(); }); }
};

ConsoleStream& stream() {
  static ConsoleStream* instance = new ConsoleStream;  // lives until the very end
  return *instance;
}

void write_all(int fd, const char* data, std::size_t size, bool& broken) {
  while (size > 0 && !broken) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      broken = true;  // nobody reads the console any more; drop what follows
      return;
    }
    data += n;
    size -= std::size_t(n);
  }
}

std::int64_t column_after(std::int64_t column, std::string_view bytes) {
  if (bytes.size() <= 32) {  // most prints: a short loop beats two library calls
    for (std::size_t i = bytes.size(); i-- > 0;) {
      if (bytes[i] == '\r' || bytes[i] == '\n') return std::int64_t(bytes.size() - 1 - i);
    }
    return column + std::int64_t(bytes.size());
  }
  const void* lf = memrchr(bytes.data(), '\n', bytes.size());
  const void* cr = memrchr(bytes.data(), '\r', bytes.size());
  const char* last = static_cast<const char*>(std::max(lf, cr));
  if (!last) return column + std::int64_t(bytes.size());
  return std::int64_t(bytes.data() + bytes.size() - last - 1);
}

void console_write(std::string_view bytes) {
  ConsoleStream& s = stream();
  s.column = column_after(s.column, bytes);
  if (s.device) {
    s.device->write(bytes);
    return;
  }
  if (s.terminal < 0) s.terminal = isatty(1) ? 1 : 0;
  if (bytes.size() > ConsoleStream::capacity - s.used) {
    flush_console();
    if (bytes.size() >= ConsoleStream::capacity) {
      write_all(1, bytes.data(), bytes.size(), s.broken);
      return;
    }
  }
  std::memcpy(s.bytes + s.used, bytes.data(), bytes.size());
  s.used += bytes.size();
  if (s.terminal && std::memchr(bytes.data(), '\n', bytes.size())) flush_console();
}

int write_to(int target, std::string_view bytes) {
  if (target == console) {
    console_write(bytes);
    return status_ok;
  }
  return write_bytes(target, bytes);
}

std::int64_t column_of(int target) {
  return target == console ? stream().column : file_column(target);
}

int write_ending(int target, Ending ending) {
  switch (ending) {
    case Ending::none:
      return status_ok;
    case Ending::line:
      return write_to(target, "\r\n");
    case Ending::zone: {
      static constexpr char blanks[] = "                                ";  // 32
      std::int64_t pad = print_zone_width - column_of(target) % print_zone_width;
      return write_to(target, std::string_view(blanks, std::size_t(pad)));
    }
  }
  return status_ok;
}

// Numbers are short: build the item and its line end in one piece and write it once.
int write_number(int target, char* first, char* last, Ending ending) {
  if (ending == Ending::line) {
    *last++ = '\r';
    *last++ = '\n';
    return write_to(target, std::string_view(first, std::size_t(last - first)));
  }
  int status = write_to(target, std::string_view(first, std::size_t(last - first)));
  int ending_status = write_ending(target, ending);
  return status != status_ok ? status : ending_status;
}

template <class Int>
int print_signed(int target, Int value, Ending ending) {
  char text[32];
  char* at = text;
  if (value >= 0) *at++ = ' ';
  at = std::to_chars(at, text + 28, value).ptr;
  return write_number(target, text, at, ending);
}

template <class Int>
int print_unsigned(int target, Int value, Ending ending) {
  char text[32];
  char* at = std::to_chars(text, text + 28, value).ptr;
  return write_number(target, text, at, ending);
}

// Writes the 16-digit text of a double into `out` (room for 40 bytes); returns its end.
char* format_double(char* out, double value) {
  if (std::isnan(value)) return std::strcpy(out, "nan") + 3;
  if (std::isinf(value)) return value < 0 ? std::strcpy(out, "-inf") + 4 : std::strcpy(out, "inf") + 3;
  char* end = std::to_chars(out, out + 40, value, std::chars_format::general, 16).ptr;
  // The general form drops trailing zeros already; only the exponent needs three digits.
  char* e = static_cast<char*>(std::memchr(out, 'e', std::size_t(end - out)));
  if (!e) return end;
  char* digits = e + 2;  // after "e+" or "e-"
  std::size_t count = std::size_t(end - digits);
  if (count >= 3) return end;
  std::size_t pad = 3 - count;
  std::memmove(digits + pad, digits, count);
  std::memset(digits, '0', pad);
  return end + pad;
}

}  // namespace

void console_write_raw(std::string_view bytes) { console_write(bytes); }

void console_set_column(std::int64_t column) { stream().column = column; }

ConsoleDevice* console_device() { return stream().device; }

void flush_console() {
  ConsoleStream& s = stream();
  if (s.used == 0) return;
  write_all(1, s.bytes, s.used, s.broken);
  s.used = 0;
}

std::int64_t console_column() { return stream().column; }

void set_console_device(ConsoleDevice* device) {
  flush_console();
  stream().device = device;
}

int print_text_slow(int target, std::string_view text, Ending ending) {
  int status = text.empty() ? status_ok : write_to(target, text);
  int ending_status = write_ending(target, ending);
  return status != status_ok ? status : ending_status;
}

int print_int(int target, std::int32_t value, Ending ending) {
  return print_signed(target, value, ending);
}

int print_int64(int target, std::int64_t value, Ending ending) {
  return print_signed(target, value, ending);
}

int print_uint(int target, std::uint32_t value, Ending ending) {
  return print_unsigned(target, value, ending);
}

int print_uint64(int target, std::uint64_t value, Ending ending) {
  return print_unsigned(target, value, ending);
}

int print_double(int target, double value, Ending ending) {
  char text[48];
  char* at = text;
  if (!std::signbit(value) || std::isnan(value)) *at++ = ' ';
  at = format_double(at, value);
  return write_number(target, text, at, ending);
}

std::string int_to_text(std::int32_t value) {
  char text[16];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string uint64_to_text(std::uint64_t value) {
  char text[24];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string double_to_text(double value) {
  char text[48];
  return std::string(text, format_double(text, value));
}

}  // namespace kit
