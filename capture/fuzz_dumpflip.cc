// Fuzz target: the dumpflip program itself, run in this process on the fuzzer's bytes.
// A dump of any file restores to the file; any text restores to the bytes that a plain
// model of the pair rules gives, and strange characters are reported exactly when there
// are some.
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

int dumpflip_main(int argc, char** argv);  // the program's main, renamed for this target

namespace {

using namespace kit::fuzz;

const std::filesystem::path& scratch() { return kit::fuzz::scratch("dumpflip"); }

void write_file(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

int run_dumpflip(const std::filesystem::path& name, QuietConsole& console) {
  return run_program(dumpflip_main, "dumpflip", name, console);
}

int digit_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool is_white(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Hex text turned back into bytes, the slow way: white space out, the rest in pairs read
// from the left up to the first character that is not a digit.
std::string model_restore(const std::string& text, std::int64_t& strange) {
  std::string kept;
  strange = 0;
  for (char c : text) {
    if (is_white(c)) continue;
    if (digit_value(c) < 0) ++strange;
    kept.push_back(c);
  }
  std::string bytes;
  for (std::size_t i = 0; i < kept.size(); i += 2) {
    int value = 0;
    for (std::size_t j = i; j < i + 2 && j < kept.size() && digit_value(kept[j]) >= 0; ++j)
      value = value * 16 + digit_value(kept[j]);
    bytes.push_back(char(value));
  }
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);

  // Any file: dumped, the text is two upper-case digits a byte; restored, the file again.
  std::filesystem::path original = scratch() / "data.bin";
  write_file(original, bytes);
  QuietConsole console;
  check(run_dumpflip(original, console) == 0);
  std::string dump = read_file(scratch() / "data.bi_");
  std::string expected_dump;
  char pair[3];
  for (unsigned char byte : bytes) {
    std::snprintf(pair, sizeof pair, "%02X", byte);
    expected_dump += pair;
  }
  check(dump == expected_dump);
  check(read_file(original) == bytes);  // the input is never touched
  check(run_dumpflip(scratch() / "data.bi_", console) == 0);
  check(read_file(scratch() / "data.bi1") == bytes);

  // Any text: restored by the pair rules; strange characters make a report and status 1.
  std::filesystem::path text = scratch() / "text.hx_";
  write_file(text, bytes);
  QuietConsole text_console;
  int status = run_dumpflip(text, text_console);
  std::int64_t strange = 0;
  check(read_file(scratch() / "text.hx1") == model_restore(bytes, strange));
  check(read_file(text) == bytes);
  check(status == (strange > 0 ? 1 : 0));
  check((text_console.shown.find("Not hex text: ") != std::string::npos) == (strange > 0));
  return 0;
}
