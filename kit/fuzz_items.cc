// Fuzz target: typed lines cut into text and number items, and number items as doubles.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "kit/console.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string line(reinterpret_cast<const char*>(data), size);

  kit::LineItems texts(line);
  std::size_t taken = 0;
  for (std::size_t round = 0; round <= line.size() + 1; ++round) {
    std::string item = texts.next_text();
    if (item.size() > kit::text_item_limit) std::abort();
    taken += item.size();
  }
  // Items never invent characters: together they hold no more than the line.
  if (taken > line.size()) std::abort();

  kit::LineItems numbers(line);
  for (std::size_t round = 0; round <= line.size() + 1; ++round) {
    kit::NumberItem item = numbers.next_number();
    if (item.text.size() > kit::number_item_limit) std::abort();
    double value = kit::number_item_value(item);
    if (std::isnan(value)) std::abort();  // no spelling of a number gives not-a-number
    // A short run of plain digits is an exact integer.
    if (!item.text.empty() && item.text.size() <= 15 &&
        item.text.find_first_not_of("0123456789") == std::string::npos &&
        value != double(std::strtoll(item.text.c_str(), nullptr, 10)))
      std::abort();
  }
  return 0;
}
