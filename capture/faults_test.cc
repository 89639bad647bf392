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

// Sizes of the very large inputs: past 2^32 bytes read and 2^31 bytes written. The
// sanitizer build runs the tools unoptimised and some twenty times slower; there the
// sizes only keep the run short, and the plain build covers the large offsets.
#if defined(__SANITIZE_ADDRESS__)
constexpr std::int64_t sheet_megabytes = 256;
constexpr std::int64_t dump_megabytes = 64;
#else
constexpr std::int64_t sheet_megabytes = 4096;
constexpr std::int64_t dump_megabytes = 1024;
#endif

// The two converters with an input name and the output name they derive from it.
struct Converter {
  std::string tool, input, output;
  // Input that converts cleanly: hex text for a restore, any bytes otherwise.
  std::string sample(std::size_t size) const {
    std::string bytes;
    std::string_view pattern = input.back() == '_' ? "0123456789ABCDEFabcdef" : "12;\r\nAB4f\0";
    for (std::size_t i = 0; i < size; ++i) bytes.push_back(pattern[i % pattern.size()]);
    return bytes;
  }
};
const Converter converters[] = {
    {"dumpflip", "data.bin", "data.bi_"},
    {"dumpflip", "data.bi_", "data.bi1"},
    {"capsheet", "cap.bin", "cap.Txt"},
};

// A sparse file of `size` bytes that holds `tail` at its end.
void sparse_file(const fs::path& path, std::int64_t size, std::string_view tail) {
  write_file(path, "");
  fs::resize_file(path, std::uintmax_t(size));
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  file.seekp(size - std::int64_t(tail.size()));
  file.write(tail.data(), std::streamsize(tail.size()));
}

TEST(ConverterFaults, OutputFolderThatCannotBeWritten) {
  if (!nobody_can_run("dumpflip")) GTEST_SKIP() << "user nobody cannot reach the built programs, so permissions cannot be tried as root";
  for (const Converter& c : converters) {
    SCOPED_TRACE(c.tool + " " + c.input);
    TempDir dir;
    fs::path folder = dir / "locked";
    fs::create_directory(folder);
    std::string input = c.sample(5000);
    write_file(folder / c.input, input);
    open_to_everyone(dir.path());
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    ToolRun run = Child(c.tool, {c.input}, folder, running_as_root()).finish();
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, c.tool + ": " + c.output + ": cannot create: Permission denied\n");
    EXPECT_FALSE(fs::exists(folder / c.output));
    EXPECT_EQ(read_file(folder / c.input), input);
  }
}

TEST(ConverterFaults, OutputOnAFullDisk) {
  for (const Converter& c : converters) {
    SCOPED_TRACE(c.tool + " " + c.input);
    TempDir dir;
    std::string input = c.sample(100000);
    write_file(dir / c.input, input);
    fs::create_symlink("/dev/full", dir / c.output);
    ToolRun run = Child(c.tool, {c.input}, dir.path()).finish();
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, c.tool + ": " + c.output + ": cannot write: No space left on device\n");
    EXPECT_EQ(read_file(dir / c.input), input);
  }
}

TEST(ConverterFaults, OutputFillsASmallDisk) {
  TempDir dir;
  SmallDisk disk(dir / "disk", 64 * 1024);
  if (!disk.mounted()) GTEST_SKIP() << "no small file system can be mounted here (needs root)";
  for (const Converter& c : converters) {
    SCOPED_TRACE(c.tool + " " + c.input);
    std::string input = c.sample(56000);
    write_file(dir / "disk" / c.input, input);
    ToolRun run = Child(c.tool, {c.input}, dir / "disk").finish();
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, c.tool + ": " + c.output + ": cannot write: No space left on device\n");
    EXPECT_EQ(read_file(dir / "disk" / c.input), input);
    fs::remove(dir / "disk" / c.input);
    fs::remove(dir / "disk" / c.output);
  }
}

TEST(ConverterFaults, InputThatCannotBeRead) {
  struct Case {
    std::string what, reason;
  } cases[] = {
      {"missing", "No such file or directory"},
      {"folder", "Is a directory"},
      {"unreadable", "Permission denied"},
  };
  for (const Converter& c : converters) {
    for (const Case& fault : cases) {
      SCOPED_TRACE(c.tool + " " + c.input + " " + fault.what);
      TempDir dir;
      open_to_everyone(dir.path());
      if (fault.what == "folder") fs::create_directory(dir / c.input);
      if (fault.what == "unreadable") {
        if (!nobody_can_run(c.tool)) continue;  // told by the test of the locked folder
        write_file(dir / c.input, "4142;");
        fs::permissions(dir / c.input, fs::perms::none);
      }
      write_file(dir / c.output, "kept");  // a file of the output name from before
      bool as_nobody = running_as_root() && fault.what == "unreadable";
      ToolRun run = Child(c.tool, {c.input}, dir.path(), as_nobody).finish();
      EXPECT_EQ(run.status, 1);
      EXPECT_EQ(run.err, c.tool + ": " + c.input + ": cannot open: " + fault.reason + "\n");
      EXPECT_EQ(read_file(dir / c.output), "kept");
    }
  }
}

