// The fields of a branchscan line and unlister's conversion. The fields are cut with the
// kit's string operations, so that every edge (short lines, missing blanks, positions
// outside the line) follows their rules; the column test reads bytes directly, with the
// same result as reading each position's code.

#include "listing/listing.h"

#include <cstdio>
#include <cstdlib>

#include "kit/console.h"
#include "kit/text.h"

namespace listing {
namespace {

std::int32_t hex_value(std::string_view digits) {
  return kit::text_to_int(kit::text_concat("&H", digits));
}

// Positions are 32-bit values on the console; a line of 2 GB or more is cut there.
std::int32_t position(std::int64_t value) {
  return value > INT32_MAX ? INT32_MAX : std::int32_t(value);
}

// unlister's column test: what each of positions 1 to 19 admits, and what each
// character is.
struct ColumnTest {
  static constexpr unsigned char blank = 1, digit = 2;
  unsigned char kind_of[256] = {};
  unsigned char wanted[19] = {};
  constexpr ColumnTest() {
    kind_of[32] = blank;
    // "0"-"9" and ":", "A"-"G": the digit field admits one character past each range.
    for (int c = 48; c <= 58; ++c) kind_of[c] = digit;
    for (int c = 65; c <= 71; ++c) kind_of[c] = digit;
    for (int i = 0; i < 19; ++i) {
      bool digit_field = (i >= 2 && i <= 5) || (i >= 10 && i <= 13);
      wanted[i] = digit_field ? digit : blank;
    }
  }
};
constexpr ColumnTest column_test;

}  // namespace

BranchLine read_branch_line(std::string_view line) {
  BranchLine fields;
  fields.Str = kit::text_mid(line, 1, 6);
  fields.address = kit::text_trim(kit::text_mid(line, 7, 7));
  std::int64_t p = kit::text_find(mnemonic_column, line, " ");
  fields.mnemonic_end = position(p);
  // Without a blank the count is negative and the mnemonic runs to the end of the line.
  fields.mnemonic = kit::text_mid(line, mnemonic_column, p - mnemonic_column);
  std::int64_t q = kit::text_find(p + 1, line, "0x") + 2;
  fields.target_start = position(q);
  std::int64_t r = kit::text_find_any(p + 1, line, ", ");
  fields.OpEndPos = position(r);
  // An operand end before the target gives a negative count: the rest of the line.
  fields.Adr = kit::text_mid(line, q, r - q);
  fields.ValStrAdr = hex_value(fields.address);
  return fields;
}

Jump jump_kind(std::string_view mnemonic) {
  if (kit::text_compare(mnemonic, "BRA") == 0 || kit::text_compare(mnemonic, "RCALL") == 0)
    return Jump::relative;
  if (kit::text_compare(mnemonic, "GOTO") == 0 || kit::text_compare(mnemonic, "CALL") == 0)
    return Jump::absolute;
  return Jump::none;
}

std::int32_t jump_distance(const BranchLine& line) {
  // A 32-bit difference, wrapping as the machine does.
  std::uint32_t target = std::uint32_t(hex_value(line.Adr));
  std::uint32_t address = std::uint32_t(hex_value(line.address));
  return std::int32_t(target - address);
}

bool distance_warns(Jump kind, std::int32_t distance) {
  std::int64_t magnitude = std::llabs(std::int64_t(distance));
  switch (kind) {
    case Jump::relative:
      return magnitude > relative_threshold;
    case Jump::absolute:
      return magnitude < absolute_threshold;
    case Jump::none:
      break;
  }
  return false;
}

bool is_instruction_line(std::string_view line) {
  // Position 19 must hold a blank, and beyond the end of a line the code is 0.
  if (line.size() < 19) return false;
  // Every position is looked at, without a branch per character: listings mix both
  // kinds of line, and a mispredicted branch costs more than the whole test.
  bool passes = true;
  for (std::size_t i = 0; i < 19; ++i)
    passes &=
        (column_test.kind_of[static_cast<unsigned char>(line[i])] & column_test.wanted[i]) != 0;
  return passes;
}

void source_line(std::string_view line, std::string& out) {
  out.clear();
  if (is_instruction_line(line)) {
    // Positions 16 on (four blanks, then the instruction), then the listing columns.
    out.append(line.substr(15));
    out.append("; ");
    out.append(line.substr(0, 16));
  } else {
    out.append("; ");
    out.append(line);
  }
}

std::string output_name(std::string_view name, std::string_view ending) {
  std::string result(name);
  kit::text_overwrite(result, kit::text_len(result) - 2, 3, ending);
  return result;
}

std::int32_t line_length(std::string_view line) { return position(kit::text_len(line)); }

void report_self_output(std::string_view tool, std::string_view listing, std::string_view what) {
  kit::flush_console();
  std::string message(tool);
  message.append(": ").append(listing).append(": not read: its ").append(what);
  message.append(" file would be the listing itself\n");
  std::fwrite(message.data(), 1, message.size(), stderr);
  std::fflush(stderr);
}

}  // namespace listing
