// dumpflip: turns any file into hex text, two upper-case digits a byte with nothing
// between them, and hex text (a file whose name ends in "_") back into its bytes. The
// output lies beside the input: its name differs only in the last character.

#include <cstdint>
#include <optional>
#include <string>

#include "capture/capture.h"
#include "kit/console.h"
#include "kit/files.h"

using kit::Ending;

namespace {

constexpr std::string_view usage =
    "Usage: dumpflip FILE\n"
    "Dumps FILE as hex text, two upper-case digits a byte and nothing else, into FILE\n"
    "with its last character replaced by _ (data.bin gives data.bi_). When FILE ends in\n"
    "_ it is hex text instead: its bytes are restored into FILE with the last character\n"
    "replaced by 1 (data.bi_ gives data.bi1). Blanks, tabs and line ends in hex text are\n"
    "skipped; other characters that are not hex digits are reported.\n";

// The two copy loops run once per byte of large files. GCC inlines little into main,
// which runs once; in functions of their own the loops get the kit's one-unit reads and
// writes inlined.

// File 1 as hex text into file 2, one byte a read.
void dump_bytes() {
  std::uint8_t byte = 0;
  while (!kit::at_end(1)) {
    kit::get_bytes(1, 0, &byte, 1);
    kit::print_text(2, capture::hex_pair(byte), Ending::none);
  }
}

void put_byte(std::uint8_t byte) {
  kit::print_text(2, std::string_view(reinterpret_cast<const char*>(&byte), 1), Ending::none);
}

// The hex text of file 1 as bytes into file 2, two characters a read (the last read of an
// odd-length text brings one). Returns the report of strange characters, or nothing.
std::string restore_bytes() {
  capture::HexReader reader;
  std::uint8_t byte = 0;
  char field[3];
  // A zero byte in the text ends the field early, so the count of characters read comes
  // from the length at open, not from the field.
  std::int64_t left = kit::size_at_open(1);
  while (!kit::at_end(1)) {
    kit::get_fixed_text(1, 0, field, sizeof field);
    if (left >= 2 ? reader.take_two(field[0], field[1], byte) : reader.take(field[0], byte))
      put_byte(byte);
    left -= 2;
  }
  if (reader.finish(byte)) put_byte(byte);
  if (reader.strange_count() == 0) return {};
  return capture::strange_text_report(reader.strange_count(), reader.first_strange_offset());
}

}  // namespace

int main(int argc, char** argv) {
  if (kit::answer_standard_option(argc, argv, "dumpflip", usage)) return 0;
  bool strange_text = false;

  if (std::optional<std::string> name = kit::run_preamble(kit::dumpflip_profile, argc, argv)) {
    int input = kit::file_open(*name, kit::FileMode::binary, 1);
    bool restoring = capture::is_hex_text_name(*name);
    std::string output_name = restoring ? capture::restore_name(*name) : capture::dump_name(*name);
    kit::print_text(kit::console,
                    restoring ? "Convert from HEX - " : "Convert to HEX = ", Ending::none);
    kit::print_text(kit::console, *name, Ending::line);

    // Without its input the tool leaves any file of the output name as it was.
    if (input == kit::status_ok &&
        kit::file_open(output_name, kit::FileMode::output, 2) == kit::status_ok) {
      if (!restoring) {
        dump_bytes();
      } else {
        std::string strange_report = restore_bytes();
        if (!strange_report.empty()) {
          strange_text = true;
          kit::print_text(kit::console, strange_report, Ending::line);
        }
      }
    }
    kit::file_close(1);
    kit::file_close(2);
  }

  kit::report_file_failures("dumpflip");
  kit::closing_wait("", true);
  return strange_text ? 1 : kit::exit_status();
}
