// dumpflip and capsheet run as real processes on files in a scratch folder: the bytes they
// write, their console lines, their exit status, and the failures they report.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <tuple>

#include "capture/capture.h"
#include "kit/test_support.h"

namespace {

namespace fs = std::filesystem;
using kit::testing::after_memory_report;
using kit::testing::read_file;
using kit::testing::run_tool;
using kit::testing::TempDir;
using kit::testing::write_file;
using namespace std::string_literals;

std::string random_bytes(std::size_t size, std::mt19937& random) {
  std::string bytes(size, '\0');
  for (char& b : bytes) b = char(random());
  return bytes;
}

TEST(DumpflipRun, WritesTheOtherFormBesideTheInput) {
  const std::string report_three =
      "Not hex text: 3 characters that are neither hex digits nor white space, the first at "
      "offset 3\r\n";
  struct Case {
    std::string name, content, output, expected, console;
    int status;
  } cases[] = {
      {"data.bin", "AB", "data.bi_", "4142", "Convert to HEX = data.bin\r\n", 0},
      {"data.bin", "\x00\x05\x7F\x80\xFF\r\n"s, "data.bi_", "00057F80FF0D0A",
       "Convert to HEX = data.bin\r\n", 0},
      {"empty.bin", "", "empty.bi_", "", "Convert to HEX = empty.bin\r\n", 0},
      {"abc", "\x00\xFF"s, "ab_", "00FF", "Convert to HEX = abc\r\n", 0},
      {"data.bi_", "4142", "data.bi1", "AB", "Convert from HEX - data.bi_\r\n", 0},
      {"empty.he_", "", "empty.he1", "", "Convert from HEX - empty.he_\r\n", 0},
      {"lower.he_", "ff00", "lower.he1", "\xFF\x00"s, "Convert from HEX - lower.he_\r\n", 0},
      {"odd.he_", "417", "odd.he1", "A\x07", "Convert from HEX - odd.he_\r\n", 0},
      {"___", "7", "__1", "\x07", "Convert from HEX - ___\r\n", 0},
      // An editor's final line end, or line ends every 60 characters, restore cleanly.
      {"crlf.he_", "4142\r\n", "crlf.he1", "AB", "Convert from HEX - crlf.he_\r\n", 0},
      {"lines.he_", "41\n4\n2\n", "lines.he1", "AB", "Convert from HEX - lines.he_\r\n", 0},
      {"bad.he_", "41 zz\r\n4G", "bad.he1", "A\x00\x04"s,
       "Convert from HEX - bad.he_\r\n" + report_three, 1},
      {"sign.he_", "-1", "sign.he1", "\x00"s,
       "Convert from HEX - sign.he_\r\nNot hex text: 1 character that is neither a hex digit "
       "nor white space, at offset 0\r\n",
       1},
  };
  for (const Case& c : cases) {
    TempDir dir;
    write_file(dir / c.name, c.content);
    auto run = run_tool("dumpflip", {c.name}, "", dir.path());
    EXPECT_EQ(after_memory_report(run.out),
              "exe name= dumpflip, FileName= " + c.name + "\r\n" + c.console)
        << c.name;
    EXPECT_EQ(run.err, "") << c.name;
    EXPECT_EQ(run.status, c.status) << c.name;
    EXPECT_EQ(read_file(dir / c.output), c.expected) << c.name;
    EXPECT_EQ(read_file(dir / c.name), c.content) << c.name;
  }
}

TEST(DumpflipRun, NamesWithBackslashesAndDrivesReachTheFolder) {
  TempDir dir;
  fs::create_directories(dir / "sub");
  write_file(dir / "sub/x.bin", "\x12\x34");
  auto run = run_tool("dumpflip", {"c:\\sub\\x.bin"}, "", dir.path());
  EXPECT_EQ(after_memory_report(run.out),
            "exe name= dumpflip, FileName= c:\\sub\\x.bin\r\nConvert to HEX = c:\\sub\\x.bin\r\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(read_file(dir / "sub/x.bi_"), "1234");
}

TEST(DumpflipRun, RandomFilesRoundTripAndDumpLikeXxd) {
  ASSERT_EQ(std::system("command -v xxd >/dev/null"), 0)
      << "xxd is missing: bash scripts/deps installs it";
  std::mt19937 random(55);
  std::vector<std::size_t> sizes = {1, 2, 8191, 8192, 8193, 16385, 100003};
  for (int i = 0; i < 6; ++i) sizes.push_back(random() % 50000);
  for (std::size_t size : sizes) {
    TempDir dir;
    std::string bytes = random_bytes(size, random);
    write_file(dir / "r.bin", bytes);

    auto dump = run_tool("dumpflip", {"r.bin"}, "", dir.path());
    ASSERT_EQ(dump.status, 0) << size << dump.err;
    std::string hex = read_file(dir / "r.bi_");
    EXPECT_EQ(hex.size(), 2 * size);

    std::string command = "cd '" + dir.path().string() + "' && xxd -p -u r.bin > r.xxd";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::string xxd = read_file(dir / "r.xxd");
    std::erase(xxd, '\n');
    EXPECT_TRUE(hex == xxd) << "dump of " << size << " bytes differs from xxd -p -u";

    auto restore = run_tool("dumpflip", {"r.bi_"}, "", dir.path());
    EXPECT_EQ(restore.status, 0) << size << restore.err;
    EXPECT_TRUE(read_file(dir / "r.bi1") == bytes) << "round trip of " << size << " bytes";

    // xxd's own dump, with a line end every 60 characters, restores as well.
    fs::rename(dir / "r.xxd", dir / "x.xx_");
    auto from_xxd = run_tool("dumpflip", {"x.xx_"}, "", dir.path());
    EXPECT_EQ(from_xxd.status, 0) << size;
    EXPECT_TRUE(read_file(dir / "x.xx1") == bytes) << "xxd dump of " << size << " bytes";
  }
}

std::string sheet_console(const std::string& name, const std::string& output, int lone) {
  std::string text = "exe name= capsheet, FileName= " + name + "\r\nConvert from HEX " + name +
                     "\r\nConvert 2 Excel " + output + "\r\n";
  for (int i = 0; i < lone; ++i) text += "0xA without 0xD\r\n";
  return text;
}

TEST(CapsheetRun, WritesOneSignedValueALine) {
  struct Case {
    std::string name, stream, output, expected;
    int lone_line_feeds;
  } cases[] = {
      {"cap01.bin", "\x34\x12\x3B\x0D\x0A\xFF\x00\x3B"s, "cap01.Txt", " 4660;\r\n-1;\r\n", 0},
      {"pair.bin", "\x01\x0D\x0A\x02\x3B", "pair.Txt", " 513;\r\n", 0},
      {"lone.bin", "\x05\x0A\x06\x3B\x0A", "lone.Txt", " 1541;\r\n", 2},
      {"first.bin", "\x3B\x3B", "first.Txt", " 0;\r\n 0;\r\n", 0},
      {"cr.bin", "\x0D\x01\x3B", "cr.Txt", " 269;\r\n", 0},
      {"empty.bin", "", "empty.Txt", "", 0},
      {"ends.bin", "\x80\x80\x3B\x7F\x7F\x3B\x80\x01\x3B\x11", "ends.Txt",
       "-32896;\r\n 32639;\r\n 128;\r\n", 0},
      {"abc", "\x07\x3B", "Txt", " 1792;\r\n", 0},
      {"cap.txt", "\x01\x00\x3B"s, "cap.Txt", " 1;\r\n", 0},
  };
  for (const Case& c : cases) {
    TempDir dir;
    write_file(dir / c.name, c.stream);
    auto run = run_tool("capsheet", {c.name}, "", dir.path());
    EXPECT_EQ(after_memory_report(run.out), sheet_console(c.name, c.output, c.lone_line_feeds))
        << c.name;
    EXPECT_EQ(run.err, "") << c.name;
    EXPECT_EQ(run.status, 0) << c.name;
    EXPECT_EQ(read_file(dir / c.output), c.expected) << c.name;
  }
}

TEST(CapsheetRun, SineCaptureGivesTheEncodedValues) {
  TempDir dir;
  fs::copy_file(fs::path(CAPTURE_TESTDATA) / "sine.bin", dir / "sine.bin");
  auto run = run_tool("capsheet", {"sine.bin"}, "", dir.path());
  EXPECT_EQ(after_memory_report(run.out), sheet_console("sine.bin", "sine.Txt", 1));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(read_file(dir / "sine.Txt"), read_file(fs::path(CAPTURE_TESTDATA) / "sine.Txt"));
}

TEST(CapsheetRun, LargeRandomCaptureMatchesTheByteHistory) {
  TempDir dir;
  std::mt19937 random(7);
  std::string stream = random_bytes(300000, random);
  write_file(dir / "big.bin", stream);
  auto run = run_tool("capsheet", {"big.bin"}, "", dir.path());
  EXPECT_EQ(run.status, 0);

  capture::ByteHistory history;
  std::string sheet;
  int lone = 0;
  for (char b : stream) {
    capture::Event event = history.take(std::int8_t(b));
    if (event == capture::Event::lone_line_feed) ++lone;
    if (event != capture::Event::record) continue;
    int value = history.value();
    if (value >= 0) sheet += ' ';
    sheet += std::to_string(value);
    sheet += ";\r\n";
  }
  EXPECT_GT(lone, 0);
  EXPECT_TRUE(read_file(dir / "big.Txt") == sheet);
  EXPECT_EQ(after_memory_report(run.out), sheet_console("big.bin", "big.Txt", lone));
}

// Failures: the message names the file and the reason, the status is 1, and nothing that
// already existed is emptied.
struct Failure {
  std::string tool;
  std::vector<std::string> files;  // made before the run: name, then content, pairwise
  std::string argument;
  std::string err;
  std::vector<std::string> unchanged;  // files that must keep their content
  std::vector<std::string> absent;     // files that must not exist afterwards
};

void check_failure(const Failure& f, const std::function<void(const TempDir&)>& prepare = {}) {
  TempDir dir;
  for (std::size_t i = 0; i + 1 < f.files.size(); i += 2)
    write_file(dir / f.files[i], f.files[i + 1]);
  if (prepare) prepare(dir);
  std::map<std::string, std::string> before;
  for (const std::string& name : f.unchanged) before[name] = read_file(dir / name);
  auto run = run_tool(f.tool, {f.argument}, "", dir.path());
  EXPECT_EQ(run.err, f.err) << f.tool << " " << f.argument;
  EXPECT_EQ(run.status, 1) << f.tool << " " << f.argument;
  for (const std::string& name : f.unchanged)
    EXPECT_EQ(read_file(dir / name), before[name]) << f.tool << " " << name;
  for (const std::string& name : f.absent)
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / name))) << f.tool << " " << name;
}

