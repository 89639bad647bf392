// capsheet: turns a binary USART capture (two-byte values, each ended by ";", with CR LF
// pairs anywhere) into spreadsheet text: one signed decimal value and ";" a line, in a
// file named like the capture with its last three characters replaced by "Txt".

#include <cstdio>
#include <optional>
#include <string>

#include "capture/capture.h"
#include "kit/console.h"
#include "kit/files.h"

using kit::Ending;

namespace {

constexpr std::string_view usage =
    "Usage: capsheet CAPTURE\n"
    "Reads a binary USART capture (two bytes a value, low byte first, each value ended\n"
    "by ;) and writes one signed value and ; a line into CAPTURE with its last three\n"
    "characters replaced by Txt (cap01.bin gives cap01.Txt). CR LF pairs in the capture\n"
    "are skipped; a line feed without a carriage return is reported.\n";

// An input named like its own output (cap.Txt, or a link to cap.Txt) is left alone.
void refuse_own_output(const std::string& output_name) {
  kit::flush_console();
  std::fprintf(stderr,
               "capsheet: %s: is the capture itself; its output would overwrite it, so "
               "nothing was converted (rename the capture)\n",
               output_name.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (kit::answer_standard_option(argc, argv, "capsheet", usage)) return 0;
  bool refused = false;

  if (std::optional<std::string> name = kit::run_preamble(kit::capsheet_profile, argc, argv)) {
    std::string output_name = capture::sheet_name(*name);
    refused = kit::same_file(*name, output_name);
    int input = refused ? kit::status_cannot_open : kit::file_open(*name, kit::FileMode::binary, 1);
    kit::print_text(kit::console, "Convert from HEX ", Ending::none);
    kit::print_text(kit::console, *name, Ending::line);
    kit::print_text(kit::console, "Convert 2 Excel ", Ending::none);
    kit::print_text(kit::console, output_name, Ending::line);

    if (refused) {
      refuse_own_output(output_name);
    } else if (input == kit::status_ok &&
               kit::file_open(output_name, kit::FileMode::output, 2) == kit::status_ok) {
      capture::ByteHistory history;
      std::int8_t byte = 0;
      while (!kit::at_end(1)) {
        kit::get_bytes(1, 0, &byte, 1);
        switch (history.take(byte)) {
          case capture::Event::record:
            kit::print_int(2, history.value(), Ending::none);
            kit::print_text(2, ";", Ending::line);
            break;
          case capture::Event::lone_line_feed:
            kit::print_text(kit::console, "0xA without 0xD", Ending::line);
            break;
          case capture::Event::none:
            break;
        }
      }
    }
    kit::file_close(1);
    kit::file_close(2);
  }

  kit::report_file_failures("capsheet");
  kit::closing_wait("", true);
  return refused ? 1 : kit::exit_status();
}
