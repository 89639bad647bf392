// The per-line logic of the listing tools: fields and verdicts of branchscan lines,
// unlister's column test and conversion, and the derived file names.

#include "listing/listing.h"

#include <gtest/gtest.h>

#include <string>

namespace listing {
namespace {

using namespace std::string_literals;

// A line in branchscan's layout: the tag in positions 1-6, the address column in 7-13,
// blanks up to 23, and `text` from the mnemonic column 24 on.
std::string branch_line(std::string tag, std::string address, std::string text) {
  tag.resize(6, ' ');
  address.resize(7, ' ');
  return tag + address + std::string(10, ' ') + text;
}

TEST(BranchLine, FieldsOfLines) {
  struct Case {
    std::string line;
    std::string Str, address;
    std::int32_t p;
    std::string mnemonic;
    std::int32_t q, r;
    std::string Adr;
    std::int32_t ValStrAdr;
  } cases[] = {
      // The worked example: 33 characters, BRA in 24-26 and its target in 28-33.
      {branch_line("  0012", "   01A4", "BRA 0x0190"), "  0012", "01A4", 27, "BRA", 30, 0, "0190",
       420},
      // A comma right after the target digits ends them.
      {branch_line("  0013", "   01A6", "CALL 0x00B6, 0x0"), "  0013", "01A6", 28, "CALL", 31, 35,
       "00B6", 422},
      // Several blanks before the target: the operand end is the blank after the
      // mnemonic's, so Adr is the rest of the line.
      {branch_line("  0014", "   01AA", "CALL   0x0300, 0"), "  0014", "01AA", 28, "CALL", 33, 29,
       "0300, 0", 426},
      // No blank after the mnemonic: it runs to the end of the line, and the searches
      // start at position 1.
      {branch_line("  0015", "   01AE", "RETURN"), "  0015", "01AE", 0, "RETURN", 2, 1,
       " 0015   01AE          RETURN", 430},
      // Shorter than 24 characters: no mnemonic.
      {"Program listing", "Progra", "m listi", 0, "", 2, 8, "rogram", 0},
      {"", "", "", 0, "", 2, 0, "", 0},
      // Zero bytes at the end of the address column are trimmed; a tab is not, and
      // "&H" followed by a tab is 0.
      {branch_line("  0016", "  01B0\0"s, "NOP"), "  0016", "01B0", 0, "NOP", 2, 1,
       " 0016  01B0\0          NOP"s, 432},
      {branch_line("  0017", "\t01B2", "NOP"), "  0017", "\t01B2", 0, "NOP", 2, 1,
       " 0017\t01B2" + std::string(12, ' ') + "NOP", 0},
      // A CR and a zero byte inside the line are ordinary characters.
      {branch_line("  0018", "   01B4", "GOTO 0x01B4\r\0x"s), "  0018", "01B4", 28, "GOTO", 31, 0,
       "01B4\r\0x"s, 436},
      // The blank that ends the mnemonic is searched from column 24 even when the line
      // has blanks before it.
      {branch_line("a b c", "   2700", "BRA 0x2000"), "a b c ", "2700", 27, "BRA", 30, 0, "2000",
       9984},
      {branch_line("", "2701", "BRA 0x2000"), "      ", "2701", 27, "BRA", 30, 0, "2000", 9985},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.line));
    BranchLine fields = read_branch_line(c.line);
    EXPECT_EQ(fields.Str, c.Str);
    EXPECT_EQ(fields.address, c.address);
    EXPECT_EQ(fields.mnemonic_end, c.p);
    EXPECT_EQ(fields.mnemonic, c.mnemonic);
    EXPECT_EQ(fields.target_start, c.q);
    EXPECT_EQ(fields.OpEndPos, c.r);
    EXPECT_EQ(fields.Adr, c.Adr);
    EXPECT_EQ(fields.ValStrAdr, c.ValStrAdr);
  }
}

TEST(BranchLine, DistancesAndVerdicts) {
  struct Case {
    std::string address, text;
    Jump kind;
    std::int32_t distance;
    bool warns;
  } cases[] = {
      {"1000", "BRA 0x11FB", Jump::relative, 507, true},
      {"1000", "BRA 0x11FA", Jump::relative, 506, false},
      {"1000", "BRA 0x0E05", Jump::relative, -507, true},
      {"1000", "BRA 0x0E06", Jump::relative, -506, false},
      {"1000", "RCALL 0x11FB", Jump::relative, 507, true},
      {"1000", "RCALL 0x0E06", Jump::relative, -506, false},
      {"1000", "GOTO 0x11FD", Jump::absolute, 509, true},
      {"1000", "GOTO 0x11FE", Jump::absolute, 510, false},
      {"1000", "GOTO 0x0E03", Jump::absolute, -509, true},
      {"1000", "GOTO 0x0E02", Jump::absolute, -510, false},
      {"1000", "GOTO 0x1000", Jump::absolute, 0, true},
      {"1000", "CALL 0x11FD, 0", Jump::absolute, 509, true},
      {"1000", "CALL 0x0E02,1", Jump::absolute, -510, false},
      // Several blanks before the target still give its value.
      {"1000", "CALL    0x11FE", Jump::absolute, 510, false},
      // Only the exact capital mnemonics are measured.
      {"1000", "bra 0x2000", Jump::none, 0x1000, false},
      {"1000", "BRAX 0x2000", Jump::none, 0x1000, false},
      {"1000", "BZ 0x2000", Jump::none, 0x1000, false},
      // 32-bit arithmetic wraps: 0x80000000 is the lowest value, minus 1 is the highest.
      {"1", "BRA 0x80000000", Jump::relative, 2147483647, true},
      {"1", "GOTO 0xFFFFFFFF", Jump::absolute, -2, true},
      {"7FFFFFF", "BRA 0x80000000", Jump::relative, 2013265921, true},
      // No target digits: the value of "&H" and whatever follows "0x" is 0.
      {"0010", "GOTO", Jump::absolute, -16, true},
      {"0010", "BRA label", Jump::relative, -16, false},
  };
  for (const Case& c : cases) {
    std::string line = branch_line("  0001", c.address, c.text);
    SCOPED_TRACE(line);
    BranchLine fields = read_branch_line(line);
    EXPECT_EQ(jump_kind(fields.mnemonic), c.kind);
    EXPECT_EQ(jump_distance(fields), c.distance);
    EXPECT_EQ(distance_warns(c.kind, jump_distance(fields)), c.warns);
  }
}

