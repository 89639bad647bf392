// Capture lines per second of the plotter's replay without a window: a generated capture
// of one million lines, read, decoded, drawn with the text panel and the sweep, keys
// polled and the delay 0 waited, as the window's run loop does.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <utility>

#include "kit/console.h"
#include "kit/files.h"
#include "kit/test_support.h"
#include "pwmscope/scope.h"

namespace {

constexpr int capture_lines = 1'000'000;

// Text as the firmware sends it: four hex digits, negative values as 16-bit F-numbers.
std::string hex4(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", unsigned(value) & 0xFFFF);
  return text;
}

// One sine period every 256 rows, the amplitude sent every 4096 lines.
std::string generated_capture() {
  std::string text;
  text.reserve(std::size_t(capture_lines) * 34);
  for (int i = 0; i < capture_lines; ++i) {
    if (i % 4096 == 0) {
      text += "%0800@0800\r\n";
      continue;
    }
    int sine = int(std::lround(2000 * std::sin(2 * M_PI * (i % 256) / 256)));
    const std::pair<char, int> fields[] = {
        {'#', i % 256},          {'~', sine / 16},          {'=', sine},
        {'*', 32639 + 6 * sine}, {'+', 26086 + 5 * sine}, {'$', 4075 + sine / 2},
    };
    for (const auto& [tag, value] : fields) {
      text += tag;
      text += hex4(value);
    }
    text += "\r\n";
  }
  return text;
}

// A window that nobody types into.
class NoKeys : public pwmscope::WindowInput {
 public:
  std::string key_poll() override { return {}; }
  std::string key_wait() override { return "x"; }
  bool closed() const override { return false; }
  void wait_ms(int) override {}
};

void BM_HeadlessReplay(benchmark::State& state) {
  kit::testing::TempDir folder;
  std::string name = (folder / "capture.txt").string();
  kit::testing::write_file(name, generated_capture());
  NoKeys keys;
  std::int64_t lines = 0;
  for (auto _ : state) {
    pwmscope::Picture picture;
    pwmscope::TextScreen screen(picture);
    pwmscope::ScreenConsole device(screen, &keys);
    pwmscope::ConsoleRedirect redirect(device);
    pwmscope::Scope scope(picture, screen);
    scope.controls.pause = 100;
    scope.controls.delay = 0;
    kit::file_open(name, kit::FileMode::input, 1);
    scope.window_setup();
    while (!kit::at_end(1)) {
      scope.run_step(kit::read_item(1), &keys);
      ++lines;
    }
    kit::file_close(1);
    benchmark::DoNotOptimize(picture.pixel(0, 0));
  }
  state.SetItemsProcessed(lines);
  state.counters["lines_per_second"] =
      benchmark::Counter(double(lines), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_HeadlessReplay)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
