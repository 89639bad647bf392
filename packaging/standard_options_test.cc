// --help, -h and --version as the only argument, on the real programs: the answer on
// standard output, status 0, and nothing else: no preamble, no file, no closing wait.
// Any other argument, a file really named "--help" reached as "./--help" included, is
// left to the tool.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "kit/test_support.h"

extern char** environ;

namespace {

using kit::testing::after_memory_report;
using kit::testing::read_file;
using kit::testing::run_tool;
using kit::testing::TempDir;
using kit::testing::tool_path;
using kit::testing::write_file;

const char* const tools[] = {"steptab2", "steptab3", "branchscan", "unlister",
                             "dumpflip", "capsheet", "pwmscope"};

struct Answer {
  std::string out, err;
  int status = -1;
  off_t input_read = -1;  // bytes the program took from its standard input
};

// Runs a tool in `dir` with one argument. Its standard input is a regular file of
// answers that would carry it through every question and wait; since the child shares
// the open file with us, the offset afterwards tells how much of it the tool read.
Answer answer_option(const char* tool, const std::string& option, const TempDir& dir) {
  TempDir side;
  write_file(side / "answers", "10000\n3000\n\n\n\n");
  int input = open((side / "answers").c_str(), O_RDONLY);
  EXPECT_GE(input, 0);
  const std::filesystem::path out = side / "out", err = side / "err";

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, input, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addchdir_np(&actions, dir.path().c_str());
  std::string path = tool_path(tool);
  std::string argv0 = tool, argv1 = option;
  char* argv[] = {argv0.data(), argv1.data(), nullptr};
  pid_t pid = 0;
  int rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  EXPECT_EQ(rc, 0) << "cannot start " << path;

  Answer answer;
  int wstatus = 0;
  if (rc == 0 && waitpid(pid, &wstatus, 0) == pid)
    answer.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  answer.input_read = lseek(input, 0, SEEK_CUR);
  close(input);
  answer.out = read_file(out);
  answer.err = read_file(err);
  return answer;
}

TEST(StandardOptions, HelpAndVersionAnswerAndEnd) {
  for (const char* tool : tools) {
    const std::string version = std::string(tool) + " (PIC18 firmware tool kit) " KIT_VERSION "\n";
    for (std::string option : {"--help", "-h", "--version"}) {
      SCOPED_TRACE(std::string(tool) + " " + option);
      TempDir dir;
      Answer answer = answer_option(tool, option, dir);
      if (answer.status < 0) continue;  // not built: answer_option has said so
      EXPECT_EQ(answer.status, 0);
      EXPECT_EQ(answer.err, "");
      EXPECT_EQ(answer.input_read, 0) << "the tool read its standard input (a question or wait)";
      EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << "the tool wrote a file";
      if (option == "--version") {
        EXPECT_EQ(answer.out, version);
        continue;
      }
      // A short usage in plain lines, naming the tool first.
      EXPECT_EQ(answer.out.rfind("Usage: " + std::string(tool), 0), 0u) << answer.out;
      EXPECT_TRUE(answer.out.ends_with('\n')) << answer.out;
      EXPECT_EQ(answer.out.find('\r'), std::string::npos) << "CR in the usage text";
      EXPECT_EQ(answer.out.find("Free memory"), std::string::npos) << answer.out;
      EXPECT_LE(std::count(answer.out.begin(), answer.out.end(), '\n'), 24) << answer.out;
    }
  }
}

// The probe itself: a generator given an argument that is no option asks its two
// questions and waits, and the offset shows that it read its answers.
TEST(StandardOptions, TheProbeSeesAToolThatAsks) {
  TempDir dir;
  Answer answer = answer_option("steptab2", "--helpful", dir);
  EXPECT_EQ(answer.status, 0) << answer.err;
  EXPECT_GT(answer.input_read, 0);
  EXPECT_TRUE(std::filesystem::exists(dir / "s2.inc"));
}

TEST(StandardOptions, HelpAndShortHelpAgree) {
  for (const char* tool : tools) {
    TempDir dir;
    EXPECT_EQ(answer_option(tool, "--help", dir).out, answer_option(tool, "-h", dir).out) << tool;
  }
}

// Only the exact words as the only argument answer; anything else is a file name.
TEST(StandardOptions, OtherArgumentsAreFileNames) {
  struct Case {
    std::vector<std::string> args;
    std::string echoed;  // the argument as the preamble echoes it
  } cases[] = {
      {{"--help", "x.bin"}, "--help"}, {{"--version", "--help"}, "--version"},
      {{"--Help"}, "--Help"},          {{"-help"}, "-help"},
      {{"--versions"}, "--versions"},  {{"--h"}, "--h"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0]);
    TempDir dir;
    auto run = run_tool("capsheet", c.args, "", dir.path());
    std::string rest = after_memory_report(run.out);
    EXPECT_EQ(rest.rfind("exe name= capsheet, FileName= " + c.echoed + "\r\n", 0), 0u) << rest;
    // No such capture here: the tool says so on standard error and ends with status 1.
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(c.echoed), std::string::npos) << run.err;
  }
}

TEST(StandardOptions, AFileNamedLikeAnOptionIsReachedWithItsFolder) {
  TempDir dir;
  write_file(dir / "--help", "AB");
  auto run = run_tool("dumpflip", {"./--help"}, "", dir.path());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(after_memory_report(run.out).find("Convert to HEX = ./--help\r\n"), std::string::npos);
  EXPECT_EQ(read_file(dir / "--hel_"), "4142");
}

TEST(StandardOptions, GeneratorsIgnoreOtherArguments) {
  TempDir dir;
  auto run = run_tool("steptab2", {"--verbose"}, "10000\n3000\n", dir.path());
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(read_file(dir / "s2.inc").rfind("; MAX Delta= 328.9650196078431, ", 0), 0u);
}

}  // namespace
