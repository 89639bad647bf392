#include <unistd.h>

#include <gtest/gtest.h>

#include "kit/console.h"
#include "kit/files.h"
#include "kit/test_support.h"

namespace kit {
namespace {

using testing::TempDir;
using testing::write_file;
using testing::read_file;

// Every line of a file read in input mode, and whether at_end held after the last one.
std::vector<std::string> lines_of(const std::string& bytes) {
  TempDir dir;
  write_file(dir / "f", bytes);
  EXPECT_EQ(file_open((dir / "f").string(), FileMode::input, 1), status_ok);
  std::vector<std::string> lines;
  while (!at_end(1)) {
    std::string line;
    EXPECT_EQ(read_line(1, line), status_ok);
    lines.push_back(line);
    if (lines.size() > 100) break;
  }
  file_close(1);
  return lines;
}

using Lines = std::vector<std::string>;

TEST(TextMode, LinesAndTheEndTest) {
  struct Case {
    std::string bytes;
    Lines lines;
  } cases[] = {
      {"A\r\nB", {"A", "B"}},
      {"A\r\n", {"A"}},
      {"", {}},
      {"A\rB\n", {"A\rB"}},
      {"A\r\r\n", {"A"}},
      {"A\r\r\r\n", {"A\r"}},
      {"A\n\x1a" "B\n", {"A"}},
      {"A\x1a", {"A"}},
      {"\x1a" "A\n", {}},
      {"A\r", {"A"}},
      {"\n\n\nx", {"", "", "", "x"}},
      {"A\n\r", {"A", ""}},
      {std::string("a\0b\n", 4), {std::string("a\0b", 3)}},
      {"\r\n", {""}},
  };
  for (const Case& c : cases) EXPECT_EQ(lines_of(c.bytes), c.lines) << c.bytes;
}

TEST(TextMode, LongLinesAcrossManyBuffers) {
  std::string big(3 * 1024 * 1024 + 17, 'x');
  big[8191] = '\r';  // a CR LF pair split over two buffer fills
  std::string bytes = big + "\r\n" + std::string(8191, 'y') + "\r";
  bytes[8192] = '\n';
  Lines lines = lines_of(bytes);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], std::string(8191, 'x'));
  EXPECT_EQ(lines[1].size(), big.size() - 8193);
  EXPECT_EQ(lines[2], std::string(8191, 'y'));
}

TEST(TextMode, MissingFileReadsNothingAndIsRecorded) {
  take_file_failures();
  EXPECT_EQ(file_open("no/such/file.txt", FileMode::input, 1), status_cannot_open);
  EXPECT_TRUE(at_end(1));
  std::string line = "old";
  EXPECT_EQ(read_line(1, line), status_bad_call);
  EXPECT_EQ(line, "old");
  auto failures = take_file_failures();
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].name, "no/such/file.txt");
  EXPECT_EQ(failures[0].message, "cannot open: No such file or directory");
}

TEST(TextMode, FolderIsRefused) {
  TempDir dir;
  EXPECT_EQ(file_open(dir.path().string(), FileMode::input, 1), status_cannot_open);
  EXPECT_EQ(take_file_failures().back().message, "cannot open: Is a directory");
}

TEST(TextMode, ItemsFromAFile) {
  TempDir dir;
  write_file(dir / "cap", "%0800=0000,*8000\r\n  \"a, b\" c\r\n\r\nlast");
  ASSERT_EQ(file_open((dir / "cap").string(), FileMode::input, 1), status_ok);
  Lines items;
  while (!at_end(1)) items.push_back(read_item(1));
  file_close(1);
  EXPECT_EQ(items, (Lines{"%0800=0000", "*8000", "a, b", "c", "", "last"}));

  // A CR ends an item and takes the line end after it along, also a raw CR LF.
  write_file(dir / "crs", "A\r\r\nB\r\rC");
  ASSERT_EQ(file_open((dir / "crs").string(), FileMode::input, 1), status_ok);
  items.clear();
  while (!at_end(1)) items.push_back(read_item(1));
  file_close(1);
  EXPECT_EQ(items, (Lines{"A", "B", "", "C"}));
}

TEST(BinaryMode, ReadsStopAtTheSizeAtOpen) {
  TempDir dir;
  write_file(dir / "three", "abc");
  write_file(dir / "empty", "");
  write_file(dir / "five", "12345");

  ASSERT_EQ(file_open((dir / "empty").string(), FileMode::binary, 1), status_ok);
  EXPECT_TRUE(at_end(1));
  file_close(1);

  ASSERT_EQ(file_open((dir / "three").string(), FileMode::binary, 1), status_ok);
  EXPECT_EQ(size_at_open(1), 3);
  std::string seen;
  while (!at_end(1)) {
    unsigned char byte = 0;
    EXPECT_EQ(get_bytes(1, 0, &byte, 1), status_ok);
    seen.push_back(char(byte));
  }
  EXPECT_EQ(seen, "abc");
  file_close(1);

  ASSERT_EQ(file_open((dir / "five").string(), FileMode::binary, 1), status_ok);
  Lines fields;
  while (!at_end(1)) {
    char field[3] = {'?', '?', '?'};
    EXPECT_EQ(get_fixed_text(1, 0, field, 3), status_ok);
    fields.emplace_back(field);
  }
  EXPECT_EQ(fields, (Lines{"12", "34", "5"}));
  file_close(1);

  ASSERT_EQ(file_open((dir / "five").string(), FileMode::binary, 1), status_ok);
  unsigned char four[4] = {9, 9, 9, 9};
  EXPECT_EQ(get_bytes(1, 5, four, 4), status_ok);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(four), 4), std::string("5\0\0\0", 4));
  EXPECT_TRUE(at_end(1));
  file_close(1);

  unsigned char kept = 7;
  EXPECT_EQ(get_bytes(1, 0, &kept, 1), status_bad_call);
  EXPECT_EQ(kept, 7);
}

