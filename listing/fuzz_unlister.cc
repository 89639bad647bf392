// Fuzz target: the unlister program itself, run in this process on the fuzzer's bytes as
// a listing. The source must hold the two directives and then exactly one line per
// listing line, each the one a plain reading of the column test gives.
#include <cstdint>
#include <string>
#include <vector>

#include "kit/fuzz_support.h"

int unlister_main(int argc, char** argv);  // the program's main, renamed for this target

using namespace kit::fuzz;

namespace {

// Positions 1-19 of the column test, counted from 0; beyond the line's end a code 0.
bool instruction_layout(const std::string& line) {
  for (std::size_t i = 0; i < 19; ++i) {
    unsigned char c = i < line.size() ? static_cast<unsigned char>(line[i]) : 0;
    bool digit_field = (i >= 2 && i <= 5) || (i >= 10 && i <= 13);
    bool ok = digit_field ? ((c >= '0' && c <= ':') || (c >= 'A' && c <= 'G')) : c == ' ';
    if (!ok) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::filesystem::path dir = scratch("unlister");
  std::string bytes(reinterpret_cast<const char*>(data), size);
  std::filesystem::path listing = dir / "listing.txt";
  std::ofstream(listing, std::ios::binary | std::ios::trunc) << bytes;

  QuietConsole console;
  check(run_program(unlister_main, "unlister", listing, console) == 0);

  std::string expected =
      "\tLIST P=18F4550\t;directive to define processor\r\n"
      "\t#include <P18F4550.INC> ;processor specific variable definitions\r\n";
  std::vector<std::string> lines = model_lines(bytes);
  for (const std::string& line : lines) {
    if (instruction_layout(line))
      expected += line.substr(15) + "; " + line.substr(0, 16) + "\r\n";
    else
      expected += "; " + line + "\r\n";
  }
  std::string source = read_file(dir / "listing.ASM");
  check(source == expected);
  // Two lines more than the listing has, whatever the listing holds.
  std::size_t line_feeds = 0;
  for (char c : source) line_feeds += c == '\n';
  check(line_feeds == lines.size() + 2);
  check(read_file(listing) == bytes);
  return 0;
}
