// The file table: opening in three modes, buffered byte reads, text-mode lines and items,
// byte-exact writes, and the record of failures for the tools to report.

#include "kit/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <memory>

#include "kit/items.h"

namespace kit {
namespace detail {
Slot* slots[max_file_number + 1] = {};
}  // namespace detail

namespace {

using detail::Slot;

struct FailureLog {
  std::vector<FileFailure> pending;
  bool any = false;
};

FailureLog& failures() {
  static FailureLog* log = new FailureLog;
  return *log;
}

void record_failure(std::string_view name, std::string message) {
  failures().pending.push_back({std::string(name), std::move(message)});
  failures().any = true;
}

std::string reason(int error) { return std::strerror(error); }

void close_everything_at_exit() {
  static bool registered = false;
  if (!registered) {
    registered = true;
    std::atexit(close_all_files);
  }
}

// The column after everything written so far: from the last line end in the buffer, or
// from the column at the buffer's start when the buffer holds none.
std::int64_t output_column(const Slot& slot) {
  std::size_t held = std::size_t(slot.fill - slot.buffer);
  const void* lf = memrchr(slot.buffer, '\n', held);
  const void* cr = memrchr(slot.buffer, '\r', held);
  const unsigned char* last = static_cast<const unsigned char*>(std::max(lf, cr));
  if (!last) return slot.column + std::int64_t(held);
  return std::int64_t(slot.fill - last - 1);
}

// Stores the bytes that wait in an output slot. After a failed write the slot drops what
// follows, so one full disk gives one report, not thousands.
int flush_output(Slot& slot) {
  const unsigned char* data = slot.buffer;
  std::size_t size = std::size_t(slot.fill - slot.buffer);
  slot.column = output_column(slot);
  slot.fill = slot.buffer;
  if (slot.write_failed) return status_short_write;
  while (size > 0) {
    ssize_t n = ::write(slot.fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      slot.write_failed = true;
      record_failure(slot.name, "cannot write: " + reason(n < 0 ? errno : ENOSPC));
      return status_short_write;
    }
    data += n;
    size -= std::size_t(n);
  }
  return status_ok;
}

// Makes at least `count` unread bytes available in a reading slot, unless the source
// ends first. A byte 26 in input mode ends the text: the buffer never shows it.
bool ensure(Slot& slot, std::size_t count) {
  while (std::size_t(slot.end - slot.next) < count) {
    if (slot.source_ended) return false;
    std::size_t kept = std::size_t(slot.end - slot.next);
    if (slot.next != slot.buffer) {
      std::memmove(slot.buffer, slot.next, kept);
      slot.next = slot.buffer;
      slot.end = slot.buffer + kept;
    }
    ssize_t n = ::read(slot.fd, slot.end, file_buffer_size - kept);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      record_failure(slot.name, "cannot read: " + reason(errno));
      slot.source_ended = true;
      return false;
    }
    if (n == 0) {
      slot.source_ended = true;
      // A text file that ends before its length at open was cut while being read: its
      // lines so far are read, and the tool must not report success.
      off_t at = ::lseek(slot.fd, 0, SEEK_CUR);
      if (slot.mode == FileMode::input && at >= 0 && at < slot.size_at_open) {
        record_failure(slot.name, "changed while being read: it ended after " +
                                      std::to_string(at) + " of " +
                                      std::to_string(slot.size_at_open) + " bytes");
      }
      return false;
    }
    unsigned char* fresh = slot.end;
    slot.end += n;
    if (slot.mode == FileMode::input) {
      if (auto* stop = static_cast<unsigned char*>(std::memchr(fresh, 26, std::size_t(n)))) {
        slot.end = stop;
        slot.source_ended = true;
      }
    }
  }
  return true;
}

// The characters of an input-mode file after text-mode translation (CR LF reads as LF).
struct TextSource {
  Slot& slot;
  int peek(std::size_t ahead) {
    // Each translated character takes at most two raw bytes.
    ensure(slot, 2 * ahead + 2);
    const unsigned char* at = slot.next;
    for (std::size_t i = 0;; ++i) {
      if (at >= slot.end) return -1;
      int c = *at;
      std::size_t width = (c == '\r' && at + 1 < slot.end && at[1] == '\n') ? 2 : 1;
      if (i == ahead) return width == 2 ? '\n' : c;
      at += width;
    }
  }
  void skip() {
    ensure(slot, 2);
    if (slot.next >= slot.end) return;
    if (*slot.next == '\r' && slot.next + 1 < slot.end && slot.next[1] == '\n') ++slot.next;
    ++slot.next;
  }
};

bool reads(const Slot& slot) { return slot.mode != FileMode::output; }

}  // namespace

