// branchscan: reads a PIC18 disassembly listing and measures how far every BRA, RCALL,
// GOTO and CALL jumps. Relative branches farther than 506 are close to the end of their
// range; absolute jumps nearer than 510 could be relative ones. Both are reported on
// the console and, with the listing line, in the report file NAME.War. Every line read
// is echoed with the fields taken from it.

#include <cstdint>
#include <optional>
#include <string>

#include "kit/console.h"
#include "kit/files.h"
#include "kit/text.h"
#include "listing/listing.h"

using kit::console;
using kit::Ending;

namespace {

constexpr std::string_view usage =
    "Usage: branchscan [LISTING]\n"
    "Scans a PIC18 disassembly listing (default ..\\_Out\\_Machine.TXT) and warns about\n"
    "BRA and RCALL farther than 506 from their target and GOTO and CALL nearer than 510,\n"
    "on the console and in LISTING with its last three characters replaced by War.\n"
    "Layout: address in columns 7-13, mnemonic from column 24, target after \"0x\".\n";

constexpr int listing_file = 1;
constexpr int report_file = 2;

}  // namespace

int main(int argc, char** argv) {
  if (kit::answer_standard_option(argc, argv, "branchscan", usage)) return 0;
  bool refused = false;

  if (std::optional<std::string> name = kit::run_preamble(kit::branchscan_profile, argc, argv)) {
    bool listing_open = kit::file_open(*name, kit::FileMode::input, listing_file) == kit::status_ok;
    kit::print_text(console, "Scan for Branch longer than 512 bytes: ", Ending::none);
    kit::print_text(console, *name, Ending::line);

    // A listing named *War would be emptied by its own report: it is left unread. Without
    // its listing the tool leaves any file of the report name as it was.
    std::string report_name = listing::output_name(*name, "War");
    if (listing_open && kit::same_file(*name, report_name)) {
      refused = true;
      kit::file_close(listing_file);
      listing::report_self_output("branchscan", *name, "report");
    } else if (listing_open) {
      kit::file_open(report_name, kit::FileMode::output, report_file);
    }

    std::int64_t Strings = 0;
    std::int64_t Warnings = 0;
    std::string line;
    while (!kit::at_end(listing_file)) {
      kit::read_line(listing_file, line);
      ++Strings;
      kit::print_int(console, listing::line_length(line), Ending::none);
      kit::print_text(console, line, Ending::line);

      listing::BranchLine fields = listing::read_branch_line(line);
      if (fields.ValStrAdr > listing::address_limit) break;

      kit::print_text(console, fields.Str, Ending::none);
      kit::print_text(console, fields.address, Ending::none);
      kit::print_int(console, fields.mnemonic_end, Ending::none);
      kit::print_text(console, "=", Ending::none);
      kit::print_text(console, fields.mnemonic, Ending::none);
      kit::print_text(console, ", ValStrAdr=", Ending::none);
      kit::print_int(console, fields.ValStrAdr, Ending::none);
      kit::print_text(console, ", OpEndPos=", Ending::none);
      kit::print_int(console, fields.OpEndPos, Ending::none);
      kit::print_text(console, ", Adr=", Ending::none);
      kit::print_text(console, fields.Adr, Ending::none);
      kit::print_text(console, " ", Ending::none);

      listing::Jump kind = listing::jump_kind(fields.mnemonic);
      if (kind == listing::Jump::none) continue;
      std::string_view label = kind == listing::Jump::relative ? "LenBra=" : "LenGoTo=";
      std::int32_t distance = listing::jump_distance(fields);
      kit::print_text(console, label, Ending::none);
      kit::print_int(console, distance, Ending::none);
      if (listing::distance_warns(kind, distance)) {
        kit::print_text(console, "Warning:   Str=", Ending::none);
        kit::print_text(console, fields.Str, Ending::none);
        kit::print_text(console, ", ", Ending::none);
        kit::print_text(console, label, Ending::none);
        kit::print_int(console, distance, Ending::line);
        kit::print_text(report_file, line, Ending::line);
        kit::print_text(report_file, "Str=", Ending::none);
        kit::print_text(report_file, fields.Str, Ending::none);
        kit::print_text(report_file, ", ", Ending::none);
        kit::print_text(report_file, label, Ending::none);
        kit::print_int(report_file, distance, Ending::line);
        ++Warnings;
      }
    }

    kit::print_text(report_file, "Strings=", Ending::none);
    kit::print_int64(report_file, Strings, Ending::none);
    kit::print_text(report_file, ", Warnings=", Ending::none);
    kit::print_int64(report_file, Warnings, Ending::line);
    kit::file_close(listing_file);
    kit::file_close(report_file);
    kit::print_text(console, "Strings=", Ending::none);
    kit::print_int64(console, Strings, Ending::none);
    kit::print_text(console, ", Warnings=", Ending::none);
    kit::print_int64(console, Warnings, Ending::line);
  }

  kit::report_file_failures("branchscan");
  kit::closing_wait("", true);
  return refused ? 1 : kit::exit_status();
}
