// Fuzz target: the branchscan program itself, run in this process on the fuzzer's bytes
// as a listing. Its report must be the one a plain reading of the layout gives: every
// warning with its listing line, and the counts of lines read and warnings, which the
// console shows as well.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "kit/fuzz_support.h"

int branchscan_main(int argc, char** argv);  // the program's main, renamed for this target

using namespace kit::fuzz;

namespace {

// Hexadecimal digits from the start up to the first other character, in 32 bits.
std::int32_t hex_value(const std::string& digits) {
  std::uint32_t value = 0;
  for (char c : digits) {
    int d = (c >= '0' && c <= '9') ? c - '0'
            : (c >= 'A' && c <= 'F') ? c - 'A' + 10
            : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                                     : -1;
    if (d < 0) break;
    value = value * 16 + std::uint32_t(d);
  }
  return std::int32_t(value);
}

std::string number(std::int64_t value) { return (value < 0 ? "" : " ") + std::to_string(value); }

// The piece of `line` from position `start` (from 1) for `count` characters, a negative
// count meaning the rest.
std::string piece(const std::string& line, std::int64_t start, std::int64_t count) {
  if (start < 1 || start > std::int64_t(line.size()) || count == 0) return {};
  if (count < 0) return line.substr(std::size_t(start - 1));
  return line.substr(std::size_t(start - 1), std::size_t(count));
}

// The report a listing should give.
std::string model_report(const std::vector<std::string>& lines, std::int64_t& warnings) {
  std::string report;
  std::int64_t strings = 0;
  warnings = 0;
  for (const std::string& line : lines) {
    ++strings;
    std::string tag = line.substr(0, 6);
    std::string address = piece(line, 7, 7);
    while (!address.empty() && (address.back() == ' ' || address.back() == '\0')) address.pop_back();
    address.erase(0, address.find_first_not_of(' ') == std::string::npos ? address.size()
                                                                         : address.find_first_not_of(' '));
    std::size_t n = line.size();
    std::int64_t blank = 0;  // position of the blank that ends the mnemonic
    if (n >= 24 && line.find(' ', 23) != std::string::npos) blank = std::int64_t(line.find(' ', 23)) + 1;
    std::string mnemonic = n < 24 ? "" : piece(line, 24, blank - 24);
    std::int64_t target = 2, operand_end = 0;
    if (std::size_t(blank) < n) {
      std::size_t x = line.find("0x", std::size_t(blank));
      if (x != std::string::npos) target = std::int64_t(x) + 3;
      std::size_t e = line.find_first_of(", ", std::size_t(blank));
      if (e != std::string::npos) operand_end = std::int64_t(e) + 1;
    }
    std::string target_digits = piece(line, target, operand_end - target);
    std::int32_t address_value = hex_value(address);
    if (address_value > 9984) break;

    bool relative = mnemonic == "BRA" || mnemonic == "RCALL";
    bool absolute = mnemonic == "GOTO" || mnemonic == "CALL";
    if (!relative && !absolute) continue;
    std::int32_t distance =
        std::int32_t(std::uint32_t(hex_value(target_digits)) - std::uint32_t(address_value));
    std::int64_t size = std::llabs(std::int64_t(distance));
    if (relative ? size > 506 : size < 510) {
      report += line + "\r\nStr=" + tag + ", " + (relative ? "LenBra=" : "LenGoTo=") +
                number(distance) + "\r\n";
      ++warnings;
    }
  }
  report += "Strings=" + number(strings) + ", Warnings=" + number(warnings) + "\r\n";
  return report;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::filesystem::path dir = scratch("branchscan");
  std::string bytes(reinterpret_cast<const char*>(data), size);
  std::filesystem::path listing = dir / "listing.txt";
  std::ofstream(listing, std::ios::binary | std::ios::trunc) << bytes;

  QuietConsole console;
  check(run_program(branchscan_main, "branchscan", listing, console) == 0);

  std::int64_t warnings = 0;
  std::string expected = model_report(model_lines(bytes), warnings);
  check(read_file(dir / "listing.War") == expected);
  // The console's summary is the last thing printed before the closing prompt.
  std::size_t summary_at = console.shown.rfind("Strings=");
  check(summary_at != std::string::npos);
  std::string summary = expected.substr(expected.rfind("Strings="));
  check(console.shown.compare(summary_at, summary.size(), summary) == 0);
  check(read_file(listing) == bytes);
  return 0;
}
