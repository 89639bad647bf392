// Fuzz target: every string operation with arbitrary texts and positions, checked against
// the bounds its rules give.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "kit/text.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  std::int64_t start = std::int8_t(data[0]);
  std::int64_t count = std::int8_t(data[1]);
  std::size_t split = data[2];
  std::string rest(reinterpret_cast<const char*>(data + 3), size - 3);
  split = std::min(split, rest.size());
  std::string s = rest.substr(0, split), pattern = rest.substr(split);
  std::int64_t length = std::int64_t(s.size());
  bool start_inside = start >= 1 && start <= length;

  std::string mid = kit::text_mid(s, start, count);
  check(mid.empty() || (start_inside && s.compare(std::size_t(start - 1), mid.size(), mid) == 0));
  check(count < 0 || std::int64_t(mid.size()) <= count);
  check(!start_inside || count == 0 || !mid.empty());

  std::string left = kit::text_left(s, count), right = kit::text_right(s, count);
  check(std::int64_t(left.size()) == std::clamp<std::int64_t>(count, 0, length));
  check(s.compare(0, left.size(), left) == 0);
  check(right.size() == left.size() && s.compare(s.size() - right.size(), right.size(), right) == 0);

  std::int64_t found = kit::text_find(start, s, pattern);
  if (start_inside && !pattern.empty() && pattern.size() <= s.size()) {
    std::size_t expected = s.find(pattern, std::size_t(start - 1));
    check(found == (expected == std::string::npos ? 0 : std::int64_t(expected) + 1));
  } else {
    check(found == 0);
  }

  std::int64_t any = kit::text_find_any(start, s, pattern);
  if (start_inside && !pattern.empty()) {
    std::size_t expected = s.find_first_of(pattern, std::size_t(start - 1));
    check(any == (expected == std::string::npos ? 0 : std::int64_t(expected) + 1));
  } else {
    check(any == 0);
  }

  std::string written = s;
  kit::text_overwrite(written, start, count, pattern);
  check(written.size() == s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    bool in_range = std::int64_t(i) + 1 >= start &&
                    std::int64_t(i) + 1 < start + std::int64_t(pattern.size());
    if (!in_range) check(written[i] == s[i]);
  }

  std::string trimmed = kit::text_trim(s);
  check(trimmed.empty() || (trimmed.front() != ' ' && trimmed.back() != ' ' && trimmed.back() != '\0'));
  check(s.find(trimmed) != std::string::npos);

  check(kit::text_code(s, start) == (start_inside ? static_cast<unsigned char>(s[std::size_t(start - 1)]) : 0));
  check(kit::text_to_int(" " + s) == kit::text_to_int(s));
  int order = kit::text_compare(s, pattern);
  check((order == 0) == (s == pattern) && (order < 0) == (s < pattern));
  check(kit::text_concat(s, pattern) == s + pattern);
  return 0;
}
