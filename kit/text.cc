// String operations with their fixed rules for empty texts and positions outside a text.

#include "kit/text.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace kit {
namespace {

std::int64_t length(std::string_view s) { return std::int64_t(s.size()); }

}  // namespace

std::int64_t text_len(std::string_view s) { return length(s); }

std::string text_left(std::string_view s, std::int64_t n) {
  if (s.empty() || n <= 0) return {};
  return std::string(s.substr(0, std::size_t(std::min(n, length(s)))));
}

std::string text_right(std::string_view s, std::int64_t n) {
  if (s.empty() || n <= 0) return {};
  if (n >= length(s)) return std::string(s);
  return std::string(s.substr(s.size() - std::size_t(n)));
}

std::string text_mid(std::string_view s, std::int64_t start, std::int64_t count) {
  if (s.empty() || start < 1 || start > length(s) || count == 0) return {};
  std::int64_t rest = length(s) - start + 1;
  std::int64_t take = count < 0 || count > rest ? rest : count;
  return std::string(s.substr(std::size_t(start - 1), std::size_t(take)));
}

void text_overwrite(std::string& dest, std::int64_t start, std::int64_t count,
                    std::string_view src) {
  if (dest.empty() || src.empty() || start < 1 || start > length(dest) || count == 0) return;
  std::int64_t k = count < 0 || count > length(src) ? length(src) : count;
  k = std::min(k, length(dest) - start + 1);
  std::memcpy(dest.data() + (start - 1), src.data(), std::size_t(k));
}

std::int64_t text_find(std::int64_t start, std::string_view s, std::string_view pattern) {
  if (s.empty() || pattern.empty() || start < 1 || start > length(s) ||
      pattern.size() > s.size())
    return 0;
  const char* first = s.data() + (start - 1);
  const char* last = s.data() + s.size();
  if (pattern.size() == 1) {
    const void* hit = std::memchr(first, pattern[0], std::size_t(last - first));
    return hit ? static_cast<const char*>(hit) - s.data() + 1 : 0;
  }
  auto hit = std::search(first, last,
                         std::boyer_moore_searcher(pattern.begin(), pattern.end()));
  return hit == last ? 0 : hit - s.data() + 1;
}

std::int64_t text_find_any(std::int64_t start, std::string_view s, std::string_view set) {
  if (s.empty() || set.empty() || start < 1 || start > length(s)) return 0;
  bool member[256] = {};
  for (unsigned char c : set) member[c] = true;
  for (std::size_t i = std::size_t(start - 1); i < s.size(); ++i) {
    if (member[static_cast<unsigned char>(s[i])]) return std::int64_t(i) + 1;
  }
  return 0;
}

std::string text_trim(std::string_view s) {
  std::size_t end = s.size();
  while (end > 0 && (s[end - 1] == ' ' || s[end - 1] == '\0')) --end;
  std::size_t begin = 0;
  while (begin < end && s[begin] == ' ') ++begin;
  return std::string(s.substr(begin, end - begin));
}

int text_code(std::string_view s, std::int64_t pos) {
  if (pos < 1 || pos > length(s)) return 0;
  return static_cast<unsigned char>(s[std::size_t(pos - 1)]);
}

std::int32_t text_to_int(std::string_view s) {
  std::size_t at = 0;
  while (at < s.size() && s[at] == ' ') ++at;
  if (at == s.size()) return 0;

  if (s.size() - at >= 2 && s[at] == '&') {
    unsigned char selector = static_cast<unsigned char>(s[at + 1]);
    int base;
    std::size_t digits;
    if (selector == 'H' || selector == 'h') {
      base = 16, digits = at + 2;
    } else if (selector == 'O' || selector == 'o') {
      base = 8, digits = at + 2;
    } else if (selector == 'B' || selector == 'b') {
      base = 2, digits = at + 2;
    } else if (selector < 66 || selector > 111) {
      base = 8, digits = at + 1;
    } else {
      return 0;
    }
    std::uint32_t value = 0;
    for (std::size_t i = digits; i < s.size(); ++i) {
      char c = s[i];
      int digit = -1;
      if (c >= '0' && c <= '9') digit = c - '0';
      else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
      else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
      if (digit < 0 || digit >= base) break;
      value = value * std::uint32_t(base) + std::uint32_t(digit);  // wraps modulo 2^32
    }
    return static_cast<std::int32_t>(value);
  }

  auto white = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; };
  while (at < s.size() && white(s[at])) ++at;
  bool negative = false;
  if (at < s.size() && (s[at] == '+' || s[at] == '-')) negative = s[at++] == '-';
  std::uint64_t value = 0;
  for (; at < s.size() && s[at] >= '0' && s[at] <= '9'; ++at) {
    value = value * 10 + std::uint64_t(s[at] - '0');
    if (value > 0xFFFFFFFFull) value = 0x100000000ull;  // saturated; stays above the limit
  }
  std::uint32_t bits;
  if (!negative) {
    bits = value > 0xFFFFFFFFull ? 0xFFFFFFFFu : std::uint32_t(value);
  } else {
    // Beyond 32 bits a negative number saturates to the lowest value.
    bits = value > 0xFFFFFFFFull ? 0x80000000u : std::uint32_t(0u - std::uint32_t(value));
  }
  return static_cast<std::int32_t>(bits);
}

int text_compare(std::string_view a, std::string_view b) {
  std::size_t common = std::min(a.size(), b.size());
  int order = common ? std::memcmp(a.data(), b.data(), common) : 0;
  if (order != 0) return order < 0 ? -1 : 1;
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::string text_concat(std::string_view a, std::string_view b) {
  std::string joined;
  joined.reserve(a.size() + b.size());
  joined.append(a).append(b);
  return joined;
}

}  // namespace kit
