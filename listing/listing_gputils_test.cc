// The listing tools against real PIC18 code: testdata/stepper.asm is assembled with
// gputils' gpasm, disassembled with gpdasm and turned into listings by
// testdata/gpdasm_to_listing.sh. unlister's source must assemble again into the same
// program words, and branchscan must warn exactly where the disassembly's distances say.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "kit/test_support.h"

namespace listing {
namespace {

using kit::testing::read_file;
using kit::testing::run_tool;
using kit::testing::TempDir;
using kit::testing::write_file;
namespace fs = std::filesystem;

const fs::path testdata = LISTING_TESTDATA;

bool gputils_present() {
  return std::system("command -v gpasm >/dev/null 2>&1 && command -v gpdasm >/dev/null 2>&1") == 0;
}

// Runs a shell command in `dir`; true when it succeeded.
bool shell(const fs::path& dir, const std::string& command) {
  return std::system(("cd '" + dir.string() + "' && " + command).c_str()) == 0;
}

class Gputils : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The project's package list brings gputils along; it installs only what is missing.
    if (!gputils_present())
      std::system(("bash '" + std::string(PROJECT_ROOT) + "/scripts/deps' >&2").c_str());
  }

  void SetUp() override {
    if (!gputils_present())
      GTEST_SKIP() << "gpasm and gpdasm (Debian package gputils) are not installed and "
                      "scripts/deps could not install them";
    fs::copy_file(testdata / "stepper.asm", dir / "stepper.asm");
    ASSERT_TRUE(shell(dir.path(), "gpasm -q -o stepper.hex stepper.asm"));
    ASSERT_TRUE(shell(dir.path(), "gpdasm -p p18f4550 stepper.hex > stepper.dis"));
  }

  // The disassembly as a listing in the layout of `tool`.
  std::string make_listing(const std::string& tool) {
    std::string name = "stepper_" + tool + ".txt";
    EXPECT_TRUE(shell(dir.path(), "sh '" + (testdata / "gpdasm_to_listing.sh").string() + "' " +
                                      tool + " 'Disassembly of stepper.hex' < stepper.dis > " +
                                      name));
    return name;
  }

  TempDir dir;
};

// Program memory of an Intel HEX file, byte by byte.
std::map<std::uint32_t, std::uint8_t> program_bytes(const std::string& hex) {
  std::map<std::uint32_t, std::uint8_t> bytes;
  std::uint32_t base = 0;
  std::istringstream lines(hex);
  std::string line;
  auto value = [&line](std::size_t at, std::size_t digits) {
    return std::uint32_t(std::stoul(line.substr(at, digits), nullptr, 16));
  };
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] != ':') continue;
    std::uint32_t count = value(1, 2), offset = value(3, 4), type = value(7, 2);
    if (type == 4) base = value(9, 4) << 16;
    if (type != 0) continue;
    for (std::uint32_t i = 0; i < count; ++i)
      bytes[base + offset + i] = std::uint8_t(value(9 + 2 * i, 2));
  }
  return bytes;
}

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

TEST_F(Gputils, UnlisterSourceAssemblesIntoTheSameProgram) {
  std::string listing = make_listing("unlister");
  auto run = run_tool("unlister", {listing}, "", dir.path());
  ASSERT_EQ(run.status, 0) << run.err;
  std::string source = read_file(dir / "stepper_unlister.ASM");
  EXPECT_EQ(split_lines(source).size(), split_lines(read_file(dir / listing)).size() + 2);

  // The source has no END of its own, as a file meant to be included. Its
  // "#include <P18F4550.INC>" finds gputils' header p18f4550.inc: gpasm falls back to
  // the lower-case name, with a warning.
  write_file(dir / "rebuild.asm", "\t#include \"stepper_unlister.ASM\"\r\n\tEND\r\n");
  ASSERT_TRUE(shell(dir.path(), "gpasm -q -o rebuild.hex rebuild.asm"));
  auto original = program_bytes(read_file(dir / "stepper.hex"));
  auto rebuilt = program_bytes(read_file(dir / "rebuild.hex"));
  EXPECT_GT(original.size(), 1000u);
  EXPECT_TRUE(original == rebuilt)
      << original.size() << " bytes assembled, " << rebuilt.size() << " reassembled";
}

TEST_F(Gputils, BranchscanWarnsWhereTheDistancesSay) {
  std::string listing = make_listing("branchscan");
  auto run = run_tool("branchscan", {listing}, "", dir.path());
  ASSERT_EQ(run.status, 0) << run.err;

  // The listing line of every address, found by its address column.
  std::vector<std::string> listing_lines = split_lines(read_file(dir / listing));
  std::map<long, std::string> line_at;
  for (const std::string& line : listing_lines)
    if (line.size() > 13 && line[0] == ' ')
      line_at[std::stol(line.substr(6, 7), nullptr, 16)] = line;

  // Every jump of the disassembly with its distance, judged by the thresholds.
  std::string expected;
  int warnings = 0;
  std::map<std::string, std::set<long>> distances;
  std::istringstream disassembly(read_file(dir / "stepper.dis"));
  std::string text;
  while (std::getline(disassembly, text)) {
    std::istringstream words(text);
    std::string address, word, mnemonic, target;
    if (!(words >> address >> word >> mnemonic >> target)) continue;
    if (mnemonic != "bra" && mnemonic != "rcall" && mnemonic != "goto" && mnemonic != "call")
      continue;
    long from = std::stol(address, nullptr, 16);
    long distance = std::stol(target, nullptr, 16) - from;
    distances[mnemonic].insert(distance);
    bool relative = mnemonic == "bra" || mnemonic == "rcall";
    bool warns = relative ? std::labs(distance) > 506 : std::labs(distance) < 510;
    if (!warns) continue;
    ++warnings;
    const std::string& line = line_at[from];
    std::string number = std::to_string(distance);
    if (distance >= 0) number.insert(number.begin(), ' ');
    expected += line + "\r\nStr=" + line.substr(0, 6) + (relative ? ", LenBra=" : ", LenGoTo=") +
                number + "\r\n";
  }
  expected += "Strings= " + std::to_string(listing_lines.size()) +
              ", Warnings= " + std::to_string(warnings) + "\r\n";
  EXPECT_EQ(read_file(dir / "stepper_branchscan.War"), expected);
  EXPECT_GT(warnings, 10);

  // The program keeps jumps on both sides of both thresholds.
  for (long d : {506, 508, -506, -508}) EXPECT_TRUE(distances["bra"].count(d)) << "BRA " << d;
  for (long d : {510, 0}) EXPECT_TRUE(distances["goto"].count(d)) << "GOTO " << d;
  EXPECT_TRUE(distances["call"].count(508));
  EXPECT_LT(*distances["call"].begin(), -510);
  EXPECT_LE(std::labs(*distances["rcall"].rbegin()), 506);
  EXPECT_GT(std::labs(*distances["rcall"].begin()), 506);
}

}  // namespace
}  // namespace listing