TEST(BinaryMode, ZeroByteEndsAFixedTextEarly) {
  TempDir dir;
  write_file(dir / "z", std::string("\0A", 2));
  ASSERT_EQ(file_open((dir / "z").string(), FileMode::binary, 1), status_ok);
  char field[3];
  get_fixed_text(1, 0, field, 3);
  EXPECT_EQ(std::string(field), "");
  file_close(1);
}

TEST(BinaryMode, AFileCutWhileBeingReadEndsTheLoop) {
  TempDir dir;
  write_file(dir / "cut", std::string(20000, 'x'));
  take_file_failures();
  ASSERT_EQ(file_open((dir / "cut").string(), FileMode::binary, 1), status_ok);
  ASSERT_EQ(truncate((dir / "cut").c_str(), 100), 0);
  std::int64_t reads = 0;
  while (!at_end(1) && reads < 100000) {
    unsigned char byte;
    get_bytes(1, 0, &byte, 1);
    ++reads;
  }
  file_close(1);
  EXPECT_LT(reads, 20000);
  auto failures = take_file_failures();
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_NE(failures[0].message.find("changed while being read"), std::string::npos);
}

TEST(TextMode, AFileCutWhileBeingReadIsRecorded) {
  TempDir dir;
  std::string lines;
  for (int i = 0; i < 5000; ++i) lines += "line " + std::to_string(i) + "\r\n";
  write_file(dir / "cut", lines);
  take_file_failures();
  ASSERT_EQ(file_open((dir / "cut").string(), FileMode::input, 1), status_ok);
  ASSERT_EQ(truncate((dir / "cut").c_str(), 100), 0);
  int count = 0;
  std::string line;
  while (!at_end(1)) read_line(1, line), ++count;
  file_close(1);
  EXPECT_LT(count, 5000);
  auto failures = take_file_failures();
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_NE(failures[0].message.find("changed while being read"), std::string::npos);
}

TEST(OutputMode, CreatesEmptiesAndRefusesTheFileBeingRead) {
  TempDir dir;
  write_file(dir / "data.txt", "keep me");
  write_file(dir / "old.txt", "old");
  ASSERT_EQ(file_open((dir / "old.txt").string(), FileMode::output, 2), status_ok);
  EXPECT_EQ(file_open((dir / "old.txt").string(), FileMode::output, 2), status_bad_call);
  file_close(2);
  EXPECT_EQ(read_file(dir / "old.txt"), "");

  ASSERT_EQ(symlink("data.txt", (dir / "link.txt").c_str()), 0);
  take_file_failures();
  ASSERT_EQ(file_open((dir / "data.txt").string(), FileMode::input, 1), status_ok);
  EXPECT_EQ(file_open((dir / "link.txt").string(), FileMode::output, 2), status_cannot_open);
  EXPECT_EQ(file_open((dir / "data.txt").string(), FileMode::output, 3), status_cannot_open);
  file_close(1);
  EXPECT_EQ(read_file(dir / "data.txt"), "keep me");
  auto failures = take_file_failures();
  ASSERT_EQ(failures.size(), 2u);
  EXPECT_EQ(failures[0].message, "cannot create: it is the file being read");
  EXPECT_TRUE(same_file((dir / "link.txt").string(), (dir / "data.txt").string()));
  EXPECT_FALSE(same_file((dir / "old.txt").string(), (dir / "data.txt").string()));

  EXPECT_EQ(file_open((dir / "no" / "x").string(), FileMode::output, 2), status_cannot_open);
  EXPECT_EQ(take_file_failures().back().message, "cannot create: No such file or directory");
}

TEST(FileTable, BadCalls) {
  EXPECT_EQ(file_open("x", FileMode::output, 0), status_bad_call);
  EXPECT_EQ(file_open("x", FileMode::output, 256), status_bad_call);
  EXPECT_EQ(file_close(5), status_bad_call);
  EXPECT_TRUE(at_end(0));
  EXPECT_TRUE(at_end(300));
  EXPECT_EQ(write_bytes(9, "x"), status_bad_call);
}

TEST(FileNames, DrivePrefixAndBackslashes) {
  EXPECT_EQ(native_path("c:\\s2.inc"), "s2.inc");
  EXPECT_EQ(native_path("C:/S_100.inc"), "S_100.inc");
  EXPECT_EQ(native_path("d:dir\\f"), "dir/f");
  EXPECT_EQ(native_path("..\\_Out\\_Machine.TXT"), "../_Out/_Machine.TXT");
  EXPECT_EQ(native_path("plain/name"), "plain/name");
  EXPECT_EQ(native_path("1:x"), "1:x");

  TempDir dir;
  std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  ASSERT_EQ(file_open("c:\\s2.inc", FileMode::output, 1), status_ok);
  print_text(1, "x", Ending::line);
  file_close(1);
  std::filesystem::current_path(previous);
  EXPECT_EQ(read_file(dir / "s2.inc"), "x\r\n");
}

}  // namespace
}  // namespace kit
