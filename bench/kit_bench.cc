// The kit's hot paths: print operations into a file, read_line over a large file, and
// one-byte get_bytes over a large file. Each reports bytes per second.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "kit/console.h"
#include "kit/files.h"

namespace {

std::string scratch(const char* name) {
  return (std::filesystem::temp_directory_path() / name).string();
}

const std::string& listing_file() {
  static const std::string path = [] {
    std::string name = scratch("kit_bench_lines.txt");
    std::ofstream out(name, std::ios::binary);
    std::mt19937 random(1);
    for (int i = 0; i < 200000; ++i) {
      out << "  " << std::hex << (i & 0xFFFF) << "    D7F5     BRA 0x" << (random() & 0xFFF);
      out << std::string(random() % 40, ' ') << "\r\n";
    }
    return name;
  }();
  return path;
}

const std::string& random_file() {
  static const std::string path = [] {
    std::string name = scratch("kit_bench_random.bin");
    std::ofstream out(name, std::ios::binary);
    std::mt19937 random(2);
    std::string block(1 << 20, '\0');
    for (int i = 0; i < 16; ++i) {
      for (char& c : block) c = char(random());
      out << block;
    }
    return name;
  }();
  return path;
}

void PrintIntegersToFile(benchmark::State& state) {
  std::string name = scratch("kit_bench_out.txt");
  std::int64_t bytes = 0;
  for (auto _ : state) {
    kit::file_open(name, kit::FileMode::output, 2);
    for (std::int32_t i = -500000; i < 500000; ++i) kit::print_int(2, i, kit::Ending::line);
    kit::file_close(2);
    bytes += std::int64_t(std::filesystem::file_size(name));
  }
  state.SetBytesProcessed(bytes);
  std::remove(name.c_str());
}
BENCHMARK(PrintIntegersToFile)->Unit(benchmark::kMillisecond);

void PrintTextsToFile(benchmark::State& state) {
  std::string name = scratch("kit_bench_out.txt");
  std::int64_t bytes = 0;
  for (auto _ : state) {
    kit::file_open(name, kit::FileMode::output, 2);
    for (int i = 0; i < 1000000; ++i) {
      kit::print_text(2, "Str=", kit::Ending::none);
      kit::print_text(2, "  0012", kit::Ending::zone);
      kit::print_text(2, "LenBra=", kit::Ending::line);
    }
    kit::file_close(2);
    bytes += std::int64_t(std::filesystem::file_size(name));
  }
  state.SetBytesProcessed(bytes);
  std::remove(name.c_str());
}
BENCHMARK(PrintTextsToFile)->Unit(benchmark::kMillisecond);

void ReadLines(benchmark::State& state) {
  const std::string& name = listing_file();
  std::int64_t bytes = 0;
  std::string line;
  for (auto _ : state) {
    kit::file_open(name, kit::FileMode::input, 1);
    std::int64_t lines = 0;
    while (!kit::at_end(1)) {
      kit::read_line(1, line);
      ++lines;
    }
    benchmark::DoNotOptimize(lines);
    bytes += kit::size_at_open(1);
    kit::file_close(1);
  }
  state.SetBytesProcessed(bytes);
}
BENCHMARK(ReadLines)->Unit(benchmark::kMillisecond);

void GetOneByteAtATime(benchmark::State& state) {
  const std::string& name = random_file();
  std::int64_t bytes = 0;
  for (auto _ : state) {
    kit::file_open(name, kit::FileMode::binary, 1);
    unsigned sum = 0;
    while (!kit::at_end(1)) {
      unsigned char byte;
      kit::get_bytes(1, 0, &byte, 1);
      sum += byte;
    }
    benchmark::DoNotOptimize(sum);
    bytes += kit::size_at_open(1);
    kit::file_close(1);
  }
  state.SetBytesProcessed(bytes);
}
BENCHMARK(GetOneByteAtATime)->Unit(benchmark::kMillisecond);

// The shape of a hex dump: one byte in, two characters out, through the file table.
void CopyByteToTwoCharacters(benchmark::State& state) {
  const std::string& name = random_file();
  std::string out = scratch("kit_bench_out.txt");
  static const char digits[] = "0123456789ABCDEF";
  std::int64_t bytes = 0;
  for (auto _ : state) {
    kit::file_open(name, kit::FileMode::binary, 1);
    kit::file_open(out, kit::FileMode::output, 2);
    while (!kit::at_end(1)) {
      unsigned char byte;
      kit::get_bytes(1, 0, &byte, 1);
      char pair[2] = {digits[byte >> 4], digits[byte & 15]};
      kit::print_text(2, std::string_view(pair, 2), kit::Ending::none);
    }
    bytes += kit::size_at_open(1);
    kit::file_close(1);
    kit::file_close(2);
  }
  state.SetBytesProcessed(bytes);
  std::remove(out.c_str());
}
BENCHMARK(CopyByteToTwoCharacters)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
