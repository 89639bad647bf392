// The pwmscope program run as a process: its console start-up, its failures, and the
// headless snapshot compared pixel for pixel with the model.

#include <gtest/gtest.h>
#include <png.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "kit/console.h"
#include "kit/files.h"
#include "kit/test_support.h"
#include "pwmscope/picture_reading.h"
#include "pwmscope/scope.h"

namespace pwmscope {
namespace {

using kit::testing::read_file;
using kit::testing::run_tool;
using kit::testing::TempDir;

const std::string testdata = PWMSCOPE_TESTDATA;

constexpr const char* sign_on =
    "PWM capture plotter, freeware by the PIC18 kit authors, use at your own risk\r\n";

std::string help_lines() {
  return "                    \r\n"
         "          Usage:\r\n"
         "Space = Toggle Pause\r\n"
         "Key x = Exit\r\n"
         "Key s = Step\r\n"
         "Key q = Increment Delay\r\n"
         "Key w = Decrement Delay\r\n"
         "Key z = Zero Output Column\r\n"
         "Key l = Sinus Zero Sinchro Column\r\n"
         "Yellow = Data from Sinus Table for reference\r\n"
         "Cyan = Sinus Table * Amplitude normalized to screen\r\n"
         "Red = Sinus Table * Amplitude truncated and normalized to screen\r\n"
         "Green = PDC data  normalized to screen\r\n"
         "                    \r\n"
         " ==== Press Space to Un Pause ==== \r\n";
}

// A PNG file's pixels as red, green and blue bytes, row by row; empty when it is no
// 1280 x 1024 PNG.
std::string png_rgb(const std::string& png) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) return {};
  image.format = PNG_FORMAT_RGB;
  std::string rgb(PNG_IMAGE_SIZE(image), '\0');
  bool read = png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr);
  if (!read || image.width != picture_width || image.height != picture_height) return {};
  return rgb;
}

// The picture that the replay of `capture` leaves at its end prompt, made in this process.
Picture model_picture(const std::string& capture, const std::string& shown_name) {
  Picture picture;
  TextScreen screen(picture);
  ScreenConsole device(screen, nullptr);
  ConsoleRedirect redirect(device);
  Scope scope(picture, screen);
  scope.window_setup();
  EXPECT_EQ(kit::file_open(capture, kit::FileMode::input, 1), kit::status_ok);
  while (!kit::at_end(1)) scope.run_step(kit::read_item(1), nullptr);
  kit::file_close(1);
  kit::print_text(kit::console, shown_name, kit::Ending::none);
  kit::print_text(kit::console, " File Printed, Press Enter", kit::Ending::none);
  return picture;
}

TEST(PwmscopeRun, NameTooShort) {
  TempDir folder;
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{}, ""}, {{"ab"}, "ab"}, {{"x", "more"}, "x"}};
  for (const auto& [args, name] : cases) {
    kit::testing::ToolRun run = run_tool("pwmscope", args, "\n", folder.path());
    EXPECT_EQ(run.out, std::string(sign_on) + "exe name= pwmscope\r\nInput FileName= " + name +
                           "\r\nInput File Name is too short\r\n          Usage:\r\n"
                           "pwmscope.exe UsartOutFileName.bin\r\n")
        << name;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
  }
}

