// Decoding of capture lines: each tag's four hexadecimal digits, its sign rule and its
// adjustment, and the trace offset of the plotted tags.

#include "pwmscope/capture.h"

#include <cmath>

namespace pwmscope {
namespace {

// Integer arithmetic of the firmware's host program: 32 bits that wrap.
std::int32_t wrapping_sub(std::int32_t a, std::int32_t b) {
  return std::int32_t(std::uint32_t(a) - std::uint32_t(b));
}
std::int32_t wrapping_mul(std::int32_t a, std::int32_t b) {
  return std::int32_t(std::uint32_t(a) * std::uint32_t(b));
}

}  // namespace

std::array<std::int64_t, tag_order.size()> find_tags(std::string_view line) {
  static constexpr auto slot_of = [] {
    std::array<std::int8_t, 256> slots{};
    slots.fill(-1);
    for (std::size_t slot = 0; slot < tag_order.size(); ++slot) {
      slots[std::uint8_t(tag_order[slot])] = std::int8_t(slot);
    }
    return slots;
  }();
  std::array<std::int64_t, tag_order.size()> positions{};
  std::size_t missing = tag_order.size();
  for (std::size_t i = 0; i < line.size() && missing > 0; ++i) {
    std::int8_t slot = slot_of[std::uint8_t(line[i])];
    if (slot >= 0 && positions[std::size_t(slot)] == 0) {
      positions[std::size_t(slot)] = std::int64_t(i) + 1;
      --missing;
    }
  }
  return positions;
}

std::int32_t field_value(std::string_view line, std::int64_t tag_position, bool is_signed) {
  // The rule of text_to_int for "&H" texts, applied to the prefix and the field text
  // without building them: a capture holds millions of fields. Hexadecimal digits are
  // read up to the first other character and accumulated modulo 2^32.
  std::string_view field = line.substr(std::size_t(tag_position)).substr(0, 4);
  // Only the upper-case letter makes a negative number: the firmware prints upper case.
  bool negative = is_signed && !field.empty() && field[0] == 'F';
  std::uint32_t value = negative ? 0xFFFF : 0x0000;
  for (char c : field) {
    std::uint32_t digit;
    if (c >= '0' && c <= '9') {
      digit = std::uint32_t(c - '0');
    } else if (c >= 'A' && c <= 'F') {
      digit = std::uint32_t(c - 'A' + 10);
    } else if (c >= 'a' && c <= 'f') {
      digit = std::uint32_t(c - 'a' + 10);
    } else {
      break;
    }
    value = value * 16 + digit;
  }
  return std::int32_t(value);
}

TagReading decode_tag(char tag, std::int64_t at, std::string_view line, CaptureFields& fields) {
  TagReading reading;
  if (at == 0) return reading;
  reading.present = true;
  std::int32_t amplitude = fields.amplitude;
  switch (tag) {
    case '%':
      fields.amplitude = field_value(line, at, false);
      break;
    case '@':
      fields.amplitude_shown = field_value(line, at, false);
      break;
    case '#':
      fields.row_number = field_value(line, at, false);
      break;
    case '~':
      fields.sin3g_table = field_value(line, at, true);
      reading.plotted = true;
      reading.offset = wrapping_mul(4, fields.sin3g_table);
      break;
    case '=':
      fields.sin_table = field_value(line, at, true);
      reading.plotted = true;
      reading.offset = fields.sin_table / 4.0;
      break;
    case '*':
      fields.sin_amplify = wrapping_sub(field_value(line, at, true), 32639);
      reading.plotted = true;
      reading.offset =
          amplitude > 0 ? (63.0 / amplitude) * fields.sin_amplify : double(fields.sin_amplify);
      break;
    case '+':
      fields.sin_limited = wrapping_sub(field_value(line, at, true), 26086);
      reading.plotted = true;
      reading.offset =
          amplitude > 0 ? (60.0 / amplitude) * fields.sin_limited : double(fields.sin_limited);
      break;
    case '$': {
      fields.pwm_duty_cycle = field_value(line, at, false);
      reading.plotted = true;
      std::int32_t from_middle = wrapping_sub(fields.pwm_duty_cycle, 4075);
      if (amplitude > 0) {
        fields.pd_cycle_d = from_middle * (370.0 / amplitude);
        reading.offset = fields.pd_cycle_d;
      } else {
        reading.offset = from_middle;
      }
      break;
    }
    default:  // '&' is sent by the firmware but carries nothing the plot uses
      break;
  }
  return reading;
}

void update_amplitude_percent(CaptureFields& fields) {
  fields.amplitude_percent = std::floor(100.0 * fields.amplitude / 4096.0);
}

}  // namespace pwmscope
