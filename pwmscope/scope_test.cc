#include "pwmscope/scope.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "pwmscope/picture_reading.h"

namespace pwmscope {
namespace {

// A window stand-in: keys given in advance, a record of what the run loop asked for.
class ScriptedInput : public WindowInput {
 public:
  std::deque<std::string> keys;
  int polls = 0;
  int waits_for_key = 0;
  std::vector<int> waited_ms;

  std::string key_poll() override {
    ++polls;
    return take();
  }
  std::string key_wait() override {
    ++waits_for_key;
    if (keys.empty()) {
      ADD_FAILURE() << "the run loop waits for a key that the test does not give";
      return "x";
    }
    return take();
  }
  bool closed() const override { return false; }
  void wait_ms(int ms) override { waited_ms.push_back(ms); }

 private:
  std::string take() {
    if (keys.empty()) return {};
    std::string key = keys.front();
    keys.pop_front();
    return key;
  }
};

// What the cells from `row`, `column` show, as many as `expected` has characters.
std::string shown(const Picture& picture, int row, int column, std::string_view expected) {
  return cell_text(picture, row, column, int(expected.size()));
}

// A scope with its picture and the console pointed at the picture's text.
struct Rig {
  Picture picture;
  TextScreen screen{picture};
  ScreenConsole device{screen, nullptr};
  ConsoleRedirect redirect{device};
  Scope scope{picture, screen};
  ScriptedInput input;

