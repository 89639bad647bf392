// branchscan and unlister as processes: the fixtures of testdata/ byte for byte, default
// names, empty, missing and self-named listings, outputs that cannot be written, and
// listings of any shape.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "kit/test_support.h"

namespace listing {
namespace {

using namespace std::string_literals;
using kit::testing::after_memory_report;
using kit::testing::read_file;
using kit::testing::run_tool;
using kit::testing::TempDir;
using kit::testing::write_file;
namespace fs = std::filesystem;

std::string fixture(const std::string& name) {
  return read_file(fs::path(LISTING_TESTDATA) / name);
}

const std::string directives =
    "\tLIST P=18F4550\t;directive to define processor\r\n"
    "\t#include <P18F4550.INC> ;processor specific variable definitions\r\n";

TEST(ListingRun, FixturesByteForByte) {
  struct Case {
    std::string tool, listing, output;
  } cases[] = {
      {"branchscan", "branch_cases.txt", "branch_cases.War"},
      {"unlister", "unlist_cases.txt", "unlist_cases.ASM"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    write_file(dir / c.listing, fixture(c.listing));
    auto run = run_tool(c.tool, {c.listing}, "", dir.path());
    std::string console_file = c.listing.substr(0, c.listing.size() - 3) + "console";
    EXPECT_EQ(after_memory_report(run.out), fixture(console_file)) << c.tool;
    EXPECT_EQ(read_file(dir / c.output), fixture(c.output)) << c.tool;
    EXPECT_EQ(run.err, "") << c.tool;
    EXPECT_EQ(run.status, 0) << c.tool;
  }
}

// The examples worked through in the tools' description, as the console and files show them.
TEST(ListingRun, WorkedExamples) {
  TempDir dir;
  const std::string line = "  0012   01A4" + std::string(10, ' ') + "BRA 0x0190";
  write_file(dir / "worked.txt", line + "\r\n");
  auto scan = run_tool("branchscan", {"worked.txt"}, "", dir.path());
  EXPECT_EQ(after_memory_report(scan.out),
            "EXE name= branchscan, Dis Asm FileName= worked.txt\r\n"
            "Scan for Branch longer than 512 bytes: worked.txt\r\n"
            " 33" +
                line +
                "\r\n"
                "  001201A4 27=BRA, ValStrAdr= 420, OpEndPos= 0, Adr=0190 LenBra=-20"
                "Strings= 1, Warnings= 0\r\n");
  EXPECT_EQ(read_file(dir / "worked.War"), "Strings= 1, Warnings= 0\r\n");

  write_file(dir / "worked.lst", "  01A4    D7F5     BRA 0x190\r\nProgram listing\r\n");
  auto convert = run_tool("unlister", {"worked.lst"}, "", dir.path());
  EXPECT_EQ(read_file(dir / "worked.ASM"),
            directives + "    BRA 0x190;   01A4    D7F5  \r\n; Program listing\r\n");
  EXPECT_EQ(scan.status + convert.status, 0);
}

TEST(ListingRun, DefaultListings) {
  TempDir dir;
  fs::create_directories(dir / "_Out");
  fs::create_directories(dir / "work");
  write_file(dir / "_Out" / "_Machine.TXT", "  0001   0100 D000     BRA 0x0400\r\n");
  auto scan = run_tool("branchscan", {}, "", dir / "work");
  EXPECT_EQ(scan.status, 0) << scan.err;
  EXPECT_EQ(read_file(dir / "_Out" / "_Machine.War"),
            "  0001   0100 D000     BRA 0x0400\r\nStr=  0001, LenBra= 768\r\n"
            "Strings= 1, Warnings= 1\r\n");

  write_file(dir / "work" / "180412_DisAsm.txt", "  0100    D000     BRA 0x400\r\n");
  auto convert = run_tool("unlister", {"x"}, "", dir / "work");
  EXPECT_EQ(convert.status, 0) << convert.err;
  EXPECT_EQ(read_file(dir / "work" / "180412_DisAsm.ASM"),
            directives + "    BRA 0x400;   0100    D000  \r\n");
}

TEST(ListingRun, EmptyListings) {
  TempDir dir;
  write_file(dir / "empty.txt", "");
  auto scan = run_tool("branchscan", {"empty.txt"}, "", dir.path());
  EXPECT_EQ(after_memory_report(scan.out),
            "EXE name= branchscan, Dis Asm FileName= empty.txt\r\n"
            "Scan for Branch longer than 512 bytes: empty.txt\r\n"
            "Strings= 0, Warnings= 0\r\n");
  EXPECT_EQ(read_file(dir / "empty.War"), "Strings= 0, Warnings= 0\r\n");
  EXPECT_EQ(scan.status, 0);

  auto convert = run_tool("unlister", {"empty.txt"}, "", dir.path());
  EXPECT_EQ(read_file(dir / "empty.ASM"), directives);
  EXPECT_EQ(convert.status, 0);
}

// A listing that cannot be opened is named on standard error with the reason; no output
// file is created, and one that exists keeps its content.
TEST(ListingRun, MissingListing) {
  struct Case {
    std::string tool, output, console_after_banner;
  } cases[] = {
      {"branchscan", "gone.War", "Strings= 0, Warnings= 0\r\n"},
      {"unlister", "gone.ASM", ""},
  };
  for (const Case& c : cases) {
    TempDir dir;
    auto run = run_tool(c.tool, {"gone.txt"}, "", dir.path());
    EXPECT_EQ(run.status, 1) << c.tool;
    EXPECT_EQ(run.err, c.tool + ": gone.txt: cannot open: No such file or directory\n");
    EXPECT_FALSE(fs::exists(dir / c.output)) << c.tool;
    std::string banner = c.tool == "branchscan"
                             ? "Scan for Branch longer than 512 bytes: gone.txt\r\n"
                             : "Convert from DisAsm to ASM: gone.txt\r\n";
    EXPECT_EQ(after_memory_report(run.out), "EXE name= " + c.tool +
                                                ", Dis Asm FileName= gone.txt\r\n" + banner +
                                                c.console_after_banner);

    write_file(dir / c.output, "kept");
    run = run_tool(c.tool, {"gone.txt"}, "", dir.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(read_file(dir / c.output), "kept") << c.tool;
  }
}

// A listing whose output name is the listing itself, by name or through a link, is
// left unread and untouched.
TEST(ListingRun, ListingThatWouldBeItsOwnOutput) {
  struct Case {
    std::string tool, listing, output;
    bool link;
  } cases[] = {
      {"branchscan", "prog.War", "prog.War", false},
      {"unlister", "prog.ASM", "prog.ASM", false},
      {"branchscan", "prog.txt", "prog.War", true},
      {"unlister", "prog.txt", "prog.ASM", true},
      {"branchscan", "c:\\prog.War", "prog.War", false},
  };
  const std::string line = "  0001   0100 D000     BRA 0x0400";
  const std::string content = line + "\r\n";
  for (const Case& c : cases) {
    TempDir dir;
    std::string stored = c.link ? c.listing : c.output;
    write_file(dir / stored, content);
    if (c.link) fs::create_symlink(c.listing, dir / c.output);
    auto run = run_tool(c.tool, {c.listing}, "", dir.path());
    SCOPED_TRACE(c.tool + " " + c.listing);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(c.tool + ": " + c.listing + ": not read"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("would be the listing itself"), std::string::npos) << run.err;
    EXPECT_EQ(read_file(dir / stored), content);
    EXPECT_EQ(after_memory_report(run.out).find(line), std::string::npos)
        << "no line of the listing is read";
  }
}

TEST(ListingRun, OutputThatCannotBeWritten) {
  struct Case {
    std::string tool, output, message;
  } cases[] = {
      {"branchscan", "prog.War", "prog.War: cannot create: Is a directory"},
      {"unlister", "prog.ASM", "prog.ASM: cannot create: Is a directory"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    write_file(dir / "prog.txt", "  0001   0100 D000     BRA 0x0400\r\n");
    fs::create_directories(dir / c.output);
    auto run = run_tool(c.tool, {"prog.txt"}, "", dir.path());
    EXPECT_EQ(run.status, 1) << c.tool;
    EXPECT_EQ(run.err, c.tool + ": " + c.message + "\n");
    // The console part of the run is complete all the same.
    if (c.tool == "branchscan") {
      std::string out = after_memory_report(run.out);
      EXPECT_NE(out.find("Warning:   Str=  0001, LenBra= 768\r\nStrings= 1, Warnings= 1\r\n"),
                std::string::npos)
          << out;
    }
  }

  // A full disk: every write is refused.
  if (fs::exists("/dev/full")) {
    TempDir dir;
    write_file(dir / "prog.txt", "  0001   0100 D000     BRA 0x0400\r\n");
    fs::create_symlink("/dev/full", dir / "prog.War");
    fs::create_symlink("/dev/full", dir / "prog.ASM");
    for (std::string tool : {"branchscan", "unlister"}) {
      auto run = run_tool(tool, {"prog.txt"}, "", dir.path());
      EXPECT_EQ(run.status, 1) << tool;
      EXPECT_NE(run.err.find(": cannot write: No space left on device"), std::string::npos)
          << run.err;
    }
  }
}

// Long lines, zero bytes, every other byte value, a CR without LF; a byte 26 ends the
// text, and the last line read has no line end.
TEST(ListingRun, ListingsOfAnyShape) {
  std::string junk;
  for (int byte = 0; byte < 256; ++byte)
    if (byte != '\n' && byte != 26) junk += char(byte);
  std::string long_line = "  0100    0000     NOP; " + std::string(3 << 20, 'x');
  std::string lines[] = {
      "  0001   0000 D000     BRA 0x0800",  long_line, junk, "A\rB\rC",
      "  0005   0010 EF00     GOTO 0x0010",
  };
  std::string text = lines[0] + "\r\n" + lines[1] + "\n" + lines[2] + "\r\n" + lines[3] + "\n" +
                     lines[4] + "\x1a" + "  0006   0000 D000     BRA 0x0900\r\n";
  TempDir dir;
  write_file(dir / "odd.txt", text);

  auto scan = run_tool("branchscan", {"odd.txt"}, "", dir.path());
  EXPECT_EQ(scan.status, 0) << scan.err;
  EXPECT_EQ(read_file(dir / "odd.War"),
            lines[0] + "\r\nStr=  0001, LenBra= 2048\r\n" + lines[4] +
                "\r\nStr=  0005, LenGoTo= 0\r\nStrings= 5, Warnings= 2\r\n");
  std::string out = after_memory_report(scan.out);
  EXPECT_NE(out.find(" 3145752" + long_line + "\r\n"), std::string::npos);
  EXPECT_NE(out.find(" 254" + junk + "\r\n"), std::string::npos);
  EXPECT_NE(out.find(" 5A\rB\rC\r\n"), std::string::npos);
  EXPECT_TRUE(out.ends_with("Warning:   Str=  0005, LenGoTo= 0\r\nStrings= 5, Warnings= 2\r\n"));

  auto convert = run_tool("unlister", {"odd.txt"}, "", dir.path());
  EXPECT_EQ(convert.status, 0) << convert.err;
  std::string expected = directives;
  expected += "; " + lines[0] + "\r\n";
  expected += long_line.substr(15) + ";   0100    0000  \r\n";
  for (int i = 2; i < 5; ++i) expected += "; " + lines[i] + "\r\n";
  EXPECT_EQ(read_file(dir / "odd.ASM"), expected);
}

}  // namespace
}  // namespace listing
