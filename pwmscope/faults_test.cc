// Faults from outside, end to end on the real programs: an output folder that cannot be
// written, a full disk, an input that cannot be read, an input that shrinks or vanishes
// while it is read, and inputs of several gigabytes. In every case the tool must say
// what went wrong on standard error, end with status 1 (or do the whole job and end with
// 0), leave its input as it was, and end by itself.
#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "kit/test_faults.h"
#include "kit/test_support.h"

namespace fs = std::filesystem;

namespace {

using kit::testing::read_file;
using kit::testing::TempDir;
using kit::testing::ToolRun;
using kit::testing::write_file;

using kit::testing::Child;
using kit::testing::nobody_can_run;
using kit::testing::open_to_everyone;
using kit::testing::running_as_root;
using kit::testing::SmallDisk;

// The sanitizer build runs pwmscope unoptimised and some fifteen times slower: there the
// long line and the capture removed while read are shorter, to keep each test short.
#if defined(__SANITIZE_ADDRESS__)
constexpr std::size_t long_line_bytes = 16'000'000;
constexpr std::size_t vanishing_lines = 50'000;
#else
constexpr std::size_t long_line_bytes = 100'000'000;
constexpr std::size_t vanishing_lines = 200'000;
#endif

// Capture lines with every traced tag, as the firmware sends them.
std::string capture_lines(std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += "#0001~0100=0400*8000+6000$0FEB\r\n";
  return text;
}

TEST(SnapshotFaults, PictureFolderThatCannotBeWritten) {
  if (!nobody_can_run("pwmscope")) GTEST_SKIP() << "user nobody cannot reach the built programs, so permissions cannot be tried as root";
  TempDir dir;
  fs::create_directory(dir / "locked");
  std::string capture = capture_lines(100);
  write_file(dir / "cap.txt", capture);
  open_to_everyone(dir.path());
  fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                      fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  ToolRun run =
      Child("pwmscope", {"--snapshot", "locked/out.png", "cap.txt"}, dir.path(), running_as_root()).finish();
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "pwmscope: locked/out.png: cannot create: Permission denied\n");
  EXPECT_FALSE(fs::exists(dir / "locked" / "out.png"));
  EXPECT_EQ(read_file(dir / "cap.txt"), capture);
}

TEST(SnapshotFaults, PictureOnAFullDisk) {
  TempDir dir;
  std::string capture = capture_lines(100);
  write_file(dir / "cap.txt", capture);
  fs::create_symlink("/dev/full", dir / "out.png");
  ToolRun run = Child("pwmscope", {"--snapshot", "out.png", "cap.txt"}, dir.path()).finish();
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "pwmscope: out.png: cannot write: No space left on device\n");
  EXPECT_EQ(read_file(dir / "cap.txt"), capture);
}

TEST(SnapshotFaults, CaptureThatCannotBeRead) {
  struct Case {
    std::string what, reason;
  } cases[] = {
      {"missing", "No such file or directory"},
      {"folder", "Is a directory"},
      {"unreadable", "Permission denied"},
  };
  for (const Case& fault : cases) {
    SCOPED_TRACE(fault.what);
    TempDir dir;
    open_to_everyone(dir.path());
    if (fault.what == "folder") fs::create_directory(dir / "cap.txt");
    if (fault.what == "unreadable") {
      if (!nobody_can_run("pwmscope")) continue;  // told by the test of the locked folder
      write_file(dir / "cap.txt", capture_lines(3));
      fs::permissions(dir / "cap.txt", fs::perms::none);
    }
    write_file(dir / "out.png", "kept");  // a picture of that name from before
    bool as_nobody = running_as_root() && fault.what == "unreadable";
    ToolRun run = Child("pwmscope", {"--snapshot", "out.png", "cap.txt"}, dir.path(), as_nobody).finish();
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "pwmscope: cap.txt: cannot open: " + fault.reason + "\n");
    EXPECT_EQ(read_file(dir / "out.png"), "kept");
  }
}

TEST(SnapshotFaults, CaptureShrinkingWhileRead) {
  TempDir dir;
  std::string capture = capture_lines(1'000'000);  // 32 MB
  write_file(dir / "cap.txt", capture);
  std::int64_t size = std::int64_t(capture.size());
  Child child("pwmscope", {"--snapshot", "out.png", "cap.txt"}, dir.path());
  ASSERT_TRUE(child.stop_mid_read(dir / "cap.txt", size)) << "the tool was done before the test could cut its capture";
  fs::resize_file(dir / "cap.txt", std::uintmax_t(size / 32));
  child.resume();
  ToolRun run = child.finish();
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("pwmscope: cap.txt: changed while being read: it ended after "), std::string::npos)
      << run.err;
}

TEST(SnapshotFaults, CaptureVanishingWhileRead) {
  // The open file stays readable after its name is gone, so the picture is whole.
  TempDir dir;
  std::string capture = capture_lines(vanishing_lines);
  write_file(dir / "cap.txt", capture);
  fs::create_directory(dir / "reference");
  write_file(dir / "reference" / "cap.txt", capture);
  ASSERT_EQ(Child("pwmscope", {"--snapshot", "out.png", "cap.txt"}, dir / "reference").finish().status, 0);
  Child child("pwmscope", {"--snapshot", "out.png", "cap.txt"}, dir.path());
  ASSERT_TRUE(child.stop_mid_read(dir / "cap.txt", std::int64_t(capture.size())));
  fs::remove(dir / "cap.txt");
  child.resume();
  ToolRun run = child.finish();
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(read_file(dir / "out.png") == read_file(dir / "reference" / "out.png"));
}

TEST(SnapshotFaults, OneVeryLongLine) {
  // Items stop at 4096 characters, so one long line replays as its 4096-character
  // pieces would one a line: the pictures must be the same.
  std::string fields = "#0001~0100=0400*8000+6000$0FEB";
  std::string line;
  while (line.size() < long_line_bytes) line += fields;
  // The picture shows the capture's name: both go by the same name in folders of their own.
  TempDir dir;
  fs::create_directory(dir / "long");
  fs::create_directory(dir / "pieces");
  write_file(dir / "long" / "cap.txt", line + "\r\n");
  std::string pieces;
  for (std::size_t at = 0; at < line.size(); at += 4096) pieces += line.substr(at, 4096) + "\r\n";
  write_file(dir / "pieces" / "cap.txt", pieces);

  ToolRun run = Child("pwmscope", {"--snapshot", "out.png", "cap.txt"}, dir / "long").finish();
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  ASSERT_EQ(Child("pwmscope", {"--snapshot", "out.png", "cap.txt"}, dir / "pieces").finish().status, 0);
  EXPECT_TRUE(read_file(dir / "long" / "out.png") == read_file(dir / "pieces" / "out.png"));
  EXPECT_GT(read_file(dir / "long" / "out.png").size(), 1000u);
}

}  // namespace
