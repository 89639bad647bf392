// steptab3 from start to end (the worked example: five include files written) against
// the literal build of its prime list by trial division, in one run; prints both wall
// times and their ratio.
//
//   build/bin/steptab_bench [runs]

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "steptab/steptab.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs the program once in `folder` with `input` as standard input; returns its wall time
// in seconds, or a negative value when it failed.
double timed_run(const std::string& program, const std::filesystem::path& folder,
                 const std::filesystem::path& input) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  char name[] = "steptab3";
  char* argv[] = {name, nullptr};
  Clock::time_point start = Clock::now();
  pid_t pid = 0;
  int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  double elapsed = seconds_since(start);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? elapsed : -1;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
  std::string program =
      (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "steptab3").string();

  std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("steptab_bench." + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  std::filesystem::path input = folder / "answers.txt";
  std::ofstream(input) << "10000\n3000\n\n";

  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    double elapsed = timed_run(program, folder, input);
    if (elapsed < 0) {
      std::fprintf(stderr, "steptab_bench: %s failed\n", program.c_str());
      std::filesystem::remove_all(folder);
      return 1;
    }
    times.push_back(elapsed);
  }
  std::uintmax_t written = 0;
  for (const char* file : {"s3.inc", "S_100.inc", "S_200.inc", "S_400.inc", "S_800.inc"})
    written += std::filesystem::file_size(folder / file);
  std::filesystem::remove_all(folder);
  std::sort(times.begin(), times.end());
  double median = times[times.size() / 2];

  Clock::time_point start = Clock::now();
  steptab::PrimeList sieved = steptab::build_prime_list(80000);
  double sieve_time = seconds_since(start);

  start = Clock::now();
  steptab::PrimeList literal = steptab::build_prime_list_by_trial_division(80000);
  double literal_time = seconds_since(start);
  if (literal.entries != sieved.entries || literal.count != sieved.count) {
    std::fprintf(stderr, "steptab_bench: the two prime lists differ\n");
    return 1;
  }

  std::printf("steptab3 whole run, worked example (%ju bytes in 5 files), %d runs:\n", written,
              runs);
  std::printf("  median %.2f ms, fastest %.2f ms, slowest %.2f ms\n", median * 1e3,
              times.front() * 1e3, times.back() * 1e3);
  std::printf("prime list of 80000 by sieve, in process: %.2f ms\n", sieve_time * 1e3);
  std::printf("prime list of 80000 by literal trial division: %.2f s\n", literal_time);
  std::printf("ratio, literal prime list / whole steptab3 run (median): %.0f\n",
              literal_time / median);
  return 0;
}
