// Fuzz target: the capsheet program itself, run in this process on the fuzzer's bytes
// as a capture stream. Its text must be that of a plain model of the byte history: one
// line per ";" with the value the two newest data bytes make, and one console report per
// line feed that follows no carriage return.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "kit/console.h"
#include "kit/files.h"
#include "kit/fuzz_support.h"

int capsheet_main(int argc, char** argv);  // the program's main, renamed for this target

namespace {

using namespace kit::fuzz;

const std::filesystem::path& scratch() { return kit::fuzz::scratch("capsheet"); }

std::size_t count_of(const std::string& text, const std::string& piece) {
  std::size_t count = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
    ++count;
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  std::filesystem::path capture = scratch() / "cap.bin";
  std::ofstream(capture, std::ios::binary | std::ios::trunc) << bytes;

  QuietConsole console;
  std::string program = "capsheet", argument = capture.string();
  std::vector<char*> argv = {program.data(), argument.data(), nullptr};
  kit::set_console_device(&console);
  int status = capsheet_main(2, argv.data());
  kit::set_console_device(nullptr);
  kit::close_all_files();
  check(kit::take_file_failures().empty());
  check(status == 0);

  // The byte history, newest first, as three signed bytes.
  std::int8_t h1 = 0, h2 = 0, h3 = 0;
  std::string expected;
  std::size_t lone_line_feeds = 0;
  for (char c : bytes) {
    std::int8_t b = std::int8_t(c);
    if (b == 0x0A) {
      if (h1 == 0x0D) {
        h1 = h2;
        h2 = h3;
      } else {
        ++lone_line_feeds;
      }
    } else if (b == 0x3B) {
      int value = h2 + 256 * h1;
      check(value >= -32896 && value <= 32639);
      expected += (value < 0 ? "" : " ") + std::to_string(value) + ";\r\n";
    } else {
      h3 = h2;
      h2 = h1;
      h1 = b;
    }
  }
  std::string sheet = read_file(scratch() / "cap.Txt");
  check(sheet == expected);
  check(count_of(sheet, "\r\n") == count_of(bytes, ";"));
  check(count_of(console.shown, "0xA without 0xD\r\n") == lone_line_feeds);
  check(read_file(capture) == bytes);
  return 0;
}
