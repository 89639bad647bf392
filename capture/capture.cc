#include "capture/capture.h"

namespace capture {
namespace detail {

constexpr char upper_digits[] = "0123456789ABCDEF";

const std::array<std::uint8_t, 256> char_class = [] {
  std::array<std::uint8_t, 256> classes{};
  classes.fill(strange);
  for (int i = 0; i < 10; ++i) classes['0' + i] = std::uint8_t(i);
  for (int i = 0; i < 6; ++i) {
    classes['A' + i] = std::uint8_t(10 + i);
    classes['a' + i] = std::uint8_t(10 + i);
  }
  for (char c : {' ', '\t', '\r', '\n'}) classes[std::uint8_t(c)] = white;
  return classes;
}();

const std::array<std::array<char, 2>, 256> hex_pairs = [] {
  std::array<std::array<char, 2>, 256> pairs{};
  for (int byte = 0; byte < 256; ++byte)
    pairs[byte] = {upper_digits[byte >> 4], upper_digits[byte & 15]};
  return pairs;
}();

}  // namespace detail

namespace {

// Output names overwrite the end of the input name in place; a name shorter than the
// replacement becomes the replacement.
std::string overwrite_end(std::string_view name, std::string_view end) {
  if (name.size() < end.size()) return std::string(end);
  std::string result(name.substr(0, name.size() - end.size()));
  result += end;
  return result;
}

}  // namespace

bool is_hex_text_name(std::string_view name) { return !name.empty() && name.back() == '_'; }

std::string dump_name(std::string_view name) { return overwrite_end(name, "_"); }

std::string restore_name(std::string_view name) { return overwrite_end(name, "1"); }

std::string strange_text_report(std::int64_t count, std::int64_t first_offset) {
  std::string offset = std::to_string(first_offset);
  if (count == 1)
    return "Not hex text: 1 character that is neither a hex digit nor white space, at offset " +
           offset;
  return "Not hex text: " + std::to_string(count) +
         " characters that are neither hex digits nor white space, the first at offset " + offset;
}

std::string sheet_name(std::string_view name) { return overwrite_end(name, "Txt"); }

}  // namespace capture
