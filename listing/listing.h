// The per-line logic of the two listing tools: the fields branchscan takes from a line
// of a disassembly listing with its verdict, and the source line unlister makes of a
// line. Positions count from 1, as in the kit's string operations.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace listing {

// ---------------------------------------------------------------------------------
// branchscan

/// Where the mnemonic begins in a line of branchscan's layout.
constexpr std::int64_t mnemonic_column = 24;
/// The scan ends at the first line whose address is above this (hexadecimal 2700).
constexpr std::int32_t address_limit = 9984;
/// BRA and RCALL warn beyond this distance, GOTO and CALL below the next one.
constexpr std::int32_t relative_threshold = 506;
constexpr std::int32_t absolute_threshold = 510;

/// What branchscan reads from one line. The names with capitals are those the console
/// shows the values under.
struct BranchLine {
  std::string Str;                // the line tag, positions 1-6
  std::string address;            // positions 7-13 without surrounding blanks
  std::int32_t mnemonic_end = 0;  // position of the blank after the mnemonic, or 0
  std::string mnemonic;           // from position 24 up to that blank
  std::int32_t target_start = 0;  // position after the first "0x" behind the mnemonic
  std::int32_t OpEndPos = 0;      // first comma or blank behind the mnemonic, or 0
  std::string Adr;                // the target's digits (and what follows, see below)
  std::int32_t ValStrAdr = 0;     // the address as a hexadecimal number
};

/// Cuts a line into its fields. Without an operand end after the target, Adr holds the
/// rest of the line; its value is still that of the leading hexadecimal digits.
BranchLine read_branch_line(std::string_view line);

/// The four mnemonics that are measured; anything else, "bra" included, is `none`.
enum class Jump { none, relative, absolute };  // BRA, RCALL; GOTO, CALL
Jump jump_kind(std::string_view mnemonic);

/// Target minus address, both read as hexadecimal, wrapping to 32 bits.
std::int32_t jump_distance(const BranchLine& line);

/// True when a relative branch reaches beyond 506 or an absolute jump stays below 510.
bool distance_warns(Jump kind, std::int32_t distance);

// ---------------------------------------------------------------------------------
// unlister

/// The two lines that open every source file.
constexpr std::string_view processor_directive = "\tLIST P=18F4550\t;directive to define processor";
constexpr std::string_view include_directive =
    "\t#include <P18F4550.INC> ;processor specific variable definitions";

/// True when positions 1 to 19 have the instruction layout: blanks at 1-2, 7-10 and
/// 15-19, and "0"-"9", ":" or "A"-"G" at 3-6 and 11-14. Beyond its end a line holds
/// code 0, so a line shorter than 19 characters is never an instruction line.
bool is_instruction_line(std::string_view line);

/// The source line for one listing line, without its line end: the instruction text
/// from position 16 on, "; " and positions 1-16 for an instruction line, else "; " and
/// the whole line. `out` is replaced (kept as a buffer between calls).
void source_line(std::string_view line, std::string& out);

// ---------------------------------------------------------------------------------
// Both

/// The name of a tool's output: the last three characters of `name` replaced by
/// `ending` (War or ASM). The name must have three characters or more.
std::string output_name(std::string_view name, std::string_view ending);

/// The length of a line as the console shows it (a 32-bit number).
std::int32_t line_length(std::string_view line);

/// Tells on standard error, after the console text so far, that `listing` is left
/// unread because its `what` (report, source) would be the listing itself.
void report_self_output(std::string_view tool, std::string_view listing, std::string_view what);

}  // namespace listing
