// The line editor on a real pseudo-terminal: keys go in through the master side, and the
// edited line and what the terminal was sent come back out.

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "kit/console.h"
#include "kit/console_internal.h"

namespace kit {
namespace {

struct Session {
  std::string screen;  // every byte the program sent to the terminal
  int status = -1;
  bool canonical_after = false;  // the terminal's mode once the program had ended
};

enum class Body { edit_line, input_prompt };

// Starts a child on a new pty 20 columns wide, feeds it the key groups one after another
// (with a pause between groups, so an Escape alone is not taken for a sequence), and
// collects its output until it exits.
Session type_keys(Body body, const std::vector<std::string>& key_groups,
                  int signal_after = 0) {
  struct winsize size = {24, 20, 0, 0};
  int master = -1;
  pid_t child = forkpty(&master, nullptr, nullptr, &size);
  if (child == 0) {
    if (body == Body::edit_line) {
      write(1, "P? ", 3);
      std::string line = edit_line(3);
      std::string report = "\n[" + line + "]\n";
      write(1, report.data(), report.size());
    } else {
      std::string line;
      input_prompt("Interrupt Freq, Hz:", true);
      input_text(line);
      print_text(console, "[" + line + "]", Ending::line);
      flush_console();
    }
    _exit(0);
  }
  Session session;
  auto drain = [&](int wait_ms) {
    pollfd fd{master, POLLIN, 0};
    while (poll(&fd, 1, wait_ms) > 0) {
      char chunk[4096];
      ssize_t n = read(master, chunk, sizeof chunk);
      if (n <= 0) return false;
      session.screen.append(chunk, std::size_t(n));
      wait_ms = 20;
    }
    return true;
  };
  drain(200);
  for (const std::string& keys : key_groups) {
    write(master, keys.data(), keys.size());
    drain(120);
  }
  if (signal_after) {
    kill(child, signal_after);
  }
  for (int i = 0; i < 100 && drain(50); ++i) {
    if (waitpid(child, &session.status, WNOHANG) == child) break;
  }
  if (waitpid(child, &session.status, WNOHANG) == 0) {
    kill(child, SIGKILL);
    waitpid(child, &session.status, 0);
  }
  struct termios mode;
  if (tcgetattr(master, &mode) == 0) session.canonical_after = (mode.c_lflag & ICANON) && (mode.c_lflag & ECHO);
  close(master);
  return session;
}

std::string line_of(const Session& session) {
  auto open = session.screen.rfind("\n[");
  auto close = session.screen.rfind("]");
  if (open == std::string::npos || close == std::string::npos || close < open) return "<none>";
  return session.screen.substr(open + 2, close - open - 2);
}

const std::string left = "\x1b[D", right = "\x1b[C", up = "\x1b[A", down = "\x1b[B";
const std::string home = "\x1b[H", end = "\x1b[F", del = "\x1b[3~", esc = "\x1b";

TEST(LineEditor, KeysEditTheLine) {
  struct Case {
    std::vector<std::string> keys;
    std::string line;
  } cases[] = {
      {{"abc\r"}, "abc"},
      {{"abc\n"}, "abc"},
      {{"abc" + left + left + "X\r"}, "aXbc"},
      {{"abc" + home + "X" + end + "Y\r"}, "XabcY"},
      {{"\x1bOH" "X" "\x1bOF" "Y\r"}, "XY"},
      {{"abc" + home + "\x1b[1~Z\x1b[4~!\r"}, "Zabc!"},
      {{"abcd\x7f\b\r"}, "ab"},
      {{"\b\x7f" "a" + left + "\b\r"}, "a"},
      {{"abc" + home + del + "\r"}, "bc"},
      {{"abc" + left + "\r"}, "abc"},
      {{left + left + right + "q" + right + right + "r\r"}, "qr"},
      {{"\tx\r"}, "        x"},
      {{"abc\tx\r"}, "abc     x"},
      {{"abcdefgh\tx\r"}, "abcdefgh        x"},
      {{"abc", esc, "d\r"}, "d"},
      {{"\x01\x02\x7f\x1b[Zz\r"}, "z"},
      {{"\xe9\xff\r"}, "\xe9\xff"},
      // 30 characters on a 20-column terminal: Up goes back a row, Down only if the text
      // reaches that far.
      {{std::string(30, 'a') + up + "X\r"}, std::string(10, 'a') + "X" + std::string(20, 'a')},
      {{std::string(30, 'a') + up + up + "Y\r"}, std::string(10, 'a') + "Y" + std::string(20, 'a')},
      {{std::string(30, 'a') + home + down + "Z\r"}, std::string(20, 'a') + "Z" + std::string(10, 'a')},
      {{std::string(30, 'a') + home + right + right + down + down + "W\r"},
       std::string(22, 'a') + "W" + std::string(8, 'a')},
      {{std::string(15, 'a') + home + down + "V\r"}, "V" + std::string(15, 'a')},
  };
  for (const Case& c : cases) {
    Session session = type_keys(Body::edit_line, c.keys);
    EXPECT_EQ(line_of(session), c.line) << "keys: " << ::testing::PrintToString(c.keys);
    EXPECT_TRUE(session.canonical_after);
  }
}

TEST(LineEditor, DeleteAtTheEndBeeps) {
  Session session = type_keys(Body::edit_line, {"ab", del, "\r"});
  EXPECT_EQ(line_of(session), "ab");
  EXPECT_NE(session.screen.find('\a'), std::string::npos);
  Session quiet = type_keys(Body::edit_line, {"ab" + left + del + "\r"});
  EXPECT_EQ(line_of(quiet), "a");
  EXPECT_EQ(quiet.screen.find('\a'), std::string::npos);
}

TEST(LineEditor, ScreenShowsTheTextAsEdited) {
  Session session = type_keys(Body::edit_line, {"abc", left + "X", "\r"});
  // The last redraw before Enter writes the whole text after clearing the old one.
  EXPECT_NE(session.screen.find("\x1b[JabXc"), std::string::npos) << session.screen;
}

TEST(LineEditor, InputPromptShowsThePromptAndEndsTheLine) {
  Session session = type_keys(Body::input_prompt, {"10000\r"});
  EXPECT_EQ(session.screen.rfind("Interrupt Freq, Hz:? ", 0), 0u) << session.screen;
  // The terminal itself adds a CR before each LF it is sent.
  EXPECT_NE(session.screen.find("\x1b[J10000\r\r\n[10000]\r\r\n"), std::string::npos) << session.screen;
  EXPECT_TRUE(WIFEXITED(session.status));
}

TEST(LineEditor, KeysTypedAheadAreKept) {
  struct winsize size = {24, 80, 0, 0};
  int master = -1;
  pid_t child = forkpty(&master, nullptr, nullptr, &size);
  if (child == 0) {
    usleep(300000);  // the keys arrive while the program is still busy
    std::string line = edit_line(0);
    std::string second = edit_line(0);
    std::string report = "\n[" + line + "|" + second + "]\n";
    write(1, report.data(), report.size());
    _exit(0);
  }
  ASSERT_EQ(write(master, "early\rsecond\r", 13), 13);
  std::string screen;
  char chunk[4096];
  pollfd fd{master, POLLIN, 0};
  while (screen.find("]") == std::string::npos && poll(&fd, 1, 3000) > 0) {
    ssize_t n = read(master, chunk, sizeof chunk);
    if (n <= 0) break;
    screen.append(chunk, std::size_t(n));
  }
  int status = 0;
  for (int i = 0; i < 100 && waitpid(child, &status, WNOHANG) == 0; ++i) usleep(10000);
  if (waitpid(child, &status, WNOHANG) == 0) {  // still waiting for keys it lost
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
  }
  close(master);
  EXPECT_NE(screen.find("[early|second]"), std::string::npos) << screen;
}

TEST(LineEditor, TerminalIsRestoredWhenASignalEndsTheProgram) {
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    Session session = type_keys(Body::edit_line, {"abc"}, signal_number);
    EXPECT_TRUE(WIFSIGNALED(session.status));
    EXPECT_EQ(WTERMSIG(session.status), signal_number);
    EXPECT_TRUE(session.canonical_after) << "signal " << signal_number;
  }
}

}  // namespace
}  // namespace kit