TEST(ConverterFailures, MissingInputCreatesAndEmptiesNothing) {
  const std::string missing = ": cannot open: No such file or directory\n";
  Failure cases[] = {
      {"dumpflip", {}, "gone.bin", "dumpflip: gone.bin" + missing, {}, {"gone.bi_"}},
      {"dumpflip",
       {"gone.bi_", "4142"},
       "gone.bin",
       "dumpflip: gone.bin" + missing,
       {"gone.bi_"},
       {}},
      {"dumpflip",
       {"gone.he1", "old"},
       "gone.he_",
       "dumpflip: gone.he_" + missing,
       {"gone.he1"},
       {}},
      {"capsheet", {}, "gone.bin", "capsheet: gone.bin" + missing, {}, {"gone.Txt"}},
      {"capsheet",
       {"gone.Txt", " 1;\r\n"},
       "gone.bin",
       "capsheet: gone.bin" + missing,
       {"gone.Txt"},
       {}},
      {"capsheet", {}, "no/such/folder.bin", "capsheet: no/such/folder.bin" + missing, {}, {}},
  };
  for (const Failure& f : cases) check_failure(f);

  // A folder is no input either.
  check_failure({"dumpflip",
                 {},
                 "dir.bin",
                 "dumpflip: dir.bin: cannot open: Is a directory\n",
                 {},
                 {"dir.bi_"}},
                [](const TempDir& dir) { fs::create_directory(dir / "dir.bin"); });
}