TEST(PwmscopeRun, CaptureThatCannotBeOpenedIsToldBeforeAnyWindow) {
  TempDir folder;
  kit::testing::ToolRun run = run_tool("pwmscope", {"missing.bin"}, "\n", folder.path());
  EXPECT_EQ(run.out, std::string(sign_on) +
                         "exe name= pwmscope\r\nInput FileName= missing.bin\r\n" + help_lines());
  EXPECT_NE(run.err.find("pwmscope: missing.bin: "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("No such file or directory"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("window"), std::string::npos) << run.err;
  EXPECT_EQ(run.status, 1);
}

TEST(PwmscopeRun, NoDisplay) {
  TempDir folder;
  std::filesystem::copy_file(testdata + "/short.txt", folder / "short.txt");
  // Without a display to talk to, no window can open.
  std::string display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  kit::testing::ToolRun run = run_tool("pwmscope", {"short.txt"}, "\n", folder.path());
  if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
  EXPECT_EQ(run.out, std::string(sign_on) + "exe name= pwmscope\r\nInput FileName= short.txt\r\n" +
                         help_lines());
  EXPECT_NE(run.err.find("pwmscope: cannot open the plot window"), std::string::npos) << run.err;
  EXPECT_EQ(run.status, 1);
}

TEST(PwmscopeRun, SnapshotIsTheModelsPicture) {
  TempDir folder;
  for (std::string capture : {"sine.txt", "short.txt"}) {
    std::filesystem::copy_file(testdata + "/" + capture, folder / capture);
    kit::testing::ToolRun run =
        run_tool("pwmscope", {"--snapshot", "out.png", capture}, "", folder.path());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out,
              std::string(sign_on) + "exe name= pwmscope\r\nInput FileName= " + capture + "\r\n");
    std::string rgb = png_rgb(read_file(folder / "out.png"));
    ASSERT_FALSE(rgb.empty()) << capture;
    Picture model = model_picture((folder / capture).string(), capture);
    EXPECT_TRUE(rgb == picture_rgb(model)) << capture << ": the PNG differs from the model";
    // The end prompt follows the panel, on row 36.
    std::string prompt = capture + " File Printed, Press Enter";
    EXPECT_EQ(cell_text(model, 36, 1, int(prompt.size())), prompt);
  }
}

TEST(PwmscopeRun, CommaSplitsACaptureLine) {
  // The part after a comma is the next capture line, with a run step of its own.
  TempDir folder;
  kit::testing::write_file(folder / "comma.txt", "%0800#0001=0100*9000,#0002=0200\r\n#0003\r\n");
  kit::testing::write_file(folder / "lines.txt", "%0800#0001=0100*9000\r\n#0002=0200\r\n#0003\r\n");
  for (std::string capture : {"comma.txt", "lines.txt"}) {
    kit::testing::ToolRun run =
        run_tool("pwmscope", {"--snapshot", capture + ".png", capture}, "", folder.path());
    EXPECT_EQ(run.status, 0) << run.err;
  }
  std::string comma = png_rgb(read_file(folder / "comma.txt.png"));
  std::string lines = png_rgb(read_file(folder / "lines.txt.png"));
  ASSERT_FALSE(comma.empty());
  // Only the name in the end prompt differs: compare the rows above it.
  std::size_t above_prompt = std::size_t(35) * 16 * picture_width * 3;
  EXPECT_TRUE(comma.compare(0, above_prompt, lines, 0, above_prompt) == 0);
  Picture model = model_picture((folder / "comma.txt").string(), "comma.txt");
  EXPECT_EQ(cell_text(model, 32, 17, 14), "Row#Number= 3 ");
  EXPECT_EQ(model.pixel(1, 512 + 128), yellow);  // the second line's point, in column 1
}

TEST(PwmscopeRun, SnapshotFailures) {
  TempDir folder;
  std::filesystem::copy_file(testdata + "/short.txt", folder / "short.txt");
  std::string capture = read_file(folder / "short.txt");

  kit::testing::ToolRun run =
      run_tool("pwmscope", {"--snapshot", "out.png", "missing.txt"}, "", folder.path());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("pwmscope: missing.txt: "), std::string::npos) << run.err;
  EXPECT_FALSE(std::filesystem::exists(folder / "out.png"));

  // The capture is never written over, not even under another spelling of its name.
  for (std::string out : {"short.txt", "./short.txt"}) {
    run = run_tool("pwmscope", {"--snapshot", out, "short.txt"}, "", folder.path());
    EXPECT_EQ(run.status, 1) << out;
    EXPECT_NE(run.err.find("pwmscope: " + out + ": "), std::string::npos) << run.err;
    EXPECT_EQ(read_file(folder / "short.txt"), capture) << out;
  }

  run = run_tool("pwmscope", {"--snapshot", "no/such/folder/out.png", "short.txt"}, "",
                 folder.path());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("pwmscope: no/such/folder/out.png: "), std::string::npos) << run.err;

  run = run_tool("pwmscope", {"--snapshot", "out.png", "ab"}, "", folder.path());
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("Input File Name is too short"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(folder / "out.png"));

  run = run_tool("pwmscope", {"--snapshot", "out.png"}, "", folder.path());
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("--snapshot"), std::string::npos);
}

TEST(PwmscopeRun, Help) {
  TempDir folder;
  kit::testing::ToolRun run = run_tool("pwmscope", {"--help"}, "", folder.path());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.rfind("Usage: pwmscope CAPTURE\n", 0), 0u) << run.out;
}

}  // namespace
}  // namespace pwmscope