namespace detail {

int get_bytes_slow(Slot& slot, std::int64_t position, void* target, std::size_t count) {
  if (slot.mode != FileMode::binary) return status_bad_call;
  if (position > 0) {
    if (::lseek(slot.fd, position - 1, SEEK_SET) < 0) return status_bad_call;
    slot.position = position - 1;
    slot.next = slot.end = slot.buffer;
    slot.source_ended = false;
  }
  auto* out = static_cast<unsigned char*>(target);
  std::size_t done = 0;
  while (done < count) {
    if (slot.next == slot.end && !ensure(slot, 1)) break;
    std::size_t take = std::min(count - done, std::size_t(slot.end - slot.next));
    std::memcpy(out + done, slot.next, take);
    slot.next += take;
    done += take;
  }
  slot.position += std::int64_t(done);
  if (done < count) {
    std::memset(out + done, 0, count - done);
    // A file that ends before its length at open was cut while being read; stop the
    // reading loop there instead of waiting forever for bytes that never come.
    if (slot.position < slot.size_at_open) {
      record_failure(slot.name, "changed while being read: it ended after " +
                                    std::to_string(slot.position) + " of " +
                                    std::to_string(slot.size_at_open) + " bytes");
      slot.size_at_open = slot.position;
    }
  }
  return status_ok;
}

int write_bytes_slow(Slot& slot, std::string_view bytes) {
  if (slot.mode != FileMode::output) return status_bad_call;
  int status = status_ok;
  const char* data = bytes.data();
  std::size_t size = bytes.size();
  while (size > 0) {
    if (slot.fill == slot.limit && flush_output(slot) != status_ok) status = status_short_write;
    std::size_t take = std::min(size, std::size_t(slot.limit - slot.fill));
    std::memcpy(slot.fill, data, take);
    slot.fill += take;
    data += take;
    size -= take;
  }
  if (slot.write_failed) status = status_short_write;
  return status;
}

int get_fixed_text_slow(Slot& slot, std::int64_t position, char* field, std::size_t capacity) {
  if (capacity == 0) return status_bad_call;
  std::size_t want = capacity - 1;
  std::int64_t before = position > 0 ? position - 1 : slot.position;
  int status = get_bytes_slow(slot, position, field, want);
  if (status != status_ok) return status;
  std::size_t got = std::size_t(slot.position - before);
  field[std::min(got, want)] = '\0';
  return status_ok;
}

}  // namespace detail