TEST(ConverterFailures, OutputThatCannotBeCreatedOrWritten) {
  // A folder in the output's place cannot be created as a file.
  for (const auto& [tool, input, output] :
       {std::tuple<std::string, std::string, std::string>{"dumpflip", "d.bin", "d.bi_"},
        {"dumpflip", "d.bi_", "d.bi1"},
        {"capsheet", "d.bin", "d.Txt"}}) {
    check_failure({tool,
                   {input, "41"},
                   input,
                   tool + ": " + output + ": cannot create: Is a directory\n",
                   {input},
                   {}},
                  [&](const TempDir& dir) { fs::create_directory(dir / output); });
  }
  // A full disk: the output is a link to /dev/full. Enough data to fill a buffer or two.
  std::mt19937 random(3);
  std::string bytes = random_bytes(20000, random);
  std::string hex(40000, 'A');
  for (const auto& [tool, input, content, output] :
       {std::tuple<std::string, std::string, std::string, std::string>{"dumpflip", "f.bin", bytes,
                                                                       "f.bi_"},
        {"dumpflip", "f.bi_", hex, "f.bi1"},
        {"dumpflip", "small.bin", "A", "small.bi_"},
        {"capsheet", "f.bin", std::string(20000, ';'), "f.Txt"}}) {
    check_failure({tool,
                   {input, content},
                   input,
                   tool + ": " + output + ": cannot write: No space left on device\n",
                   {input},
                   {}},
                  [&](const TempDir& dir) { fs::create_symlink("/dev/full", dir / output); });
  }
}

