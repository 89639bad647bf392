// Helpers for end-to-end fault tests: a tool run as a child process that a test can stop
// in the middle of a read, run as user nobody, and bound in time; and a small disk of its
// own for a file system that fills up.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "kit/test_support.h"

namespace kit::testing {

namespace fault_files = std::filesystem;

// A tool run as a separate process that the test can stop, change the world under, and
// continue: standard output and error go to files, standard input is empty, and the run
// is bounded in time so that a hang fails the test instead of stalling it.
class Child {
 public:
  // As root, `as_nobody` runs the tool as user nobody, for whom permissions still count.
  Child(std::string_view tool, const std::vector<std::string>& args, const fault_files::path& cwd,
        bool as_nobody = false)
      : out_path_(logs_.path() / "out"), err_path_(logs_.path() / "err") {
    std::string program = kit::testing::tool_path(tool);
    std::vector<std::string> words = {std::string(tool)};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
      int in = open("/dev/null", O_RDONLY);
      int out = open(out_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      int err = open(err_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0)
        _exit(126);
      if (chdir(cwd.c_str()) != 0) _exit(126);
      if (as_nobody && (setgid(nobody) != 0 || setuid(nobody) != 0)) _exit(126);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
  }
  ~Child() {
    if (pid_ > 0 && !reaped_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t pid() const { return pid_; }

  // Waits for the end; a run longer than `limit` is killed and reported as a hang.
  kit::testing::ToolRun finish(std::chrono::seconds limit = std::chrono::seconds(120)) {
    kit::testing::ToolRun run;
    auto deadline = std::chrono::steady_clock::now() + limit;
    int wstatus = 0;
    while (waitpid(pid_, &wstatus, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &wstatus, 0);
        ADD_FAILURE() << "the tool did not end within " << limit.count() << " s";
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    reaped_ = true;
    run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    run.out = kit::testing::read_file(out_path_);
    run.err = kit::testing::read_file(err_path_);
    return run;
  }

  // Stops the tool while it has read some but not all of `input` (the file's length
  // when the tool opened it is `size`). Returns false when the tool ended first.
  bool stop_mid_read(const fault_files::path& input, std::int64_t size) {
    fault_files::path wanted = fault_files::canonical(input);
    for (;;) {
      int wstatus = 0;
      if (waitpid(pid_, &wstatus, WNOHANG) != 0) {
        reaped_ = true;
        return false;
      }
      std::int64_t position = read_position(wanted);
      if (position > 0 && position < size) {
        kill(pid_, SIGSTOP);
        waitpid(pid_, &wstatus, WUNTRACED);
        position = read_position(wanted);
        if (position > 0 && position < size) return true;
        kill(pid_, SIGCONT);
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  }

  void resume() { kill(pid_, SIGCONT); }

 private:
  static constexpr uid_t nobody = 65534;

  // How far the tool has read `file`, from /proc; -1 while it has no such file open.
  std::int64_t read_position(const fault_files::path& file) const {
    std::error_code error;
    fault_files::path fds = fault_files::path("/proc") / std::to_string(pid_) / "fd";
    for (const auto& entry : fault_files::directory_iterator(fds, error)) {
      std::error_code link_error;
      fault_files::path target = fault_files::read_symlink(entry.path(), link_error);
      if (link_error || target != file) continue;
      std::ifstream info(fault_files::path("/proc") / std::to_string(pid_) / "fdinfo" /
                         entry.path().filename());
      std::string key;
      std::int64_t position = -1;
      if (info >> key >> position && key == "pos:") return position;
    }
    return -1;
  }

  kit::testing::TempDir logs_;
  fault_files::path out_path_, err_path_;
  pid_t pid_ = -1;
  bool reaped_ = false;
};

inline bool running_as_root() { return geteuid() == 0; }

// As root, the tests of permissions run the tool as user nobody, who must be able to
// reach the built program (a build under a private home folder is out of reach).
inline bool nobody_can_run(std::string_view tool) {
  if (!running_as_root()) return true;
  std::string program = kit::testing::tool_path(tool);
  pid_t pid = fork();
  if (pid == 0) _exit(setgid(65534) == 0 && setuid(65534) == 0 && access(program.c_str(), X_OK) == 0 ? 0 : 1);
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A folder that user nobody may enter and read (test folders are private to their owner).
inline void open_to_everyone(const fault_files::path& folder) {
  fault_files::permissions(folder, fault_files::perms::all, fault_files::perm_options::replace);
}

// A small file system of its own, for a disk that fills up; unmounted at the end.
class SmallDisk {
 public:
  SmallDisk(const fault_files::path& where, std::size_t bytes) : where_(where) {
    fault_files::create_directories(where_);
    std::string options = "size=" + std::to_string(bytes);
    mounted_ = running_as_root() &&
               mount("faults", where_.c_str(), "tmpfs", 0, options.c_str()) == 0;
  }
  ~SmallDisk() {
    if (mounted_) umount2(where_.c_str(), MNT_DETACH);
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;
  bool mounted() const { return mounted_; }

 private:
  fault_files::path where_;
  bool mounted_ = false;
};

}  // namespace kit::testing
