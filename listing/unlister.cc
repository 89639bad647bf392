// unlister: turns a PIC18F4550 disassembly listing back into assembler source, NAME.ASM.
// Instruction lines keep their instruction and carry the listing columns as a comment;
// every other line becomes a comment. Nothing is printed for the lines.

#include <optional>
#include <string>

#include "kit/console.h"
#include "kit/files.h"
#include "listing/listing.h"

using kit::console;
using kit::Ending;

namespace {

constexpr std::string_view usage =
    "Usage: unlister [LISTING]\n"
    "Turns a PIC18F4550 disassembly listing (default 180412_DisAsm.txt) into assembler\n"
    "source: LISTING with its last three characters replaced by ASM. A line with an\n"
    "address in columns 3-6 and a word in 11-14 keeps its instruction (column 20 on) and\n"
    "gets its columns as a comment; every other line becomes a comment.\n";

constexpr int listing_file = 1;
constexpr int source_file = 2;

}  // namespace

int main(int argc, char** argv) {
  if (kit::answer_standard_option(argc, argv, "unlister", usage)) return 0;
  bool refused = false;

  if (std::optional<std::string> name = kit::run_preamble(kit::unlister_profile, argc, argv)) {
    bool listing_open = kit::file_open(*name, kit::FileMode::input, listing_file) == kit::status_ok;
    kit::print_text(console, "Convert from DisAsm to ASM: ", Ending::none);
    kit::print_text(console, *name, Ending::line);

    // A listing named *ASM would be emptied by its own source: it is left unread.
    // Without its listing the tool leaves any file of the source name as it was.
    std::string source_name = listing::output_name(*name, "ASM");
    if (listing_open && kit::same_file(*name, source_name)) {
      refused = true;
      kit::file_close(listing_file);
      listing::report_self_output("unlister", *name, "source");
    } else if (listing_open) {
      kit::file_open(source_name, kit::FileMode::output, source_file);
    }

    kit::print_text(source_file, listing::processor_directive, Ending::line);
    kit::print_text(source_file, listing::include_directive, Ending::line);
    std::string line;
    std::string converted;
    while (!kit::at_end(listing_file)) {
      kit::read_line(listing_file, line);
      listing::source_line(line, converted);
      kit::print_text(source_file, converted, Ending::line);
    }
    kit::file_close(listing_file);
    kit::file_close(source_file);
  }

  kit::report_file_failures("unlister");
  kit::closing_wait("", true);
  return refused ? 1 : kit::exit_status();
}