std::string native_path(std::string_view name) {
  if (name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':') {
    name.remove_prefix(2);
    if (!name.empty() && (name[0] == '\\' || name[0] == '/')) name.remove_prefix(1);
  }
  std::string path(name);
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

bool same_file(std::string_view a, std::string_view b) {
  struct stat first, second;
  if (::stat(native_path(a).c_str(), &first) != 0) return false;
  if (::stat(native_path(b).c_str(), &second) != 0) return false;
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

int file_open(std::string_view name, FileMode mode, int number) {
  if (number < 1 || number > max_file_number || detail::slots[number]) return status_bad_call;
  if (mode != FileMode::binary && mode != FileMode::input && mode != FileMode::output)
    return status_bad_call;
  std::string path = native_path(name);
  auto slot = std::make_unique<Slot>();
  slot->mode = mode;
  slot->name = std::string(name);

  if (mode == FileMode::output) {
    struct stat existing;
    if (::stat(path.c_str(), &existing) == 0) {
      for (Slot* other : detail::slots) {
        if (other && reads(*other) && other->device == std::uint64_t(existing.st_dev) &&
            other->inode == std::uint64_t(existing.st_ino)) {
          record_failure(name, "cannot create: it is the file being read");
          return status_cannot_open;
        }
      }
    }
    slot->fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (slot->fd < 0) {
      record_failure(name, "cannot create: " + reason(errno));
      return status_cannot_open;
    }
    slot->fill = slot->buffer;
    slot->limit = slot->buffer + file_buffer_size;
  } else {
    slot->fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (slot->fd < 0) {
      record_failure(name, "cannot open: " + reason(errno));
      return status_cannot_open;
    }
    struct stat info;
    if (::fstat(slot->fd, &info) != 0 || S_ISDIR(info.st_mode)) {
      int error = S_ISDIR(info.st_mode) ? EISDIR : errno;
      ::close(slot->fd);
      record_failure(name, "cannot open: " + reason(error));
      return status_cannot_open;
    }
    slot->size_at_open = S_ISREG(info.st_mode) ? std::int64_t(info.st_size) : 0;
    slot->device = std::uint64_t(info.st_dev);
    slot->inode = std::uint64_t(info.st_ino);
    slot->next = slot->end = slot->buffer;
  }
  close_everything_at_exit();
  detail::slots[number] = slot.release();
  return status_ok;
}

int file_close(int number) {
  Slot* slot = detail::open_slot(number);
  if (!slot) return status_bad_call;
  int status = status_ok;
  if (slot->mode == FileMode::output) {
    status = flush_output(*slot);
    if (::close(slot->fd) != 0 && !slot->write_failed) {
      record_failure(slot->name, "cannot write: " + reason(errno));
      status = status_short_write;
    }
  } else {
    ::close(slot->fd);
  }
  delete slot;
  detail::slots[number] = nullptr;
  return status;
}

void close_all_files() {
  for (int number = 1; number <= max_file_number; ++number) file_close(number);
}

namespace detail {

bool at_end_slow(Slot& slot) {
  return slot.mode != FileMode::input || (slot.next == slot.end && !ensure(slot, 1));
}

}  // namespace detail

int read_line(int number, std::string& line) {
  Slot* slot = detail::open_slot(number);
  if (!slot || slot->mode != FileMode::input) return status_bad_call;
  line.clear();
  bool line_feed = false;
  while (slot->next < slot->end || ensure(*slot, 1)) {
    std::size_t available = std::size_t(slot->end - slot->next);
    auto* lf = static_cast<unsigned char*>(std::memchr(slot->next, '\n', available));
    if (lf) {
      line.append(reinterpret_cast<const char*>(slot->next), std::size_t(lf - slot->next));
      slot->next = lf + 1;
      line_feed = true;
      break;
    }
    line.append(reinterpret_cast<const char*>(slot->next), available);
    slot->next = slot->end;
  }
  // Raw CR LF reads as LF, and one more CR before that LF is dropped with it; a line
  // cut by the end of the file loses a CR that is the file's very last byte.
  int crs_to_drop = line_feed ? 2 : 1;
  while (crs_to_drop-- > 0 && !line.empty() && line.back() == '\r') line.pop_back();
  return status_ok;
}

// The usual item, unquoted and whole in the buffer, taken in one piece: the bytes up to
// a comma, CR or LF. Anything else (a quote, an item running past the buffer or past
// its limit, a CR that may pair with an LF not yet read) is left to the general rule.
bool take_plain_item(Slot& slot, std::string& item) {
  unsigned char* at = slot.next;
  while (at < slot.end && (*at == ' ' || *at == '\t')) ++at;
  if (at == slot.end || *at == '"') return false;
  unsigned char* first = at;
  unsigned char* stop = slot.end;
  if (std::size_t(stop - first) > text_item_limit) stop = first + text_item_limit;
  while (at < stop && *at != ',' && *at != '\r' && *at != '\n') ++at;
  if (at == stop) return false;
  unsigned char* after = at + 1;
  if (*at == '\r') {
    // The CR takes an LF after it along, and a raw CR LF reads as that LF.
    if (after + 1 >= slot.end) return false;
    if (after[0] == '\n') {
      ++after;
    } else if (after[0] == '\r' && after[1] == '\n') {
      after += 2;
    }
  }
  item.assign(reinterpret_cast<const char*>(first), std::size_t(at - first));
  slot.next = after;
  return true;
}

std::string read_item(int number) {
  Slot* slot = detail::open_slot(number);
  if (!slot || slot->mode != FileMode::input) return {};
  std::string item;
  if (take_plain_item(*slot, item)) return item;
  TextSource source{*slot};
  return items::cut(source, items::Kind::text).text;
}

std::int64_t size_at_open(int number) {
  Slot* slot = detail::open_slot(number);
  return slot && slot->mode != FileMode::output ? slot->size_at_open : 0;
}

std::int64_t file_column(int number) {
  Slot* slot = detail::open_slot(number);
  return slot && slot->mode == FileMode::output ? output_column(*slot) : 0;
}

std::vector<FileFailure> take_file_failures() {
  std::vector<FileFailure> taken;
  taken.swap(failures().pending);
  return taken;
}

bool any_file_failure() { return failures().any; }

}  // namespace kit
