// What the fuzz targets share: a property check that names itself, the program's console
// kept in memory, a scratch folder, running a program's renamed main, and text-mode lines
// spelled out the slow way.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "kit/console.h"
#include "kit/files.h"

namespace kit::fuzz {

// A broken property names itself before the fuzzer keeps the input.
#define check(condition)                                                        \
  do {                                                                          \
    if (!(condition)) {                                                         \
      std::fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                             \
    }                                                                           \
  } while (0)

// The console of the program: everything printed is kept, every typed line is empty.
class QuietConsole : public kit::ConsoleDevice {
 public:
  std::string shown;
  void write(std::string_view bytes) override { shown.append(bytes); }
  std::string read_line() override { return {}; }
};

// A folder of this process's own for the program's files, removed when the fuzzer ends.
// Made on the first call; every later call returns the same folder.
inline const std::filesystem::path& scratch(std::string_view tool) {
  static std::filesystem::path made;
  if (made.empty()) {
    made = std::filesystem::temp_directory_path() /
           ("fuzz_" + std::string(tool) + "_" + std::to_string(getpid()));
    std::filesystem::create_directories(made);
    std::atexit([] { std::filesystem::remove_all(made); });
  }
  return made;
}

inline std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

// Runs a program's renamed main on one file name with its console in memory, and
// returns the exit status. No file failure may occur.
inline int run_program(int (*program_main)(int, char**), std::string program,
                       const std::filesystem::path& name, QuietConsole& console) {
  std::string argument = name.string();
  std::vector<char*> argv = {program.data(), argument.data(), nullptr};
  kit::set_console_device(&console);
  int status = program_main(2, argv.data());
  kit::set_console_device(nullptr);
  kit::close_all_files();
  check(kit::take_file_failures().empty());
  return status;
}

// Text mode: cut at byte 26, CR LF to LF, split at LF, one CR dropped from each line end.
inline std::vector<std::string> model_lines(std::string bytes) {
  bytes = bytes.substr(0, bytes.find('\x1a'));
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    text.push_back(bytes[i]);
  }
  std::vector<std::string> lines;
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t lf = text.find('\n', begin);
    std::string line = text.substr(begin, lf == std::string::npos ? std::string::npos : lf - begin);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    if (lf == std::string::npos) break;
    begin = lf + 1;
  }
  return lines;
}

}  // namespace kit::fuzz
