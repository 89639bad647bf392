// Decoding of capture lines: each tag's four hexadecimal digits, its sign rule and its
// adjustment, and the trace offset of the plotted tags.

#include "pwmscope/capture.h"

#include <cmath>
#include <cstring>

#include "kit/text.h"

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

std::int32_t field_value(std::string_view line, std::int64_t tag_position, bool is_signed) {
  // The field text is what text_mid(line, tag_position + 1, 4) gives; it is read as the
  // hexadecimal text "&H0000" or "&HFFFF" followed by it. The text is assembled on the
  // stack: a capture holds millions of fields.
  std::string_view field = line.substr(std::size_t(tag_position)).substr(0, 4);
  // Only the upper-case letter makes a negative number: the firmware prints upper case,
  // and a 16-bit value from F000 to FFFF is -4096 to -1.
  bool negative = is_signed && !field.empty() && field[0] == 'F';
  char text[10] = {'&', 'H', '0', '0', '0', '0'};
  if (negative) std::memset(text + 2, 'F', 4);
  std::memcpy(text + 6, field.data(), field.size());
  return kit::text_to_int(std::string_view(text, 6 + field.size()));
}

TagReading decode_tag(char tag, std::string_view line, CaptureFields& fields) {
  TagReading reading;
  std::int64_t at = kit::text_find(1, line, std::string_view(&tag, 1));
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