TEST(ConverterFaults, InputShrinkingWhileRead) {
  for (const Converter& c : converters) {
    SCOPED_TRACE(c.tool + " " + c.input);
    TempDir dir;
    constexpr std::int64_t size = std::int64_t(128) << 20;
    sparse_file(dir / c.input, size, "4142;");
    Child child(c.tool, {c.input}, dir.path());
    ASSERT_TRUE(child.stop_mid_read(dir / c.input, size)) << "the tool was done before the test could cut its input";
    fs::resize_file(dir / c.input, std::uintmax_t(size / 32));
    child.resume();
    ToolRun run = child.finish();
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(c.tool + ": " + c.input + ": changed while being read: it ended after "),
              std::string::npos)
        << run.err;
  }
}

TEST(ConverterFaults, InputVanishingWhileRead) {
  // The open file stays readable after its name is gone, so the conversion is whole.
  struct Case {
    Converter c;
    std::string tail, output_tail;
    std::int64_t output_size_per_megabyte;
  } cases[] = {
      {converters[0], "AB", "4142", 2 << 20},
      {converters[2], "\x34\x12;", " 4660;\r\n", 0},
  };
  for (const Case& v : cases) {
    SCOPED_TRACE(v.c.tool);
    TempDir dir;
    constexpr std::int64_t megabytes = 64;
    sparse_file(dir / v.c.input, megabytes << 20, v.tail);
    Child child(v.c.tool, {v.c.input}, dir.path());
    ASSERT_TRUE(child.stop_mid_read(dir / v.c.input, megabytes << 20));
    fs::remove(dir / v.c.input);
    child.resume();
    ToolRun run = child.finish();
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    std::int64_t expected_size = v.output_size_per_megabyte ? v.output_size_per_megabyte * megabytes
                                                            : std::int64_t(v.output_tail.size());
    ASSERT_EQ(std::int64_t(fs::file_size(dir / v.c.output)), expected_size);
    std::ifstream output(dir / v.c.output, std::ios::binary);
    output.seekg(expected_size - std::int64_t(v.output_tail.size()));
    std::string tail(v.output_tail.size(), '\0');
    output.read(tail.data(), std::streamsize(tail.size()));
    EXPECT_EQ(tail, v.output_tail);
  }
}

TEST(ConverterFaults, CaptureOfGigabytes) {
  // Records at the start and after the gigabytes of zeros: positions past 2^31 and 2^32
  // must neither stop the reading nor change the history.
  TempDir dir;
  std::int64_t size = (sheet_megabytes << 20) + 8;
  sparse_file(dir / "cap.bin", size, std::string_view("\xff\x00;", 3));
  {
    std::fstream file(dir / "cap.bin", std::ios::in | std::ios::out | std::ios::binary);
    file.write("\x34\x12;", 3);
  }
  ToolRun run = Child("capsheet", {"cap.bin"}, dir.path()).finish(std::chrono::seconds(300));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(read_file(dir / "cap.Txt"), " 4660;\r\n-1;\r\n");
  EXPECT_EQ(std::int64_t(fs::file_size(dir / "cap.bin")), size);
}

TEST(ConverterFaults, DumpOfAGigabyte) {
  // The dump passes 2^31 bytes of output; it must be exactly "00" a zero byte and the
  // digits of the last bytes, and restoring its end must give them back.
  TempDir dir;
  std::int64_t size = (dump_megabytes << 20) + 2;
  sparse_file(dir / "big.bin", size, "AB");
  ToolRun run = Child("dumpflip", {"big.bin"}, dir.path()).finish(std::chrono::seconds(300));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  ASSERT_EQ(std::int64_t(fs::file_size(dir / "big.bi_")), 2 * size);
  std::ifstream dump(dir / "big.bi_", std::ios::binary);
  std::string chunk(1 << 20, '\0'), zeros(1 << 20, '0');
  std::int64_t left = 2 * size - 4;
  bool clean = true;
  while (left > 0 && clean) {
    std::streamsize take = std::streamsize(std::min<std::int64_t>(left, std::int64_t(chunk.size())));
    dump.read(chunk.data(), take);
    clean = dump.gcount() == take && chunk.compare(0, std::size_t(take), zeros, 0, std::size_t(take)) == 0;
    left -= take;
  }
  EXPECT_TRUE(clean) << "a byte other than '0' before offset " << 2 * size - 4 - left;
  std::string tail(4, '\0');
  dump.read(tail.data(), 4);
  EXPECT_EQ(tail, "4142");
}

}  // namespace
