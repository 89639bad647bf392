// steptab2 and steptab3 run as real programs: answers on standard input (a pipe, so no
// prompt is shown), console text and include files compared byte for byte with the
// files in testdata/, and one dialogue on a real terminal.

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>

#include "kit/test_support.h"

namespace {

using kit::testing::read_file;
using kit::testing::run_tool;
using kit::testing::TempDir;

std::string fixture(const std::string& name) {
  std::filesystem::path path = std::filesystem::path(STEPTAB_TESTDATA) / name;
  EXPECT_TRUE(std::filesystem::exists(path)) << path;
  return read_file(path);
}

std::set<std::string> files_in(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

const std::vector<std::string> steptab3_files = {"s3.inc", "S_100.inc", "S_200.inc", "S_400.inc",
                                                 "S_800.inc"};

std::vector<std::string> files_of(const std::string& tool) {
  return tool == "steptab2" ? std::vector<std::string>{"s2.inc"} : steptab3_files;
}

TEST(StepTabRun, ConsoleAndFilesAsExpected) {
  struct Case {
    std::string tool;
    std::string input;
    std::string expected;  // prefix of the fixtures: PREFIX.console, PREFIX.s2.inc, ...
  };
  const Case cases[] = {
      {"steptab2", "10000\n3000\n\n", "worked2"},
      {"steptab3", "10000\n3000\n\n", "worked3"},
      // The same answers typed in other ways.
      {"steptab2", "&H2710\n3000\n\n", "worked2"},
      {"steptab2", "1d4\n3000\n\n", "worked2"},
      {"steptab2", "  10000  \n3e3\n", "worked2"},
      {"steptab2", "10000,3000\n", "worked2"},
      {"steptab3", "&h2710\r\n3000\r\nanything\r\n", "worked3"},
      // A maximum speed of 0 (typed, or not a number): every step gets the prime 0.
      {"steptab2", "10000\n0\n\n", "rpm0"},
      {"steptab2", "10000\nfast\n\n", "rpm0"},
      // A frequency of 0: infinite figures and no table lines at all.
      {"steptab3", "0\n3000\n\n", "freq0"},
      {"steptab3", "\n3000\n", "freq0"},
      {"steptab2", "0\n0\n\n", "both0"},
      {"steptab2", "", "both0"},
      // A fractional frequency, where only 64-bit arithmetic gets max delta's last digit.
      {"steptab2", "3333.3\n3000\n\n", "fraction"},
      // Step targets beyond the last kept prime of steptab2 but not of steptab3.
      {"steptab2", "10000\n500000\n\n", "fast2"},
      {"steptab3", "10000\n500000\n\n", "fast3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tool + " with input \"" + c.input + "\"");
    TempDir dir;
    kit::testing::ToolRun run = run_tool(c.tool, {}, c.input, dir.path());
    EXPECT_EQ(0, run.status);
    EXPECT_EQ("", run.err);
    EXPECT_EQ(fixture(c.expected + ".console"), run.out);
    std::vector<std::string> names = files_of(c.tool);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), files_in(dir.path()));
    for (const std::string& name : names) {
      EXPECT_EQ(fixture(c.expected + "." + name), read_file(dir / name)) << name;
    }
  }
}

// Both programs write the same table file for the same answers, as long as no step needs
// a prime beyond the short list.
TEST(StepTabRun, TableFilesOfBothProgramsAgree) {
  TempDir dir;
  ASSERT_EQ(0, run_tool("steptab2", {}, "12345\n2000\n", dir.path()).status);
  ASSERT_EQ(0, run_tool("steptab3", {}, "12345\n2000\n", dir.path()).status);
  std::string s2 = read_file(dir / "s2.inc");
  EXPECT_EQ(1 + 256 + 1 + 256, std::count(s2.begin(), s2.end(), '\n'));
  EXPECT_EQ(s2, read_file(dir / "s3.inc"));
}

TEST(StepTabRun, OldFilesAreReplacedAndArgumentsIgnored) {
  TempDir dir;
  kit::testing::write_file(dir / "s2.inc", std::string(100000, 'x'));
  kit::testing::ToolRun run = run_tool("steptab2", {"other.inc"}, "10000\n3000\n", dir.path());
  EXPECT_EQ(0, run.status);
  EXPECT_EQ(fixture("worked2.console"), run.out);
  EXPECT_EQ(fixture("worked2.s2.inc"), read_file(dir / "s2.inc"));
  EXPECT_FALSE(std::filesystem::exists(dir / "other.inc"));
}

