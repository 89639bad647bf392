// Output and input: print lists on the console and in files, typed input with its line
// editor, and the common start and end of the file tools.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "kit/files.h"

namespace kit {

// ---------------------------------------------------------------------------------
// Print lists. Target 0 is the console, 1 to 255 an open file. Every line ends in CR LF.

/// What a print operation writes after its item: nothing (";" in a print list), blanks
/// up to the next 14-column zone (","), or the line end CR LF (end of the list).
enum class Ending { none, zone, line };

constexpr int console = 0;
constexpr int print_zone_width = 14;

/// Each print returns the status of the write (0, or a file status); texts go out whole,
/// zero bytes included. Signed numbers carry a blank when not negative.
inline int print_text(int target, std::string_view text, Ending ending);
int print_int(int target, std::int32_t value, Ending ending);
int print_uint(int target, std::uint32_t value, Ending ending);
int print_int64(int target, std::int64_t value, Ending ending);
int print_uint64(int target, std::uint64_t value, Ending ending);
int print_double(int target, double value, Ending ending);

int print_text_slow(int target, std::string_view text, Ending ending);

// Converters print millions of short texts into files; those go straight to the buffer.
inline int print_text(int target, std::string_view text, Ending ending) {
  if (target != console && ending == Ending::none) return write_bytes(target, text);
  return print_text_slow(target, text, ending);
}

/// Plain decimal digits with a minus sign when negative, never a blank.
std::string int_to_text(std::int32_t value);
std::string uint64_to_text(std::uint64_t value);

/// The 16-significant-digit text of a double ("%.16g" with an exponent of three digits
/// or more), without the blank that print_double adds: 1e+016, 1.234e-005, inf, nan.
std::string double_to_text(double value);

/// The output column of the console (characters since its last CR or LF).
std::int64_t console_column();

/// Writes what the console has buffered to standard output now.
void flush_console();

// ---------------------------------------------------------------------------------
// Where console text goes and typed lines come from. By default: standard output, and
// standard input (edited on a terminal, cut item by item from a file or pipe). A window
// can take both over.

class ConsoleDevice {
 public:
  virtual ~ConsoleDevice() = default;
  /// Shows bytes that a print operation wrote to the console.
  virtual void write(std::string_view bytes) = 0;
  /// Lets the user type one line after the prompt already shown; returns it without Enter.
  virtual std::string read_line() = 0;
};

/// Installs a device, or restores the standard streams with nullptr.
void set_console_device(ConsoleDevice* device);

// ---------------------------------------------------------------------------------
// Input statements: one input_prompt followed by one input_text or input_double.

/// Shows the prompt (and "? " when asked) and reads one edited line, then ends the
/// console line. When standard input is not a terminal nothing is shown and no line is
/// read: the items are then cut straight from the stream.
void input_prompt(std::string_view prompt, bool question_mark);

/// Takes the next item as a text (4096 characters at most).
void input_text(std::string& variable);

/// Takes the next item as a number (67 characters at most); what is not a number is 0.
void input_double(double& variable);

/// input_prompt, then one text item that is thrown away: the wait at every tool's end.
void closing_wait(std::string_view prompt, bool question_mark);

constexpr std::size_t text_item_limit = 4096;
constexpr std::size_t number_item_limit = 67;

/// A number item as cut from the input: its characters (d and D of an exponent already
/// turned into e and E) and whether a ".", e, E, d or D marked it as a decimal fraction.
struct NumberItem {
  std::string text;
  bool fraction = false;
};

/// The value of a number item: "&H", "&O", "&B" and "&" radix numbers, short decimal
/// integers, and correctly rounded decimal fractions; anything else reads as 0.
double number_item_value(const NumberItem& item);

/// Cuts items from one typed line, as the input statements do; for tests and tools that
/// hold a line already.
class LineItems {
 public:
  explicit LineItems(std::string line) : line_(std::move(line)) {}
  std::string next_text();
  NumberItem next_number();
  /// True when every character of the line has been taken.
  bool exhausted() const { return at_ >= line_.size(); }

 private:
  std::string line_;
  std::size_t at_ = 0;
};

// ---------------------------------------------------------------------------------
// The common start and end of branchscan, unlister, dumpflip and capsheet.

struct PreambleProfile {
  bool pause_after_memory;
  std::string_view first_label;
  std::string_view second_label;
  std::string_view default_name;  // empty when the tool has none
  std::string_view notice;        // the one-line freeware notice
  std::span<const std::string_view> lines_after_notice;
};

/// The profiles of the four file tools.
extern const PreambleProfile branchscan_profile;
extern const PreambleProfile unlister_profile;
extern const PreambleProfile dumpflip_profile;
extern const PreambleProfile capsheet_profile;

/// Bytes of physical memory available now, saturated to 32 bits.
std::uint32_t free_memory();

/// Reports free memory, echoes the call and picks the file name. Returns the name, or
/// nothing after printing the too-short report with the profile's usage lines.
std::optional<std::string> run_preamble(const PreambleProfile& profile, int argc,
                                        char** argv);

/// Answers "--help" or "-h" (the usage text) and "--version" when it is the only
/// argument, on standard output; returns true when it did, and the tool then ends with
/// status 0. Any other call, a file really named "--help" reached as "./--help"
/// included, is left to the tool.
bool answer_standard_option(int argc, char** argv, std::string_view tool,
                            std::string_view usage);

/// Prints every file failure recorded since the last call on standard error, one line
/// each as "program: name: message", after the console text so far. Returns how many.
int report_file_failures(std::string_view program);

/// The exit status a tool ends with: 1 when any file failure was recorded, else 0.
int exit_status();

}  // namespace kit
