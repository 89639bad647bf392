// pwmscope in a real window: an X server of its own (Xvfb), keys sent with xdotool,
// screenshots taken with ImageMagick's import and compared pixel for pixel with the
// pictures the model draws for the same keys.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "kit/console.h"
#include "kit/files.h"
#include "kit/test_support.h"
#include "pwmscope/picture_reading.h"
#include "pwmscope/scope.h"

extern char** environ;

namespace pwmscope {
namespace {

using namespace std::chrono_literals;
using kit::testing::TempDir;

const std::string testdata = PWMSCOPE_TESTDATA;
const std::string source_root = PWMSCOPE_SOURCE_ROOT;

// Output of a shell command, or nothing when it fails.
std::string shell(const std::string& command, int* status = nullptr) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[65536];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  int result = pclose(pipe);
  if (status) *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
  return out;
}

bool have(const char* program) {
  return !shell(std::string("command -v ") + program + " 2>/dev/null").empty();
}

// Starts a program with its output in files. It dies with the test, so that a test
// killed on a timeout leaves no X server or window behind.
pid_t spawn(const std::vector<std::string>& args, const std::vector<std::string>& env,
            const std::filesystem::path& cwd, const std::filesystem::path& out,
            const std::filesystem::path& err) {
  std::vector<char*> argv, envp;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  for (char** e = environ; *e; ++e) {
    std::string_view entry = *e;
    bool replaced = false;
    for (const std::string& own : env) {
      replaced =
          replaced || entry.substr(0, entry.find('=') + 1) == own.substr(0, own.find('=') + 1);
    }
    if (!replaced) envp.push_back(*e);
  }
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  pid_t parent = getpid();
  pid_t pid = fork();
  if (pid != 0) return pid;
  // The child: only calls that are safe between fork and exec.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(127);
  int input = open("/dev/null", O_RDONLY);
  int output = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  int errors = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (input < 0 || output < 0 || errors < 0 || chdir(cwd.c_str()) != 0) _exit(127);
  dup2(input, 0);
  dup2(output, 1);
  dup2(errors, 2);
  execvpe(argv[0], argv.data(), envp.data());
  _exit(127);
}

// The exit status of a child within `limit`, or -1 after killing it.
int wait_for_exit(pid_t pid, std::chrono::milliseconds limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(20ms);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string png_rgb(const std::string& png) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) return {};
  image.format = PNG_FORMAT_RGB;
  std::string rgb(PNG_IMAGE_SIZE(image), '\0');
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
  if (image.width != picture_width || image.height != picture_height) return {};
  return rgb;
}

std::size_t differing_pixels(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return std::size_t(picture_width) * picture_height;
  std::size_t count = 0;
  for (std::size_t i = 0; i < a.size(); i += 3) count += a.compare(i, 3, b, i, 3) != 0;
  return count;
}

// The run loop of the model with keys given in advance; the picture is kept each time
// the loop waits for a key, which is when the window shows it and waits too.
class RecordingInput : public WindowInput {
 public:
  RecordingInput(const Picture& picture, std::deque<std::string> keys)
      : picture_(picture), keys_(std::move(keys)) {}
  std::vector<std::string> shown;  // the pictures as RGB, one per wait for a key

  // The tests type only while the tool waits for a key.
  std::string key_poll() override { return {}; }
  std::string key_wait() override {
    shown.push_back(picture_rgb(picture_));
    return keys_.empty() ? "x" : take();
  }
  bool closed() const override { return false; }
  void wait_ms(int) override {}

 private:
  std::string take() {
    if (keys_.empty()) return {};
    std::string key = keys_.front();
    keys_.pop_front();
    return key;
  }
  const Picture& picture_;
  std::deque<std::string> keys_;
};

// The model's pictures at every wait for a key when `keys` are typed while replaying
// `capture`; at the end of the capture, the end prompt after `name`, and the typed line.
std::vector<std::string> model_pictures(const std::string& capture, const std::string& name,
                                        std::deque<std::string> keys) {
  Picture picture;
  TextScreen screen(picture);
  RecordingInput input(picture, std::move(keys));
  ScreenConsole device(screen, &input);
  ConsoleRedirect redirect(device);
  Scope scope(picture, screen);
  scope.window_setup();
  EXPECT_EQ(kit::file_open(capture, kit::FileMode::input, 1), kit::status_ok);
  bool ended_by_x = false;
  while (!kit::at_end(1) && !ended_by_x) ended_by_x = !scope.run_step(kit::read_item(1), &input);
  kit::file_close(1);
  if (!ended_by_x) {
    kit::print_text(kit::console, name, kit::Ending::none);
    kit::closing_wait(" File Printed, Press Enter", false);
  }
  return input.shown;
}

class WindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!have("Xvfb") || !have("xdotool") || !have("import")) {
      shell("bash '" + source_root + "/scripts/deps' >&2");
    }
    ASSERT_TRUE(have("Xvfb") && have("xdotool") && have("import"))
        << "Xvfb, xdotool and ImageMagick's import are needed (scripts/deps installs them)";
    // Xvfb picks a free display itself and tells its number through a pipe.
    int pipe_fds[2];
    ASSERT_EQ(pipe(pipe_fds), 0);
    std::string fd = std::to_string(pipe_fds[1]);
    server_ = spawn({"Xvfb", "-displayfd", fd, "-screen", "0", "1600x1200x24", "-nolisten", "tcp"},
                    {}, "/", "/dev/null", "/dev/null");
    close(pipe_fds[1]);
    ASSERT_GT(server_, 0);
    std::string number;
    char c;
    while (read(pipe_fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(pipe_fds[0]);
    ASSERT_FALSE(number.empty()) << "Xvfb did not start";
    display_ = ":" + number;
  }

  static void TearDownTestSuite() {
    if (server_ > 0) {
      kill(server_, SIGTERM);
      waitpid(server_, nullptr, 0);
      server_ = -1;
    }
  }

  void TearDown() override {
    if (tool_ > 0) wait_for_exit(tool_, 0ms);  // kills what a failed test left running
  }

  std::string x(const std::string& command, int* status = nullptr) {
    return shell("DISPLAY=" + display_ + " timeout 10 " + command, status);
  }

  // Starts pwmscope on a copy of a fixture and finds its window.
  void start(const std::string& capture) {
    std::filesystem::copy_file(testdata + "/" + capture, folder_ / capture);
    // In the sanitizer build the leak check stays off for the window's process: the
    // D-Bus and X libraries under SDL2 keep memory to the end. The model's own memory is
    // checked by the tests that run it in-process and headless.
    tool_ = spawn({kit::testing::tool_path("pwmscope"), capture},
                  {"DISPLAY=" + display_, "ASAN_OPTIONS=detect_leaks=0"}, folder_.path(),
                  folder_ / "out.txt", folder_ / "err.txt");
    ASSERT_GT(tool_, 0);
    std::string found = x("xdotool search --sync --onlyvisible --name '^pwmscope$'");
    window_ = found.substr(0, found.find('\n'));
    ASSERT_FALSE(window_.empty()) << "no window; stderr: "
                                  << kit::testing::read_file(folder_ / "err.txt");
    // Without a window manager the keyboard follows the pointer.
    x("xdotool mousemove --window " + window_ + " 640 100");
  }

  void press(const std::string& key) { x("xdotool key " + key); }

  // Waits until the window shows `expected`; fails with the count of differing pixels.
  void expect_shown(const std::string& expected, const std::string& what) {
    std::size_t differing = 0;
    auto deadline = std::chrono::steady_clock::now() + 5s;
    do {
      std::string shot = png_rgb(x("import -window " + window_ + " png:-"));
      differing = differing_pixels(shot, expected);
      if (differing == 0) return;
      std::this_thread::sleep_for(50ms);
    } while (std::chrono::steady_clock::now() < deadline);
    ADD_FAILURE() << what << ": " << differing << " pixels differ from the model";
  }

  int exit_status() {
    int status = wait_for_exit(tool_, 5000ms);
    tool_ = -1;
    return status;
  }

  static inline pid_t server_ = -1;
  static inline std::string display_;
  TempDir folder_;
  pid_t tool_ = -1;
  std::string window_;
};

TEST_F(WindowTest, PausedStartStepsDelayAndExit) {
  auto model = model_pictures(testdata + "/short.txt", "short.txt", {"s", "q", "s", "x"});
  ASSERT_EQ(model.size(), 4u);
  start("short.txt");
  if (HasFatalFailure()) return;
  expect_shown(model[0], "paused after the first line");
  press("s");
  expect_shown(model[1], "one step");
  press("q");  // the new delay shows at the next step
  press("s");
  expect_shown(model[3], "the next step, with delay 2");
  press("x");
  EXPECT_EQ(exit_status(), 0) << kit::testing::read_file(folder_ / "err.txt");
  EXPECT_EQ(kit::testing::read_file(folder_ / "err.txt"), "");
}

TEST_F(WindowTest, RunsToTheEndPromptAndReadsTheLineInTheWindow) {
  auto model = model_pictures(testdata + "/short.txt", "short.txt", {" ", "o", "k", "\r"});
  ASSERT_EQ(model.size(), 4u);  // paused start, then the end prompt before each key
  start("short.txt");
  if (HasFatalFailure()) return;
  expect_shown(model[0], "paused after the first line");
  press("space");
  expect_shown(model[1], "the end prompt");
  press("o");
  press("k");
  expect_shown(model[3], "the typed answer");
  press("Return");
  EXPECT_EQ(exit_status(), 0) << kit::testing::read_file(folder_ / "err.txt");
}

TEST_F(WindowTest, ClosingTheWindowActsAsX) {
  start("short.txt");
  if (HasFatalFailure()) return;
  x(kit::testing::tool_path("close_window") + " " + window_);
  EXPECT_EQ(exit_status(), 0) << kit::testing::read_file(folder_ / "err.txt");
}

}  // namespace
}  // namespace pwmscope
