// Shared helpers for the tests: scoped temporary folders, whole-file reads and writes,
// and running a built program as a separate process with given standard input.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kit::testing {

/// A fresh folder that is removed with everything in it when the object goes away.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

std::string read_file(const std::filesystem::path& path);
void write_file(const std::filesystem::path& path, std::string_view bytes);

/// The path of a built program, such as tool_path("dumpflip").
std::string tool_path(std::string_view tool);

struct ToolRun {
  std::string out;  // everything written to standard output
  std::string err;  // everything written to standard error
  int status = -1;  // exit status, or 128 + signal number
};

/// Runs a built program in `cwd` with argv[0] set to `argv0` (the tool's bare name by
/// default), the given arguments, and `input` as its standard input (a pipe).
ToolRun run_tool(std::string_view tool, const std::vector<std::string>& args,
                 std::string_view input, const std::filesystem::path& cwd,
                 std::string_view argv0 = {});

/// Checks the free-memory report that opens the output of the file tools (four lines:
/// "Free memory:", then bytes, kilobytes and megabytes with consistent figures) and
/// returns what follows it. Fails the current test when the form is wrong.
std::string after_memory_report(std::string_view out);

}  // namespace kit::testing
