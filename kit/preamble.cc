// The common start of the file tools (free memory, the call echoed, the file name chosen
// or refused) and the report of file failures at their end.

#include <sys/sysinfo.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "kit/console.h"
#include "kit/files.h"

namespace kit {
namespace {

// The two notices differ in one letter: the listing tools and the converters were
// released apart.
constexpr std::string_view listing_notice =
    "Freeware by the PIC18 kit authors, use at your own risk, version 000";
constexpr std::string_view converter_notice =
    "FreeWare by the PIC18 kit authors, use at your own risk, version 000";

constexpr std::string_view three_empty_lines[] = {"", "", ""};
constexpr std::string_view dumpflip_usage[] = {
    "Last symbol of FileName define direction of conversion, Usage:",
    "dumpflip.exe BinaryFileName.Ext for convert BIN to HEX or",
    "dumpflip.exe HexFileName.Ex_ for convert HEX to BIN back",
};
constexpr std::string_view capsheet_usage[] = {
    "Last 3 symbol of FileName will change to TXT, Usage:",
    "capsheet.exe BinaryFileName.Bin for convert BIN to TXT",
};

}  // namespace

const PreambleProfile branchscan_profile = {true, "EXE name= ", ", Dis Asm FileName= ",
                                            "..\\_Out\\_Machine.TXT", listing_notice,
                                            three_empty_lines};
const PreambleProfile unlister_profile = {true, "EXE name= ", ", Dis Asm FileName= ",
                                          "180412_DisAsm.txt", listing_notice, three_empty_lines};
const PreambleProfile dumpflip_profile = {false, "exe name= ", ", FileName= ", "",
                                          converter_notice, dumpflip_usage};
const PreambleProfile capsheet_profile = {false, "exe name= ", ", FileName= ", "",
                                          converter_notice, capsheet_usage};

std::uint32_t free_memory() {
  // MemAvailable is what can be had without swapping; older kernels lack it.
  std::uint64_t bytes = 0;
  std::ifstream meminfo("/proc/meminfo");
  std::string key;
  std::uint64_t kilobytes = 0;
  std::string unit;
  bool found = false;
  while (meminfo >> key >> kilobytes >> unit) {
    if (key == "MemAvailable:") {
      bytes = kilobytes * 1024;
      found = true;
      break;
    }
  }
  if (!found) {
    struct sysinfo info;
    if (sysinfo(&info) == 0) bytes = std::uint64_t(info.freeram) * info.mem_unit;
  }
  return bytes > 0xFFFFFFFFull ? 0xFFFFFFFFu : std::uint32_t(bytes);
}

std::optional<std::string> run_preamble(const PreambleProfile& profile, int argc,
                                        char** argv) {
  std::uint32_t memory = free_memory();
  print_text(console, "Free memory:", Ending::line);
  print_uint(console, memory, Ending::none);
  print_text(console, " bytes", Ending::line);
  print_uint(console, memory >> 10, Ending::none);
  print_text(console, " kilobytes", Ending::line);
  print_uint(console, memory >> 20, Ending::none);
  print_text(console, " megabytes", Ending::line);

  if (profile.pause_after_memory) closing_wait("", true);

  std::string argument = argc > 1 && argv[1] ? argv[1] : "";
  print_text(console, profile.first_label, Ending::none);
  print_text(console, argc > 0 && argv[0] ? argv[0] : "", Ending::none);
  print_text(console, profile.second_label, Ending::none);
  print_text(console, argument, Ending::line);

  std::string name = argument;
  if (!profile.default_name.empty() && argument.size() < 2) name = profile.default_name;
  if (name.size() > 2) return name;

  print_text(console, "Source File name is too short --", Ending::none);
  print_text(console, argument, Ending::none);
  print_text(console, "--", Ending::line);
  print_text(console, profile.notice, Ending::line);
  for (std::string_view line : profile.lines_after_notice) print_text(console, line, Ending::line);
  return std::nullopt;
}

bool answer_standard_option(int argc, char** argv, std::string_view tool,
                            std::string_view usage) {
  if (argc != 2 || !argv[1]) return false;
  std::string_view option = argv[1];
  std::string text;
  if (option == "--help" || option == "-h") {
    text = std::string(usage);
    if (!text.empty() && text.back() != '\n') text += '\n';
  } else if (option == "--version") {
    text = std::string(tool) + " (PIC18 firmware tool kit) " KIT_VERSION "\n";
  } else {
    return false;
  }
  flush_console();
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
  return true;
}

int report_file_failures(std::string_view program) {
  std::vector<FileFailure> failures = take_file_failures();
  if (failures.empty()) return 0;
  flush_console();
  std::string text;
  for (const FileFailure& failure : failures) {
    text.append(program).append(": ").append(failure.name).append(": ");
    text.append(failure.message).append("\n");
  }
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
  return int(failures.size());
}

int exit_status() { return any_file_failure() ? 1 : 0; }

}  // namespace kit
