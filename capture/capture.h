// The byte logic of the capture converters: hex pairs for dumpflip in both directions,
// the byte history of capsheet, and the output names both derive from their input name.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace capture {

// ---------------------------------------------------------------------------------
// dumpflip

/// True when the name ends in "_": the file is hex text to be turned back into bytes.
bool is_hex_text_name(std::string_view name);

/// The name of a dump: the last character replaced by "_" (data.bin gives data.bi_).
std::string dump_name(std::string_view name);

/// The name of restored bytes: the last character replaced by "1" (data.bi_ gives data.bi1).
std::string restore_name(std::string_view name);

/// The two upper-case hex digits of a byte, high nibble first ("05", "FF").
inline std::string_view hex_pair(std::uint8_t byte);

/// The byte that a pair of characters spells: hex digits of either case are read from the
/// left until the first other character; no digit at all gives 0 ("4G" is 0x04, "G4" 0).
inline std::uint8_t pair_value(char first, char second);

/// The byte of a single character left over at the end of a text of odd length.
inline std::uint8_t single_value(char only);

/// Turns hex text back into bytes, one character at a time. Blank, tab, CR and LF are
/// skipped, so a dump with line ends restores byte for byte; every other character is
/// paired with the next one. Characters that are neither hex digits nor white space are
/// counted, with the offset of the first, for the tool to report.
class HexReader {
 public:
  /// Takes the character at the next offset of the text; returns true and sets `byte`
  /// when it completes a pair.
  inline bool take(char c, std::uint8_t& byte);

  /// Takes two characters at once, as take() twice; they complete one pair at most.
  inline bool take_two(char first, char second, std::uint8_t& byte);

  /// Ends the text: returns true and sets `byte` when one character was left unpaired.
  inline bool finish(std::uint8_t& byte);

  /// Characters taken so far that are neither hex digits nor white space.
  std::int64_t strange_count() const { return strange_count_; }

  /// Offset (from 0) of the first of them in the text; -1 while there is none.
  std::int64_t first_strange_offset() const { return first_strange_; }

 private:
  void note_strange() {
    if (strange_count_++ == 0) first_strange_ = offset_;
  }

  std::int64_t offset_ = 0;
  std::int64_t strange_count_ = 0;
  std::int64_t first_strange_ = -1;
  int pending_ = -1;  // the first character of a pair waiting for its partner
};

/// The console line that reports strange characters in hex text (without line end).
std::string strange_text_report(std::int64_t count, std::int64_t first_offset);

// ---------------------------------------------------------------------------------
// capsheet

/// The name of the spreadsheet text: the last three characters replaced by "Txt"
/// (cap01.bin gives cap01.Txt; a name of three characters gives Txt).
std::string sheet_name(std::string_view name);

constexpr std::int8_t line_feed = 0x0A;
constexpr std::int8_t carriage_return = 0x0D;
constexpr std::int8_t record_end = 0x3B;  // ";"

/// What one byte of a capture stream asks the converter to do.
enum class Event {
  none,            // a data byte entered the history, or a CR LF pair left it
  record,          // a ";" ended a record: write value()
  lone_line_feed,  // a 0x0A that followed no 0x0D: report it
};

/// The last three data bytes of a capture, newest first. The newest two make a record's
/// value; the third only comes back when a CR LF pair drops the CR.
class ByteHistory {
 public:
  inline Event take(std::int8_t byte);

  /// The value of a record ended now: the older byte low, the newer high, both signed.
  int value() const { return h2_ + 256 * h1_; }

 private:
  std::int8_t h1_ = 0, h2_ = 0, h3_ = 0;
};

// ---------------------------------------------------------------------------------
// The per-byte operations run for every byte of large files, so they are inline.

namespace detail {

// Character classes for hex text: 0-15 a digit's value, then white space, then the rest.
constexpr std::uint8_t white = 16;
constexpr std::uint8_t strange = 17;
extern const std::array<std::uint8_t, 256> char_class;
extern const std::array<std::array<char, 2>, 256> hex_pairs;

}  // namespace detail

inline std::string_view hex_pair(std::uint8_t byte) { return {detail::hex_pairs[byte].data(), 2}; }

inline std::uint8_t pair_value(char first, char second) {
  std::uint8_t high = detail::char_class[static_cast<std::uint8_t>(first)];
  if (high > 15) return 0;
  std::uint8_t low = detail::char_class[static_cast<std::uint8_t>(second)];
  if (low > 15) return high;
  return std::uint8_t(high * 16 + low);
}

inline std::uint8_t single_value(char only) { return pair_value(only, '\0'); }

inline bool HexReader::take(char c, std::uint8_t& byte) {
  std::uint8_t cls = detail::char_class[static_cast<std::uint8_t>(c)];
  if (cls == detail::white) {
    ++offset_;
    return false;
  }
  if (cls == detail::strange) note_strange();
  ++offset_;
  if (pending_ < 0) {
    pending_ = static_cast<std::uint8_t>(c);
    return false;
  }
  byte = pair_value(char(pending_), c);
  pending_ = -1;
  return true;
}

inline bool HexReader::take_two(char first, char second, std::uint8_t& byte) {
  // Clean hex text comes in aligned pairs of digits: one table look-up each.
  std::uint8_t high = detail::char_class[static_cast<std::uint8_t>(first)];
  std::uint8_t low = detail::char_class[static_cast<std::uint8_t>(second)];
  if (pending_ < 0 && (high | low) < 16) {
    byte = std::uint8_t(high * 16 + low);
    offset_ += 2;
    return true;
  }
  std::uint8_t later = 0;
  bool done = take(first, byte);
  if (take(second, later)) {
    byte = later;
    done = true;
  }
  return done;
}

inline bool HexReader::finish(std::uint8_t& byte) {
  if (pending_ < 0) return false;
  byte = single_value(char(pending_));
  pending_ = -1;
  return true;
}

inline Event ByteHistory::take(std::int8_t byte) {
  if (byte == line_feed) {
    if (h1_ != carriage_return) return Event::lone_line_feed;
    h1_ = h2_;
    h2_ = h3_;
    return Event::none;
  }
  if (byte == record_end) return Event::record;
  h3_ = h2_;
  h2_ = h1_;
  h1_ = byte;
  return Event::none;
}

}  // namespace capture
