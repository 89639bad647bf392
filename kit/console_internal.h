// Pieces of the console shared by the kit's own files; tools do not include this.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kit {

class ConsoleDevice;

/// Writes bytes to the console as a print operation would, keeping its column.
void console_write_raw(std::string_view bytes);

/// Sets the console column after text that the print operations did not count.
void console_set_column(std::int64_t column);

/// The installed console device, or nullptr for the standard streams.
ConsoleDevice* console_device();

/// Edits one line on the terminal behind standard input and output, starting at the
/// cursor where the prompt left it (`prompt_column` characters into the row). The
/// typed text is shown by the editor itself.
std::string edit_line(std::int64_t prompt_column);

}  // namespace kit
