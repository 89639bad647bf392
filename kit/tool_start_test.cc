// The common start of the four file tools, run as real processes with standard input
// from a pipe: the free-memory report, the call echoed, the name chosen or refused.

#include <gtest/gtest.h>

#include "kit/test_support.h"

namespace kit {
namespace {

using testing::after_memory_report;
using testing::run_tool;
using testing::TempDir;

const char* listing_notice = "Freeware by the PIC18 kit authors, use at your own risk, version 000\r\n";
const char* converter_notice = "FreeWare by the PIC18 kit authors, use at your own risk, version 000\r\n";

std::string too_short(const std::string& argument) {
  return "Source File name is too short --" + argument + "--\r\n";
}

TEST(ToolStart, ShortNamesGetTheUsageLines) {
  const std::string dumpflip_usage =
      "Last symbol of FileName define direction of conversion, Usage:\r\n"
      "dumpflip.exe BinaryFileName.Ext for convert BIN to HEX or\r\n"
      "dumpflip.exe HexFileName.Ex_ for convert HEX to BIN back\r\n";
  const std::string capsheet_usage =
      "Last 3 symbol of FileName will change to TXT, Usage:\r\n"
      "capsheet.exe BinaryFileName.Bin for convert BIN to TXT\r\n";
  struct Case {
    std::string tool;
    std::vector<std::string> args;
    std::string expected;
  } cases[] = {
      {"dumpflip", {}, "exe name= dumpflip, FileName= \r\n" + too_short("") + converter_notice + dumpflip_usage},
      {"dumpflip", {"a"}, "exe name= dumpflip, FileName= a\r\n" + too_short("a") + converter_notice + dumpflip_usage},
      {"dumpflip", {"ab", "more"}, "exe name= dumpflip, FileName= ab\r\n" + too_short("ab") + converter_notice + dumpflip_usage},
      {"capsheet", {}, "exe name= capsheet, FileName= \r\n" + too_short("") + converter_notice + capsheet_usage},
      {"capsheet", {"ab"}, "exe name= capsheet, FileName= ab\r\n" + too_short("ab") + converter_notice + capsheet_usage},
      {"branchscan", {"ab"}, "EXE name= branchscan, Dis Asm FileName= ab\r\n" + too_short("ab") + listing_notice + "\r\n\r\n\r\n"},
      {"unlister", {"xy"}, "EXE name= unlister, Dis Asm FileName= xy\r\n" + too_short("xy") + listing_notice + "\r\n\r\n\r\n"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    auto run = run_tool(c.tool, c.args, "", dir.path());
    EXPECT_EQ(after_memory_report(run.out), c.expected) << c.tool;
    EXPECT_EQ(run.status, 0) << c.tool;
    EXPECT_EQ(run.err, "") << c.tool;
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(ToolStart, ListingToolsFallBackToTheirDefaultName) {
  struct Case {
    std::string tool;
    std::vector<std::string> args;
    std::string echo, banner;
  } cases[] = {
      {"branchscan", {}, "EXE name= branchscan, Dis Asm FileName= \r\n",
       "Scan for Branch longer than 512 bytes: ..\\_Out\\_Machine.TXT\r\n"},
      {"branchscan", {"z"}, "EXE name= branchscan, Dis Asm FileName= z\r\n",
       "Scan for Branch longer than 512 bytes: ..\\_Out\\_Machine.TXT\r\n"},
      {"unlister", {}, "EXE name= unlister, Dis Asm FileName= \r\n",
       "Convert from DisAsm to ASM: 180412_DisAsm.txt\r\n"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    std::filesystem::create_directories(dir / "work");
    auto run = run_tool(c.tool, c.args, "", dir / "work");
    std::string rest = after_memory_report(run.out);
    EXPECT_EQ(rest.substr(0, c.echo.size() + c.banner.size()), c.echo + c.banner) << c.tool;
    // The default listing does not exist here: the tool says so and ends with status 1.
    EXPECT_EQ(run.status, 1) << c.tool;
    EXPECT_NE(run.err.find("No such file or directory"), std::string::npos) << run.err;
  }
}

TEST(ToolStart, ThreeCharacterNamesAreAccepted) {
  TempDir dir;
  testing::write_file(dir / "abc", "AB");
  auto run = run_tool("dumpflip", {"abc"}, "", dir.path(), "./dumpflip");
  EXPECT_EQ(after_memory_report(run.out),
            "exe name= ./dumpflip, FileName= abc\r\nConvert to HEX = abc\r\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(testing::read_file(dir / "ab_"), "4142");
}

}  // namespace
}  // namespace kit
