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

// The two listing tools with the name of their output for the listing "listing.txt".
struct ListingTool {
  std::string tool, output;
};
const ListingTool tools[] = {{"branchscan", "listing.War"}, {"unlister", "listing.ASM"}};

// Listing lines that both tools write out: branchscan warns about every one (a BRA far
// from its target), unlister turns every one into an instruction line.
std::string listing_lines(std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += "  0005   0006 D0FC     BRA 0x0800\r\n";
  return text;
}

TEST(ListingFaults, OutputFolderThatCannotBeWritten) {
  if (!nobody_can_run("branchscan")) GTEST_SKIP() << "user nobody cannot reach the built programs, so permissions cannot be tried as root";
  for (const ListingTool& t : tools) {
    SCOPED_TRACE(t.tool);
    TempDir dir;
    fs::path folder = dir / "locked";
    fs::create_directory(folder);
    std::string listing = listing_lines(100);
    write_file(folder / "listing.txt", listing);
    open_to_everyone(dir.path());
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    ToolRun run = Child(t.tool, {"listing.txt"}, folder, running_as_root()).finish();
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, t.tool + ": " + t.output + ": cannot create: Permission denied\n");
    EXPECT_FALSE(fs::exists(folder / t.output));
    EXPECT_EQ(read_file(folder / "listing.txt"), listing);
  }
}

TEST(ListingFaults, OutputOnAFullDisk) {
  for (const ListingTool& t : tools) {
    SCOPED_TRACE(t.tool);
    TempDir dir;
    std::string listing = listing_lines(3000);
    write_file(dir / "listing.txt", listing);
    fs::create_symlink("/dev/full", dir / t.output);
    ToolRun run = Child(t.tool, {"listing.txt"}, dir.path()).finish();
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, t.tool + ": " + t.output + ": cannot write: No space left on device\n");
    EXPECT_EQ(read_file(dir / "listing.txt"), listing);
  }
}

TEST(ListingFaults, OutputFillsASmallDisk) {
  TempDir dir;
  SmallDisk disk(dir / "disk", 64 * 1024);
  if (!disk.mounted()) GTEST_SKIP() << "no small file system can be mounted here (needs root)";
  for (const ListingTool& t : tools) {
    SCOPED_TRACE(t.tool);
    std::string listing = listing_lines(1500);  // 52500 bytes, and more to write
    write_file(dir / "disk" / "listing.txt", listing);
    ToolRun run = Child(t.tool, {"listing.txt"}, dir / "disk").finish();
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, t.tool + ": " + t.output + ": cannot write: No space left on device\n");
    EXPECT_EQ(read_file(dir / "disk" / "listing.txt"), listing);
    fs::remove(dir / "disk" / "listing.txt");
    fs::remove(dir / "disk" / t.output);
  }
}

TEST(ListingFaults, ListingThatCannotBeRead) {
  struct Case {
    std::string what, reason;
  } cases[] = {
      {"missing", "No such file or directory"},
      {"folder", "Is a directory"},
      {"unreadable", "Permission denied"},
  };
  for (const ListingTool& t : tools) {
    for (const Case& fault : cases) {
      SCOPED_TRACE(t.tool + " " + fault.what);
      TempDir dir;
      open_to_everyone(dir.path());
      if (fault.what == "folder") fs::create_directory(dir / "listing.txt");
      if (fault.what == "unreadable") {
        if (!nobody_can_run(t.tool)) continue;  // told by the test of the locked folder
        write_file(dir / "listing.txt", listing_lines(3));
        fs::permissions(dir / "listing.txt", fs::perms::none);
      }
      write_file(dir / t.output, "kept");  // a file of the output name from before
      bool as_nobody = running_as_root() && fault.what == "unreadable";
      ToolRun run = Child(t.tool, {"listing.txt"}, dir.path(), as_nobody).finish();
      EXPECT_EQ(run.status, 1);
      EXPECT_EQ(run.err, t.tool + ": listing.txt: cannot open: " + fault.reason + "\n");
      EXPECT_EQ(read_file(dir / t.output), "kept");
    }
  }
}

TEST(ListingFaults, ListingShrinkingWhileRead) {
  for (const ListingTool& t : tools) {
    SCOPED_TRACE(t.tool);
    TempDir dir;
    std::string listing = listing_lines(1'000'000);  // 35 MB
    write_file(dir / "listing.txt", listing);
    std::int64_t size = std::int64_t(listing.size());
    Child child(t.tool, {"listing.txt"}, dir.path());
    ASSERT_TRUE(child.stop_mid_read(dir / "listing.txt", size)) << "the tool was done before the test could cut its listing";
    fs::resize_file(dir / "listing.txt", std::uintmax_t(size / 32));
    child.resume();
    ToolRun run = child.finish();
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(t.tool + ": listing.txt: changed while being read: it ended after "),
              std::string::npos)
        << run.err;
  }
}

TEST(ListingFaults, ListingVanishingWhileRead) {
  // The open file stays readable after its name is gone, so the output is whole.
  for (const ListingTool& t : tools) {
    SCOPED_TRACE(t.tool);
    TempDir dir;
    std::string listing = listing_lines(200'000);
    write_file(dir / "listing.txt", listing);
    fs::create_directory(dir / "reference");
    write_file(dir / "reference" / "listing.txt", listing);
    ToolRun reference = Child(t.tool, {"listing.txt"}, dir / "reference").finish();
    ASSERT_EQ(reference.status, 0);
    Child child(t.tool, {"listing.txt"}, dir.path());
    ASSERT_TRUE(child.stop_mid_read(dir / "listing.txt", std::int64_t(listing.size())));
    fs::remove(dir / "listing.txt");
    child.resume();
    ToolRun run = child.finish();
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(read_file(dir / t.output) == read_file(dir / "reference" / t.output));
  }
}

TEST(ListingFaults, OneLineOfAHundredMegabytes) {
  // A BRA whose target digits run into 100 MB of other characters: one line, read whole.
  std::string head = "  0005   0006 D0FC     BRA 0x0800";
  std::string line = head;
  line.append(100'000'000, 'x');
  TempDir dir;
  write_file(dir / "listing.txt", line + "\r\n");

  ToolRun scan = Child("branchscan", {"listing.txt"}, dir.path()).finish();
  EXPECT_EQ(scan.status, 0);
  EXPECT_EQ(scan.err, "");
  std::string report = read_file(dir / "listing.War");
  EXPECT_TRUE(report == line + "\r\nStr=  0005, LenBra= 2042\r\nStrings= 1, Warnings= 1\r\n")
      << report.size() << " bytes, ending " << report.substr(report.size() - std::min<std::size_t>(report.size(), 60));
  std::string echo(1, ' ');
  echo += std::to_string(line.size());
  echo.append(line);
  EXPECT_NE(scan.out.find(echo), std::string::npos);

  ToolRun unlist = Child("unlister", {"listing.txt"}, dir.path()).finish();
  EXPECT_EQ(unlist.status, 0);
  EXPECT_EQ(unlist.err, "");
  std::string source = read_file(dir / "listing.ASM");
  EXPECT_TRUE(source ==
              "\tLIST P=18F4550\t;directive to define processor\r\n"
              "\t#include <P18F4550.INC> ;processor specific variable definitions\r\n; " + line + "\r\n")
      << source.size() << " bytes";
}

}  // namespace
