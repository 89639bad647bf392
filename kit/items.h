// Cutting input items from a stream of characters: a typed line, standard input or a
// text file. The kit's own files share it; tools use the input statements and read_item.
//
// A Source offers peek(ahead), the character `ahead` places further on (0 for the next)
// or -1 past the end, and skip(), which consumes the next character.
#pragma once

#include <cstddef>
#include <string>

#include "kit/console.h"

namespace kit::items {

enum class Kind { text, number };

struct Cut {
  std::string text;
  bool fraction = false;  // a number item holding ".", e, E, d or D before any "&"
};

template <class Source>
void skip_blanks(Source& in) {
  while (in.peek(0) == ' ' || in.peek(0) == '\t') in.skip();
}

// Consumes a line end at the cursor: LF, or CR with the LF after it if there is one.
template <class Source>
bool take_line_end(Source& in) {
  int c = in.peek(0);
  if (c == '\n') {
    in.skip();
    return true;
  }
  if (c == '\r') {
    in.skip();
    if (in.peek(0) == '\n') in.skip();
    return true;
  }
  return false;
}

// What may end an item besides its own closing character: a comma or a line end.
template <class Source>
void take_separator(Source& in) {
  if (in.peek(0) == ',') {
    in.skip();
  } else {
    take_line_end(in);
  }
}

template <class Source>
Cut cut(Source& in, Kind kind) {
  const std::size_t limit = kind == Kind::text ? text_item_limit : number_item_limit;
  Cut item;
  skip_blanks(in);
  bool quoted = false;
  if (in.peek(0) == '"') {
    in.skip();
    quoted = true;
  }
  bool radix = false;
  for (;;) {
    int c = in.peek(0);
    if (c < 0) break;
    if (c == '\r' || c == '\n') {
      take_line_end(in);
      break;
    }
    if (c == ',' && !quoted) {
      in.skip();
      break;
    }
    if (c == '"' && quoted) {
      in.skip();
      if (kind == Kind::text) {
        skip_blanks(in);
        take_separator(in);
        break;
      }
      quoted = false;  // inside a number the closing quote only ends quote mode
      continue;
    }
    if ((c == ' ' || c == '\t') && !quoted && kind == Kind::number) {
      skip_blanks(in);
      take_separator(in);
      break;
    }
    in.skip();
    if (kind == Kind::number) {
      if (c == '&') radix = true;
      if (!radix && (c == '.' || c == 'e' || c == 'E' || c == 'd' || c == 'D')) {
        item.fraction = true;
        if (c == 'd') c = 'e';
        if (c == 'D') c = 'E';
      }
    }
    item.text.push_back(char(c));
    if (item.text.size() >= limit) {
      skip_blanks(in);
      take_separator(in);
      break;
    }
  }
  return item;
}

// A typed line as a source.
struct LineSource {
  const std::string& line;
  std::size_t& at;
  int peek(std::size_t ahead) const {
    return at + ahead < line.size() ? static_cast<unsigned char>(line[at + ahead]) : -1;
  }
  void skip() { ++at; }
};

}  // namespace kit::items
