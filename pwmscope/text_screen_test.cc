#include "pwmscope/text_screen.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "kit/console.h"
#include "pwmscope/picture_reading.h"

namespace pwmscope {
namespace {

// Keys typed in advance; the window counts as closed once they are used up.
class TypedKeys : public WindowInput {
 public:
  explicit TypedKeys(std::deque<std::string> keys) : keys_(std::move(keys)) {}
  std::string key_poll() override { return key_wait(); }
  std::string key_wait() override {
    if (keys_.empty()) {
      closed_ = true;
      return "x";
    }
    std::string key = keys_.front();
    keys_.pop_front();
    return key;
  }
  bool closed() const override { return closed_; }
  void wait_ms(int) override {}

 private:
  std::deque<std::string> keys_;
  bool closed_ = false;
};

TEST(TextScreen, LineEndsAndWrapping) {
  Picture picture;
  TextScreen screen(picture);
  screen.write("AB\r\nC");
  EXPECT_EQ(cell_text(picture, 1, 1, 3), "AB ");
  EXPECT_EQ(cell_text(picture, 2, 1, 2), "C ");
  EXPECT_EQ(screen.row(), 2);
  EXPECT_EQ(screen.column(), 2);

  screen.locate(5, 158);
  screen.write("wxyz");
  EXPECT_EQ(cell_text(picture, 5, 158, 3), "wxy");
  EXPECT_EQ(cell_text(picture, 6, 1, 1), "z");
  EXPECT_EQ(screen.row(), 6);
  EXPECT_EQ(screen.column(), 2);

  screen.locate(10, 5);
  screen.write("abc\rZ");  // a lone CR returns to column 1 of the same row
  EXPECT_EQ(cell_text(picture, 10, 1, 7), "Z   abc");
}

TEST(TextScreen, RowsBelowTheGridAreNotShown) {
  Picture picture;
  TextScreen screen(picture);
  screen.locate(64, 159);
  screen.write("abc\r\ndef");
  EXPECT_EQ(cell_text(picture, 64, 159, 2), "ab");
  EXPECT_EQ(screen.row(), 66);
  EXPECT_EQ(cell_text(picture, 1, 1, 3), "   ");  // nothing came round to the top
}

TEST(TextScreen, KitPrintsLandAtTheCursor) {
  Picture picture;
  TextScreen screen(picture);
  ScreenConsole device(screen, nullptr);
  {
    ConsoleRedirect redirect(device);
    screen.locate(34, 17);
    kit::print_text(kit::console, "Amp%litude ", kit::Ending::none);
    kit::print_int(kit::console, 2048, kit::Ending::none);
    kit::print_text(kit::console, "=", kit::Ending::none);
    kit::print_double(kit::console, 50, kit::Ending::line);
    kit::print_int(kit::console, -7, kit::Ending::none);
  }
  EXPECT_EQ(cell_text(picture, 34, 17, 21), "Amp%litude  2048= 50 ");
  EXPECT_EQ(cell_text(picture, 35, 1, 3), "-7 ");
}

TEST(ScreenConsole, ReadsAndEchoesATypedLine) {
  struct Case {
    std::deque<std::string> keys;
    std::string line;
    std::string shown;  // the cells from the cursor's start
  };
  const Case cases[] = {
      {{"o", "k", "\r"}, "ok", "ok  "},
      {{"a", "b", "\b", "c", "\r"}, "ac", "ac  "},
      {{"\b", "a", "\r"}, "a", "a   "},
      {{"a", "b", "c", "\x1b", "d", "\r"}, "d", "d   "},
      {{"a", "\xc3\xa9", "S", "\n"}, "aS", "aS  "},  // a two-byte character is left out
      {{"a", "b"}, "ab", "ab  "},                    // the window closed before Enter
  };
  for (const Case& c : cases) {
    Picture picture;
    TextScreen screen(picture);
    TypedKeys keys(c.keys);
    ScreenConsole device(screen, &keys);
    screen.locate(36, 10);
    EXPECT_EQ(device.read_line(), c.line);
    EXPECT_EQ(cell_text(picture, 36, 10, 4), c.shown);
    EXPECT_EQ(screen.column(), 10 + int(c.line.size()));
  }
}

TEST(ScreenConsole, ClosingWaitInTheWindow) {
  Picture picture;
  TextScreen screen(picture);
  TypedKeys keys({"y", "\r"});
  ScreenConsole device(screen, &keys);
  {
    ConsoleRedirect redirect(device);
    screen.locate(36, 1);
    kit::print_text(kit::console, "cap.txt", kit::Ending::none);
    kit::closing_wait(" File Printed, Press Enter", false);
  }
  EXPECT_EQ(cell_text(picture, 36, 1, 35), "cap.txt File Printed, Press Entery ");
  EXPECT_EQ(screen.row(), 37);  // the line end after the typed answer
  EXPECT_EQ(screen.column(), 1);
}

}  // namespace
}  // namespace pwmscope
