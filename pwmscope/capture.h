// The capture model: what one line of the PWM firmware's USART output says, decoded tag
// by tag, and the trace offsets that the plot draws from it.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace pwmscope {

/// The last value seen of every field of the capture, for the whole run.
struct CaptureFields {
  std::int32_t amplitude = 0;        // %  4096 is 100 percent
  std::int32_t amplitude_shown = 0;  // @  only shown
  std::int32_t row_number = 0;       // #  advances the sweep
  std::int32_t sin3g_table = 0;      // ~  grey trace
  std::int32_t sin_table = 0;        // =  yellow trace, zero synchro
  std::int32_t sin_amplify = 0;      // *  cyan trace, stored less 32639
  std::int32_t sin_limited = 0;      // +  red trace, stored less 26086
  std::int32_t pwm_duty_cycle = 0;   // $  green trace
  double pd_cycle_d = 0;             // the last scaled duty-cycle offset
  double amplitude_percent = 0;

  bool operator==(const CaptureFields&) const = default;
};

/// The field tags in the order a capture line is examined.
constexpr std::array<char, 9> tag_order = {'%', '@', '&', '#', '~', '=', '*', '+', '$'};

/// What one tag of one line gave.
struct TagReading {
  bool present = false;  // the tag occurs in the line
  bool plotted = false;  // the tag has a trace: ~ = * + $
  double offset = 0;     // distance of its point below the zero line, in pixels
};

/// Where each tag of tag_order first occurs in `line` (from 1), or 0 where it does not:
/// what text_find from position 1 gives, found in one pass over the line.
std::array<std::int64_t, tag_order.size()> find_tags(std::string_view line);

/// The value of the four characters after position `tag_position` (from 1) of `line`:
/// text_to_int of "&H0000" followed by them, or of "&HFFFF" for a signed field whose text
/// begins with "F", so that F000 to FFFF are -4096 to -1. Fewer or broken digits give
/// what the digits up to there spell.
std::int32_t field_value(std::string_view line, std::int64_t tag_position, bool is_signed);

/// Decodes `tag`, found at `tag_position` of `line` (0: absent, which changes nothing),
/// into `fields` and computes its trace offset from the amplitude known at this point
/// of the line.
TagReading decode_tag(char tag, std::int64_t tag_position, std::string_view line,
                      CaptureFields& fields);

/// Recomputes amplitude_percent after the tags of a line: floor(100 * amplitude / 4096).
void update_amplitude_percent(CaptureFields& fields);

}  // namespace pwmscope