// A file that cannot be created and one whose writes fail are both reported with the
// system's reason; the other files are still written, the console text is unchanged, and
// the program ends with status 1.
TEST(StepTabRun, OutputFailuresAreReportedAndTheRunGoesOn) {
  TempDir dir;
  std::filesystem::create_symlink("/dev/full", dir / "s3.inc");
  std::filesystem::create_directory(dir / "S_200.inc");
  kit::testing::ToolRun run = run_tool("steptab3", {}, "10000\n3000\n\n", dir.path());
  EXPECT_EQ(1, run.status);
  EXPECT_EQ(fixture("worked3.console"), run.out);
  EXPECT_EQ(std::string("steptab3: c:\\s3.inc: cannot write: ") + std::strerror(ENOSPC) +
                "\nsteptab3: c:\\S_200.inc: cannot create: " + std::strerror(EISDIR) + "\n",
            run.err);
  for (const char* name : {"S_100.inc", "S_400.inc", "S_800.inc"}) {
    EXPECT_EQ(fixture(std::string("worked3.") + name), read_file(dir / name)) << name;
  }
  EXPECT_TRUE(std::filesystem::is_directory(dir / "S_200.inc"));
}

TEST(StepTabRun, HelpAndVersionWriteNoFiles) {
  for (const char* tool : {"steptab2", "steptab3"}) {
    TempDir dir;
    kit::testing::ToolRun help = run_tool(tool, {"--help"}, "", dir.path());
    EXPECT_EQ(0, help.status);
    EXPECT_EQ(0u, help.out.find(std::string("Usage: ") + tool + "\n")) << help.out;
    kit::testing::ToolRun version = run_tool(tool, {"--version"}, "", dir.path());
    EXPECT_EQ(0, version.status);
    EXPECT_EQ(0u, version.out.find(std::string(tool) + " ")) << version.out;
    EXPECT_TRUE(files_in(dir.path()).empty());
  }
}

// On a terminal the prompts and the closing message are shown and the answers are typed
// with the line editor.
TEST(StepTabRun, DialogueOnATerminal) {
  TempDir dir;
  std::string tool = kit::testing::tool_path("steptab2");
  struct winsize size = {24, 80, 0, 0};
  int master = -1;
  pid_t child = forkpty(&master, nullptr, nullptr, &size);
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (chdir(dir.path().c_str()) != 0) _exit(126);
    execl(tool.c_str(), "steptab2", static_cast<char*>(nullptr));
    _exit(127);
  }
  std::string screen;
  // Reads what the program shows until `text` has appeared (or it stops showing more).
  auto read_until = [&](const std::string& text) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (screen.find(text) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      pollfd fd{master, POLLIN, 0};
      if (poll(&fd, 1, 100) <= 0) continue;
      char chunk[4096];
      ssize_t n = read(master, chunk, sizeof chunk);
      if (n <= 0) break;
      screen.append(chunk, std::size_t(n));
    }
    return screen.find(text) != std::string::npos;
  };
  EXPECT_TRUE(read_until("Interrupt Freq, Hz:? "));
  EXPECT_EQ(3, write(master, "1d4", 3));
  EXPECT_EQ(1, write(master, "\r", 1));
  EXPECT_TRUE(read_until("Maximum RPM:? "));
  EXPECT_EQ(5, write(master, "3000\r", 5));
  EXPECT_TRUE(read_until("Output data in c:\\s2.inc, End Prog, Any Key 2 Exit"));
  EXPECT_EQ(1, write(master, "\r", 1));
  // The program ends after the closing wait; its end closes the terminal's other side.
  read_until(std::string(1, '\0'));
  int status = -1;
  bool ended = false;
  for (int i = 0; i < 1000 && !ended; ++i) {
    ended = waitpid(child, &status, WNOHANG) == child;
    if (!ended) usleep(10000);
  }
  if (!ended) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    ADD_FAILURE() << "steptab2 did not end after the closing wait";
  }
  close(master);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  // The typed answers follow their prompts (the line editor redraws as it goes, with
  // cursor moves in between); each answer ends its line.
  std::string shown;
  for (char c : screen) {
    if (c != '\r') shown += c;
  }
  std::size_t at = 0;
  for (const char* part :
       {"Interrupt Freq, Hz:? ", "1d4\n", "Maximum RPM:? ", "3000\n", " 1677.7216     10000\n",
        " 328.9650196078431           1.285019607843137\n", " 5001\n",
        "Output data in c:\\s2.inc, End Prog, Any Key 2 Exit"}) {
    std::size_t found = shown.find(part, at);
    EXPECT_NE(std::string::npos, found) << "missing in order: " << part << "\nin:\n" << shown;
    if (found != std::string::npos) at = found + std::strlen(part);
  }
  EXPECT_EQ(fixture("worked2.s2.inc"), read_file(dir / "s2.inc"));
}

}  // namespace
