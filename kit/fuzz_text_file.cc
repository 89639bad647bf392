// Fuzz target: a file read in text mode, line by line and item by item. Lines must be
// those of a plain model of text mode; items must stay within their limit.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "kit/console.h"
#include "kit/files.h"
#include "kit/fuzz_support.h"

namespace {

using kit::fuzz::model_lines;

const std::string& scratch() {
  static const std::string name = "/tmp/kit_fuzz_text_" + std::to_string(getpid());
  return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  FILE* out = std::fopen(scratch().c_str(), "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), out);
  std::fclose(out);

  std::vector<std::string> lines;
  if (kit::file_open(scratch(), kit::FileMode::input, 1) != kit::status_ok) std::abort();
  while (!kit::at_end(1)) {
    std::string line;
    kit::read_line(1, line);
    lines.push_back(line);
    if (lines.size() > size + 1) std::abort();
  }
  kit::file_close(1);
  if (lines != model_lines(bytes)) std::abort();

  // Items of the file are the items of its text-mode content read as one typed line.
  std::string text = bytes.substr(0, bytes.find('\x1a'));
  std::string translated;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    translated.push_back(text[i]);
  }
  kit::LineItems model(translated);
  if (kit::file_open(scratch(), kit::FileMode::input, 1) != kit::status_ok) std::abort();
  std::size_t items = 0;
  while (!kit::at_end(1)) {
    std::string item = kit::read_item(1);
    if (item.size() > 4096) std::abort();
    if (model.exhausted() || item != model.next_text()) std::abort();
    if (++items > size + 1) std::abort();  // every item consumes at least one character
  }
  if (!model.exhausted()) std::abort();
  kit::file_close(1);
  kit::take_file_failures();
  return 0;
}