TEST(ConverterFailures, NeverWritesOverItsOwnInput) {
  const std::string refused =
      ": is the capture itself; its output would overwrite it, so nothing was converted "
      "(rename the capture)\n";
  const std::string capture = "\x34\x12\x3B";
  // The name already ends in Txt.
  check_failure({"capsheet",
                 {"cap.Txt", capture},
                 "cap.Txt",
                 "capsheet: cap.Txt" + refused,
                 {"cap.Txt"},
                 {}});
  // The output name is a link to the capture, symbolic or hard.
  check_failure(
      {"capsheet", {"cap.bin", capture}, "cap.bin", "capsheet: cap.Txt" + refused, {"cap.bin"}, {}},
      [](const TempDir& dir) { fs::create_symlink("cap.bin", dir / "cap.Txt"); });
  check_failure(
      {"capsheet", {"cap.bin", capture}, "cap.bin", "capsheet: cap.Txt" + refused, {"cap.bin"}, {}},
      [](const TempDir& dir) { fs::create_hard_link(dir / "cap.bin", dir / "cap.Txt"); });
  // The same for dumpflip in both directions.
  const std::string being_read = ": cannot create: it is the file being read\n";
  check_failure({"dumpflip",
                 {"data.bin", "AB"},
                 "data.bin",
                 "dumpflip: data.bi_" + being_read,
                 {"data.bin"},
                 {}},
                [](const TempDir& dir) { fs::create_symlink("data.bin", dir / "data.bi_"); });
  check_failure(
      {"dumpflip",
       {"data.bi_", "4142"},
       "data.bi_",
       "dumpflip: data.bi1" + being_read,
       {"data.bi_"},
       {}},
      [](const TempDir& dir) { fs::create_hard_link(dir / "data.bi_", dir / "data.bi1"); });
}

}  // namespace
