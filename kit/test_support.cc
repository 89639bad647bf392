#include "kit/test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

#include <gtest/gtest.h>

extern char** environ;

namespace kit::testing {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kit-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Tests make folders unwritable on purpose; give the rights back before removing.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored))
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ignored);
  }
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void write_file(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
}

std::string tool_path(std::string_view tool) {
  const char* dir = std::getenv("KIT_BIN_DIR");
  return std::string(dir && *dir ? dir : KIT_BIN_DIR) + "/" + std::string(tool);
}

ToolRun run_tool(std::string_view tool, const std::vector<std::string>& args,
                 std::string_view input, const std::filesystem::path& cwd,
                 std::string_view argv0) {
  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (pipe(in_pipe) || pipe(out_pipe) || pipe(err_pipe)) throw std::runtime_error("pipe failed");

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in_pipe[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err_pipe[1], 2);
  for (int fd : {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]})
    posix_spawn_file_actions_addclose(&actions, fd);
  posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());

  std::string path = tool_path(tool);
  std::vector<std::string> words;
  words.emplace_back(argv0.empty() ? tool : argv0);
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  pid_t pid = 0;
  int rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(in_pipe[0]);
  close(out_pipe[1]);
  close(err_pipe[1]);
  if (rc != 0) {
    close(in_pipe[1]);
    close(out_pipe[0]);
    close(err_pipe[0]);
    throw std::runtime_error("cannot start " + path);
  }

  // Feed standard input and drain both outputs together, so neither side can block.
  ToolRun run;
  std::size_t written = 0;
  fcntl(in_pipe[1], F_SETFL, O_NONBLOCK);
  if (input.empty()) {
    close(in_pipe[1]);
    in_pipe[1] = -1;
  }
  bool out_open = true, err_open = true;
  while (out_open || err_open) {
    pollfd fds[3] = {{out_open ? out_pipe[0] : -1, POLLIN, 0},
                     {err_open ? err_pipe[0] : -1, POLLIN, 0},
                     {in_pipe[1], POLLOUT, 0}};
    if (poll(fds, 3, -1) < 0) continue;
    char chunk[65536];
    for (int i = 0; i < 2; ++i) {
      if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      ssize_t n = read(fds[i].fd, chunk, sizeof chunk);
      if (n > 0) {
        (i == 0 ? run.out : run.err).append(chunk, std::size_t(n));
      } else {
        (i == 0 ? out_open : err_open) = false;
      }
    }
    if (in_pipe[1] >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
      ssize_t n = write(in_pipe[1], input.data() + written, input.size() - written);
      if (n > 0) written += std::size_t(n);
      if (n < 0 || written == input.size()) {
        close(in_pipe[1]);
        in_pipe[1] = -1;
      }
    }
  }
  if (in_pipe[1] >= 0) close(in_pipe[1]);
  close(out_pipe[0]);
  close(err_pipe[0]);

  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  return run;
}

std::string after_memory_report(std::string_view out) {
  static const std::regex report(
      "^Free memory:\r\n([0-9]+) bytes\r\n([0-9]+) kilobytes\r\n([0-9]+) megabytes\r\n");
  std::match_results<std::string_view::const_iterator> match;
  if (!std::regex_search(out.begin(), out.end(), match, report)) {
    ADD_FAILURE() << "no free-memory report at the start of:\n" << out;
    return std::string(out);
  }
  unsigned long long bytes = std::stoull(match[1].str());
  EXPECT_LE(bytes, 4294967295ull);
  EXPECT_EQ(std::stoull(match[2].str()), bytes >> 10);
  EXPECT_EQ(std::stoull(match[3].str()), bytes >> 20);
  return std::string(out.substr(std::size_t(match.length(0))));
}

}  // namespace kit::testing