TEST(BranchLine, ThresholdsOnTheirOwn) {
  EXPECT_TRUE(distance_warns(Jump::relative, INT32_MIN));
  EXPECT_FALSE(distance_warns(Jump::absolute, INT32_MIN));
  EXPECT_FALSE(distance_warns(Jump::none, 0));
  EXPECT_FALSE(distance_warns(Jump::none, 100000));
}

TEST(SourceLine, ConvertsEachLine) {
  struct Case {
    std::string line, source;
  } cases[] = {
      // The worked example, and a heading.
      {"  01A4    D7F5     BRA 0x190", "    BRA 0x190;   01A4    D7F5  "},
      {"Program listing", "; Program listing"},
      {"", "; "},
      // Lower-case hexadecimal letters fail the digit fields; ":" and "G" pass.
      {"  01a4    D7F5     BRA 0x190",
       "; "
       "  01a4    D7F5     BRA 0x190"},
      {"  01A4    d7f5     BRA 0x190",
       "; "
       "  01A4    d7f5     BRA 0x190"},
      {"  01:G    G::0     NOP", "    NOP;   01:G    G::0  "},
      {"  0/A4    D7F5     NOP",
       "; "
       "  0/A4    D7F5     NOP"},
      {"  01A4    D;F5     NOP",
       "; "
       "  01A4    D;F5     NOP"},
      {"  01H4    D7F5     NOP",
       "; "
       "  01H4    D7F5     NOP"},
      {"  01@4    D7F5     NOP",
       "; "
       "  01@4    D7F5     NOP"},
      // Exactly 19 characters pass; 18 fail at position 19, which reads as code 0.
      {"  0002    F000     ", "    ;   0002    F000  "},
      {"  0002    F000    ",
       "; "
       "  0002    F000    "},
      {"  0002    F000",
       "; "
       "  0002    F000"},
      // A tab where a blank is asked for makes a comment, at any of those positions.
      {"\t 01A4    D7F5     NOP",
       "; "
       "\t 01A4    D7F5     NOP"},
      {"  01A4 \t  D7F5     NOP",
       "; "
       "  01A4 \t  D7F5     NOP"},
      {"  01A4    D7F5\t    NOP",
       "; "
       "  01A4    D7F5\t    NOP"},
      {"  01A4    D7F5    \tNOP",
       "; "
       "  01A4    D7F5    \tNOP"},
      // Position 20 on is not tested: blanks, a tab, a zero byte or a CR stay as they are.
      {"  01A4    D7F5      ", "     ;   01A4    D7F5  "},
      {"  01A4    D7F5     \tNOP\0;\r"s, "    \tNOP\0;\r;   01A4    D7F5  "s},
      {"\0 01A4    D7F5     NOP"s, "; \0 01A4    D7F5     NOP"s},
      // Too short for the second field.
      {"  01A4",
       "; "
       "  01A4"},
  };
  std::string out = "left over from an earlier line";
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.line));
    source_line(c.line, out);
    EXPECT_EQ(out, c.source);
    EXPECT_EQ(is_instruction_line(c.line), c.source.rfind("; ", 0) != 0);
  }
}

TEST(SourceLine, LongLinesAreConvertedWhole) {
  std::string instruction = "  0100    0000     NOP" + std::string(3 << 20, 'x');
  std::string out;
  source_line(instruction, out);
  EXPECT_EQ(out, instruction.substr(15) + ";   0100    0000  ");
  std::string junk(5 << 20, '\xff');
  source_line(junk, out);
  EXPECT_EQ(out, "; " + junk);
}

TEST(OutputName, LastThreeCharactersAreReplaced) {
  struct Case {
    std::string name, ending, expected;
  } cases[] = {
      {"..\\_Out\\_Machine.TXT", "War", "..\\_Out\\_Machine.War"},
      {"180412_DisAsm.txt", "ASM", "180412_DisAsm.ASM"},
      {"abc", "War", "War"},
      {"prog.lst", "ASM", "prog.ASM"},
      {"prog.War", "War", "prog.War"},
      {"listing", "War", "listWar"},
  };
  for (const Case& c : cases) EXPECT_EQ(output_name(c.name, c.ending), c.expected) << c.name;
}

TEST(LineLength, CountsEveryByte) {
  EXPECT_EQ(line_length(""), 0);
  EXPECT_EQ(line_length("A\0B\r"s), 4);
}

}  // namespace
}  // namespace listing
