// The file table: open files named by numbers 1 to 255, byte-exact reads, text-mode
// line reading, and the buffered writes that carry the print operations.
//
// Every operation returns a status code and never prints. Failures that a user must
// hear about (an open that fails, a write that stores less) are also recorded with the
// file name and the system's reason, for the tool to report (see report_file_failures).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace kit {

/// Status codes of every file operation.
enum Status : int {
  status_ok = 0,
  status_bad_call = 1,     // number outside 1..255, already open (open), not open (others)
  status_cannot_open = 2,  // missing, unreadable, not creatable, or the file being read
  status_short_write = 3,  // a write stored fewer bytes than asked
};

enum class FileMode {
  binary,  // existing file, read byte by byte
  input,   // existing file, read as text lines (CR LF reads as LF, byte 26 ends it)
  output,  // created or emptied, written byte for byte
};

constexpr int max_file_number = 255;
constexpr std::size_t file_buffer_size = 8192;

/// Maps a DOS-style name onto this system: a drive prefix such as "c:\" or "C:/" means
/// the current folder, and "\" as well as "/" separate folders.
std::string native_path(std::string_view name);

/// True when both names lead to one existing file (through links or letter case too).
bool same_file(std::string_view a, std::string_view b);

/// Opens `name` under `number`. Output mode refuses a file that is open for reading
/// under another number, so a tool never empties its own input.
int file_open(std::string_view name, FileMode mode, int number);

/// Flushes, closes and frees the slot; status 3 when buffered bytes could not be stored.
int file_close(int number);

/// Closes every open slot (used at program end and by tests).
void close_all_files();

/// True when nothing more can be read: binary mode at or past the size at open, input
/// mode when the next read would meet the end or a byte 26, and always for a free number.
inline bool at_end(int number);

/// Replaces `line` with the next text line of an input-mode file, without its line end.
/// A free number gives status 1 and leaves `line` unchanged.
int read_line(int number, std::string& line);

/// Reads the next string item of an input-mode file: the rules of input_text applied to
/// the file's text (commas and line ends end an item, double quotes group, 4096 at most).
std::string read_item(int number);

/// Reads up to `count` bytes at the current position (or first moves to byte `position`,
/// counting from 1, when it is positive); bytes past the end are set to zero. A free
/// number reads nothing and leaves the target as it was.
inline int get_bytes(int number, std::int64_t position, void* target, std::size_t count);

/// Reads up to capacity - 1 bytes as get_bytes does and puts a zero byte after them.
inline int get_fixed_text(int number, std::int64_t position, char* field, std::size_t capacity);

/// Writes bytes unchanged to an output-mode file and keeps its output column.
inline int write_bytes(int number, std::string_view bytes);

/// The file's length when it was opened (0 for output mode or a free number).
std::int64_t size_at_open(int number);

/// The output column of an open file (characters since the last CR or LF), or 0.
std::int64_t file_column(int number);

/// One failure a user must be told of: the file as named by the tool and what went wrong.
struct FileFailure {
  std::string name;
  std::string message;  // for example "cannot open: No such file or directory"
};

/// Failures recorded since the last call, oldest first; the list is emptied.
std::vector<FileFailure> take_file_failures();

/// True when any failure has been recorded since the program started.
bool any_file_failure();

// The one-unit reads and short writes of the converters run millions of times, so their
// common case is inline; the rest lives in files.cc.
namespace detail {

struct Slot {
  FileMode mode = FileMode::binary;
  int fd = -1;
  std::string name;
  std::int64_t size_at_open = 0;
  std::int64_t position = 0;  // bytes consumed so far (binary mode)
  // Output mode: the column where buffer[0] lands; the column after the buffered bytes
  // is worked out only when asked for (see file_column), so writes need not look at them.
  std::int64_t column = 0;
  // Read side: [next, end) holds bytes not yet consumed.
  unsigned char* next = nullptr;
  unsigned char* end = nullptr;
  // Write side: [buffer, fill) holds bytes not yet stored.
  unsigned char* fill = nullptr;
  unsigned char* limit = nullptr;
  bool write_failed = false;
  bool source_ended = false;  // reading has met the end of the file or a byte 26
  std::uint64_t device = 0, inode = 0;  // identity of a file open for reading
  unsigned char buffer[file_buffer_size];
};

extern Slot* slots[max_file_number + 1];

inline Slot* open_slot(int number) {
  return number >= 1 && number <= max_file_number ? slots[number] : nullptr;
}

bool at_end_slow(Slot& slot);
int get_bytes_slow(Slot& slot, std::int64_t position, void* target, std::size_t count);
int write_bytes_slow(Slot& slot, std::string_view bytes);
int get_fixed_text_slow(Slot& slot, std::int64_t position, char* field, std::size_t capacity);

}  // namespace detail

inline bool at_end(int number) {
  detail::Slot* slot = detail::open_slot(number);
  if (!slot) return true;
  if (slot->mode == FileMode::binary) return slot->position >= slot->size_at_open;
  return detail::at_end_slow(*slot);
}

inline int get_bytes(int number, std::int64_t position, void* target, std::size_t count) {
  detail::Slot* slot = detail::open_slot(number);
  if (!slot) return status_bad_call;
  // Byte stores may alias the slot, so the slot is updated before the target is written.
  unsigned char* next = slot->next;
  if (position == 0 && slot->mode == FileMode::binary && count <= std::size_t(slot->end - next)) {
    slot->next = next + count;
    slot->position += std::int64_t(count);
    if (count == 1) {
      *static_cast<unsigned char*>(target) = *next;
    } else {
      std::memcpy(target, next, count);
    }
    return status_ok;
  }
  return detail::get_bytes_slow(*slot, position, target, count);
}

inline int get_fixed_text(int number, std::int64_t position, char* field, std::size_t capacity) {
  detail::Slot* slot = detail::open_slot(number);
  if (!slot) return status_bad_call;
  unsigned char* next = slot->next;
  if (position == 0 && slot->mode == FileMode::binary && capacity >= 1 &&
      capacity - 1 <= std::size_t(slot->end - next)) {
    slot->next = next + (capacity - 1);
    slot->position += std::int64_t(capacity - 1);
    for (std::size_t i = 0; i + 1 < capacity; ++i) field[i] = static_cast<char>(next[i]);
    field[capacity - 1] = '\0';
    return status_ok;
  }
  return detail::get_fixed_text_slow(*slot, position, field, capacity);
}

inline int write_bytes(int number, std::string_view bytes) {
  detail::Slot* slot = detail::open_slot(number);
  if (!slot) return status_bad_call;
  if (slot->mode == FileMode::output && bytes.size() <= std::size_t(slot->limit - slot->fill)) {
    unsigned char* out = slot->fill;
    slot->fill = out + bytes.size();
    if (bytes.size() <= 16) {
      // Short texts are copied by hand: a call to memcpy would cost more than the copy.
      for (char c : bytes) *out++ = static_cast<unsigned char>(c);
    } else {
      std::memcpy(out, bytes.data(), bytes.size());
    }
    return status_ok;
  }
  return detail::write_bytes_slow(*slot, bytes);
}

}  // namespace kit