  Rig() { scope.window_setup(); }
  // A run step that does not stop for keys.
  void headless(std::string_view line) { scope.run_step(line, nullptr); }
  int column_lit(int x) const {
    int lit = 0;
    for (int y = 0; y < picture_height; ++y) lit += picture.pixel(x, y) != black;
    return lit;
  }
};

TEST(Scope, WindowSetupDrawsTheDottedZeroLine) {
  Rig rig;
  for (int x = 0; x < picture_width; ++x) {
    for (int y = 0; y < picture_height; ++y) {
      std::uint8_t expected = (y == 512 && x % 2 == 0) ? light_green : black;
      ASSERT_EQ(rig.picture.pixel(x, y), expected) << x << "," << y;
    }
  }
}

TEST(Scope, PointsOfADecodedLine) {
  Rig rig;
  rig.scope.sweep.column = 701;
  rig.scope.walk_tags("#0001~0008=0100*8000+6000$0FEB@0800");
  // No "%" yet, so the amplitude is 0 and the offsets are unscaled; the red point at
  // 512 - 1510 lies above the picture.
  for (int y = 0; y < picture_height; ++y) {
    std::uint8_t expected = y == 512 + 32    ? light_grey
                            : y == 512 + 64  ? yellow
                            : y == 512 + 129 ? light_cyan
                            : y == 512       ? light_green  // $0FEB is 4075: offset 0
                                             : black;
    ASSERT_EQ(rig.picture.pixel(701, y), expected) << y;
  }

  // With the amplitude 2048 the cyan point of sin_amplify 129 lies at 515.968...
  Rig scaled;
  scaled.scope.walk_tags("%0800=0000*8000+6000$0FEB");
  EXPECT_EQ(scaled.picture.pixel(0, 515), light_cyan);
  EXPECT_EQ(scaled.picture.pixel(0, 512 - 45), light_red);  // 512 - 44.24 = 467.76
  EXPECT_EQ(scaled.picture.pixel(0, 512), light_green);     // drawn last, over the yellow
}

TEST(Scope, OffsetsAtTheTopAndBottomEdges) {
  const struct {
    const char* line;
    int row;  // -1: not drawn
  } cases[] = {
      {"=F7FF", 0},     // -2049 / 4 = -512.25: y = -0.25 is drawn on row 0
      {"=F7FE", -1},    // -512.5: y = -0.5 is not drawn
      {"=07FF", 1023},  // +511.75
      {"=0800", -1},    // +512: y = 1024 is outside
  };
  for (const auto& c : cases) {
    Rig rig;
    rig.scope.sweep.column = 301;  // odd: clear of the dotted zero line
    rig.scope.walk_tags(c.line);
    for (int y = 0; y < picture_height; ++y) {
      std::uint8_t expected = y == c.row ? yellow : black;
      ASSERT_EQ(rig.picture.pixel(301, y), expected) << c.line << " y " << y;
    }
  }
}

TEST(Scope, SweepAcrossTheWindowAndBack) {
  Rig rig;
  for (int step = 1; step <= 1281; ++step) {
    rig.headless("#0001=0100");  // a point at y 576 in every column
    int column = step % 1281;
    ASSERT_EQ(rig.scope.sweep.column, column) << step;
    if (column == 1280) {
      // Nothing of the points, erase or cursor line shows: column 1279 keeps its point.
      EXPECT_EQ(rig.picture.pixel(1279, 576), yellow);
      EXPECT_EQ(rig.picture.pixel(1279, 0), black);
    } else if (column == 1279) {
      EXPECT_EQ(rig.column_lit(1279), 0);  // erased; its cursor at 1280 is off the picture
    } else {
      EXPECT_EQ(rig.column_lit(column), 0) << step;  // freshly erased
      EXPECT_EQ(rig.picture.pixel(column + 1, 0), light_green) << step;
      EXPECT_EQ(rig.picture.pixel(column + 1, 1), black) << step;
      EXPECT_EQ(rig.picture.pixel(column + 1, 1022), light_green) << step;
    }
  }
  // Back at 0: the line drawn at 1280 left nothing, column 0 is erased and 1 has the cursor.
  EXPECT_EQ(rig.column_lit(0), 0);
  EXPECT_EQ(rig.picture.pixel(1, 2), light_green);
  EXPECT_EQ(rig.picture.pixel(2, 576), yellow);
}

TEST(Scope, LineWithoutRowNumberIsErasedAgain) {
  Rig rig;
  rig.scope.sweep.column = 40;
  rig.headless("=0100");
  EXPECT_EQ(rig.scope.sweep.column, 40);
  EXPECT_EQ(rig.column_lit(40), 0);
  EXPECT_EQ(rig.picture.pixel(41, 0), light_green);
}

TEST(Scope, ZeroSynchroRestartsTheSweep) {
  Rig rig;
  for (int i = 0; i < 5; ++i) rig.headless("#0001=0100");
  ASSERT_EQ(rig.scope.sweep.column, 5);
  rig.headless("#0001~0010=0000*7F7F+65E6");
  // "~" and "=" at the old column; "*" and "+" at column 0; then "#" moves to 1.
  EXPECT_EQ(rig.picture.pixel(5, 512 + 64), light_grey);
  EXPECT_EQ(rig.picture.pixel(5, 512), yellow);
  EXPECT_EQ(rig.picture.pixel(0, 512), light_red);  // "*" drawn, then "+" over it
  EXPECT_EQ(rig.scope.sweep.sweep_erase, -100);
  EXPECT_EQ(rig.scope.sweep.column, 1);
  // Without erase lines the old traces stay: column 2 keeps its point from the first run.
  rig.headless("#0001=0200");
  EXPECT_EQ(rig.scope.sweep.column, 2);
  EXPECT_EQ(rig.picture.pixel(1, 512 + 128), yellow);
  EXPECT_EQ(rig.picture.pixel(2, 512 + 64), yellow);
  EXPECT_EQ(rig.picture.pixel(3, 0), black);  // no cursor line
  // A "%" field brings the erasing back and starts at column 0.
  rig.headless("%0800#0001=0100");
  EXPECT_EQ(rig.scope.sweep.sweep_erase, 100);
  EXPECT_EQ(rig.scope.sweep.column, 1);
  EXPECT_EQ(rig.column_lit(1), 0);
  EXPECT_EQ(rig.picture.pixel(2, 0), light_green);
  // The next zero negates the erasing again.
  rig.headless("=0000");
  EXPECT_EQ(rig.scope.sweep.sweep_erase, -100);
  rig.headless("=0000");
  EXPECT_EQ(rig.scope.sweep.sweep_erase, 100);
}

TEST(Scope, KeyLTurnsTheZeroSynchroOff) {
  Rig rig;
  rig.scope.sweep.column = 9;
  rig.scope.controls.pause = 100;
  rig.input.keys = {"l"};
  rig.scope.run_step("#0001=0100", &rig.input);
  EXPECT_EQ(rig.scope.sweep.zero_synchro, -100);
  rig.scope.run_step("=0000", &rig.input);
  EXPECT_EQ(rig.picture.pixel(10, 512), black);  // drawn, then erased: no "#"
  EXPECT_EQ(rig.scope.sweep.column, 10);
  EXPECT_EQ(rig.scope.sweep.sweep_erase, 100);
  EXPECT_EQ(rig.picture.pixel(11, 0), light_green);
}

TEST(Scope, TextPanel) {
  Rig rig;
  rig.scope.sweep.column = 16;
  rig.headless("#0001~FFF0@0123=0010*8000+6000$0FEB");
  rig.headless("%0800#0002");
  for (int i = 0; i < 17; ++i) rig.headless("#0003");
  rig.headless("#0004");
  ASSERT_EQ(rig.scope.sweep.column, 19);
  // The column shown is the one before the sweep step of the line. Each row ends in
  // ten blanks.
  const std::string rows[] = {
      "Delay= 1 #0004          ",
      "Sin3G~Table=-16  Amp@litude  291          ",
      "Row#Number= 4  Sin=Table= 16          ",
      "Sin*Amplify= 129 Sin+Limited=-1510          ",
      "Amp%litude  2048= 50%, Column= 18          ",
      "Pwm$DutyCycle= 4075 PDCycleD= 0          ",
  };
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(shown(rig.picture, 30 + i, 17, rows[i]), rows[i]);
  }
}

TEST(Scope, TextPanelShowsDoublesWithSixteenDigits) {
  Rig rig;
  rig.headless("%0C00$0FF0");  // (4080 - 4075) * (370 / 3072)
  const std::string pd_row = "Pwm$DutyCycle= 4080 PDCycleD= 0.6022135416666666          ";
  EXPECT_EQ(shown(rig.picture, 35, 17, pd_row), pd_row);
  EXPECT_EQ(shown(rig.picture, 34, 17, "Amp%litude  3072= 75%"), "Amp%litude  3072= 75%");
}

TEST(Scope, LongCaptureLineRunsIntoTheNextRows) {
  Rig rig;
  std::string line(300, 'L');
  line[0] = '#';
  for (int i = 135; i < 300; ++i) line[i] = char('a' + i % 26);
  rig.scope.text_panel(line);  // the sweep lines of a whole step would cross the text
  // Row 30: "Delay= 1 " from column 17, then the line from column 26 to 160 (135 chars).
  EXPECT_EQ(cell_text(rig.picture, 30, 26, 135), line.substr(0, 135));
  // Row 31 got the next 160 characters; the panel's own row 31 then wrote over its
  // columns 17 on, as far as its text and ten blanks reach.
  std::string row31 = cell_text(rig.picture, 31, 1, 160);
  EXPECT_EQ(row31.substr(0, 16), line.substr(135, 16));
  std::string panel31 = "Sin3G~Table= 0  Amp@litude  0          ";
  EXPECT_EQ(row31.substr(16, panel31.size()), panel31);
  std::size_t rest = 16 + panel31.size();
  EXPECT_EQ(row31.substr(rest), line.substr(135 + rest, 160 - rest));
  // Row 32: the last 5 characters and 10 blanks, then the panel's row 32 from column 17.
  EXPECT_EQ(cell_text(rig.picture, 32, 1, 16), line.substr(295) + std::string(11, ' '));
}

TEST(Scope, KeysActInTheirOrder) {
  struct Case {
    const char* name;
    std::int8_t pause;
    std::deque<std::string> keys;
    bool goes_on;
    std::int8_t pause_after;
    std::int8_t delay_after;
    std::size_t keys_left;
  };
  const Case cases[] = {
      {"running takes one key a step", 100, {"q", "q"}, true, 100, 2, 1},
      {"running without a key", 100, {}, true, 100, 1, 0},
      {"space pauses within the same step", 100, {" ", "q", "s"}, true, -100, 2, 0},
      {"paused: space releases", -100, {"q", " ", "w"}, true, 100, 2, 1},
      {"paused: s steps once and stays paused", -100, {"s", "q"}, true, -100, 1, 1},
      {"running: s pauses after this step", 100, {"s"}, true, -100, 1, 0},
      {"paused: x ends", -100, {"q", "x"}, false, -100, 2, 0},
      {"running: x ends", 100, {"x"}, false, 100, 1, 0},
      {"upper case means nothing", -100, {"S", "X", "Q", " "}, true, 100, 1, 0},
      {"longer key texts mean nothing", -100, {"ss", "\x1b", "\r", " "}, true, 100, 1, 0},
      {"w at 0 stays 0", -100, {"w", "w", " "}, true, 100, 0, 0},
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.scope.controls.pause = c.pause;
    rig.input.keys = c.keys;
    EXPECT_EQ(rig.scope.run_step("#0001", &rig.input), c.goes_on) << c.name;
    EXPECT_EQ(rig.scope.controls.pause, c.pause_after) << c.name;
    EXPECT_EQ(rig.scope.controls.delay, c.delay_after) << c.name;
    EXPECT_EQ(rig.input.keys.size(), c.keys_left) << c.name;
    if (c.goes_on) {
      EXPECT_EQ(rig.input.waited_ms, std::vector<int>{c.delay_after}) << c.name;
      EXPECT_EQ(rig.scope.sweep.column, 1) << c.name;
    } else {
      EXPECT_TRUE(rig.input.waited_ms.empty()) << c.name;
      EXPECT_EQ(rig.scope.sweep.column, 0) << c.name;  // no sweep step after x
    }
  }
}

TEST(Scope, DelayStaysWithinItsRange) {
  Rig rig;
  rig.scope.controls.pause = 100;
  for (int i = 0; i < 40; ++i) {
    rig.input.keys = {"q"};
    rig.scope.run_step("#0001", &rig.input);
  }
  EXPECT_EQ(rig.scope.controls.delay, 30);
  EXPECT_EQ(rig.input.waited_ms.back(), 30);
  EXPECT_EQ(cell_text(rig.picture, 30, 17, 15), "Delay= 30 #0001");  // shown before the key
}

TEST(Scope, PausedStartAndSingleSteps) {
  Rig rig;
  rig.scope.sweep.column = 40;
  rig.input.keys = {"s"};
  rig.scope.run_step("#0001=0100", &rig.input);  // the first line, then stopped
  EXPECT_EQ(rig.input.waits_for_key, 1);
  EXPECT_EQ(rig.input.polls, 0);
  EXPECT_EQ(rig.scope.controls.pause, -100);
  rig.input.keys = {"z", " "};
  rig.scope.run_step("#0002=0100", &rig.input);
  EXPECT_EQ(rig.input.waits_for_key, 3);  // "z" leaves it paused; Space releases
  EXPECT_EQ(rig.scope.controls.pause, 100);
  // "z" set the column to 0 during the key handling; the panel still shows the old one,
  // and the sweep step after the release moved it to 1.
  EXPECT_EQ(shown(rig.picture, 34, 17, "Amp%litude  0= 0%, Column= 41 "),
            "Amp%litude  0= 0%, Column= 41 ");
  EXPECT_EQ(rig.scope.sweep.column, 1);
  rig.scope.run_step("#0003=0100", &rig.input);
  EXPECT_EQ(rig.picture.pixel(1, 512 + 64), yellow);  // drawn at the new column
  EXPECT_EQ(rig.input.polls, 1);
  EXPECT_EQ(shown(rig.picture, 34, 17, "Amp%litude  0= 0%, Column= 1 "),
            "Amp%litude  0= 0%, Column= 1 ");
}

TEST(Scope, KeyZWhileRunning) {
  Rig rig;
  rig.scope.controls.pause = 100;
  rig.scope.sweep.column = 500;
  rig.input.keys = {"z"};
  rig.scope.run_step("=0100", &rig.input);
  EXPECT_EQ(rig.scope.sweep.column, 0);
  EXPECT_EQ(rig.picture.pixel(1, 0), light_green);
  EXPECT_EQ(rig.column_lit(0), 0);
}

}  // namespace
}  // namespace pwmscope
