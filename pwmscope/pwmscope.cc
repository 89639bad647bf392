// pwmscope: replays a text capture of what the PIC18F4431 PWM firmware sent out of its
// USART (sine table, amplitude, scaled sine and duty cycle, each a tag and four hex
// digits) as oscilloscope traces in a 1280 x 1024 window, one capture line per step,
// under keyboard control.
//
//   pwmscope CAPTURE                    replay in a window; paused after the first line
//   pwmscope --snapshot OUT.png CAPTURE replay all of it without a window, write the picture

#include <cstdio>
#include <string>
#include <string_view>

#include "kit/console.h"
#include "kit/files.h"
#include "pwmscope/picture.h"
#include "pwmscope/png_snapshot.h"
#include "pwmscope/scope.h"
#include "pwmscope/text_screen.h"
#include "pwmscope/window_sdl.h"

namespace {

using kit::console;
using kit::Ending;

constexpr std::string_view usage =
    "Usage: pwmscope CAPTURE\n"
    "       pwmscope --snapshot OUT.png CAPTURE\n"
    "Replays a text capture of the PWM firmware as traces in a 1280 x 1024 window.\n"
    "Keys: Space pause, s step, q/w delay up/down, z column 0, l zero synchro, x exit.\n"
    "With --snapshot the whole capture is drawn without a window and the picture is\n"
    "written to OUT.png.\n";
constexpr std::string_view sign_on =
    "PWM capture plotter, freeware by the PIC18 kit authors, use at your own risk";
constexpr std::string_view start_title = "pwmscope - PIC18F4431 PWM capture replay";
constexpr std::string_view window_title = "pwmscope";
constexpr int capture_file = 1;
constexpr int picture_file = 2;

void print_line(std::string_view text) { kit::print_text(console, text, Ending::line); }

// The opening lines; false after the report of a name too short to be a file.
bool start_up(std::string_view program, std::string_view capture_name) {
  print_line(sign_on);
  kit::print_text(console, "exe name= ", Ending::none);
  print_line(program);
  kit::print_text(console, "Input FileName= ", Ending::none);
  print_line(capture_name);
  if (capture_name.size() > 2) return true;
  print_line("Input File Name is too short");
  kit::print_text(console, "          ", Ending::none);
  print_line("Usage:");
  print_line("pwmscope.exe UsartOutFileName.bin");
  return false;
}

void print_help() {
  print_line("                    ");
  kit::print_text(console, "          ", Ending::none);
  print_line("Usage:");
  print_line("Space = Toggle Pause");
  print_line("Key x = Exit");
  print_line("Key s = Step");
  print_line("Key q = Increment Delay");
  print_line("Key w = Decrement Delay");
  print_line("Key z = Zero Output Column");
  print_line("Key l = Sinus Zero Sinchro Column");
  print_line("Yellow = Data from Sinus Table for reference");
  print_line("Cyan = Sinus Table * Amplitude normalized to screen");
  print_line("Red = Sinus Table * Amplitude truncated and normalized to screen");
  print_line("Green = PDC data  normalized to screen");
  print_line("                    ");
  print_line(" ==== Press Space to Un Pause ==== ");
}

// The headless replay: every line drawn without pause, wait or key, then the picture
// as it stands at the end prompt is written to `out_name`.
int snapshot(std::string_view program, std::string_view out_name, std::string_view capture_name) {
  if (!start_up(program, capture_name)) return 0;
  kit::file_open(capture_name, kit::FileMode::input, capture_file);
  if (kit::report_file_failures("pwmscope") > 0) return kit::exit_status();

  pwmscope::Picture picture;
  pwmscope::TextScreen screen(picture);
  pwmscope::ScreenConsole device(screen, nullptr);
  {
    pwmscope::ConsoleRedirect redirect(device);
    pwmscope::Scope scope(picture, screen);
    scope.window_setup();
    while (!kit::at_end(capture_file)) scope.run_step(kit::read_item(capture_file), nullptr);
    kit::print_text(console, capture_name, Ending::none);
    kit::print_text(console, " File Printed, Press Enter", Ending::none);
  }

  // The capture stays open meanwhile, so that the kit refuses to write over it.
  if (kit::file_open(out_name, kit::FileMode::output, picture_file) == kit::status_ok) {
    kit::write_bytes(picture_file, pwmscope::encode_png(picture));
    kit::file_close(picture_file);
  }
  kit::file_close(capture_file);
  kit::report_file_failures("pwmscope");
  return kit::exit_status();
}

}  // namespace

int main(int argc, char** argv) {
  if (kit::answer_standard_option(argc, argv, "pwmscope", usage)) return 0;
  std::string_view program = argc > 0 ? argv[0] : "pwmscope";
  if (argc >= 2 && std::string_view(argv[1]) == "--snapshot") {
    if (argc < 4) {
      std::fputs("pwmscope: --snapshot needs the picture's name and the capture's name\n", stderr);
      std::fputs(usage.data(), stderr);
      return 2;
    }
    return snapshot(program, argv[2], argv[3]);
  }
  std::string capture_name = argc >= 2 ? argv[1] : "";

  // Start-up on the console; the window's title is known before it opens.
  pwmscope::Picture picture;
  pwmscope::SdlWindow window(picture);
  window.set_title(start_title);
  if (!start_up(program, capture_name)) {
    kit::closing_wait("Press enter to Exit", false);
    return 0;
  }
  print_help();

  // The capture is opened before the window, so that a name that cannot be read is
  // told on the console where the user typed it.
  kit::file_open(capture_name, kit::FileMode::input, capture_file);
  if (kit::report_file_failures("pwmscope") > 0) {
    kit::closing_wait("Press enter to Exit", false);
    return kit::exit_status();
  }
  std::string error;
  if (!window.open(error)) {
    kit::flush_console();
    std::fprintf(stderr, "pwmscope: cannot open the plot window: %s\n", error.c_str());
    kit::closing_wait("Press enter to Exit", false);
    kit::file_close(capture_file);
    return 1;
  }

  // From here on the console is the window's text.
  pwmscope::TextScreen screen(picture);
  pwmscope::ScreenConsole device(screen, &window);
  pwmscope::ConsoleRedirect redirect(device);
  window.set_title(window_title);
  pwmscope::Scope scope(picture, screen);
  scope.window_setup();

  // One capture line per run step, until the end of the capture or the key x.
  while (!kit::at_end(capture_file)) {
    if (!scope.run_step(kit::read_item(capture_file), &window)) {
      kit::file_close(capture_file);
      return kit::exit_status();
    }
  }

  kit::print_text(console, capture_name, Ending::none);
  kit::closing_wait(" File Printed, Press Enter", false);
  kit::file_close(capture_file);
  return kit::exit_status();
}
