#include "text/line_reader.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

namespace osp::text {

namespace {

constexpr char kCarriageReturn = 0x0D;
constexpr char kLineFeed = 0x0A;
constexpr char kEndOfText = 0x1A;
constexpr int32_t kSmallLine = 1024;

constexpr int32_t kReadAhead = 65536;

// Bytes of the current text file consumed so far.
int64_t line_position = 0;

// The bytes of the current text file read ahead: kReadAhead bytes from
// ahead_start (fewer at the end of the file), so that lines are not read
// one system call each. Valid for ahead_file only; T_Open drops them.
struct ReadAhead {
  FileHandle file = kNoFile;
  int64_t start = 0;
  int32_t length = 0;
  bool at_end = false;  // the file ended within these bytes
  char bytes[kReadAhead];
};
ReadAhead ahead;

// Copies up to count bytes at line_position of h into buffer, as one read
// there would. Returns the number copied, or -1 when the read fails.
int32_t read_at_position(FileHandle h, char* buffer, int32_t count) {
  if (count > kReadAhead) {
    ahead.file = kNoFile;
    if (file_seek(h, line_position) != line_position) return -1;
    return file_read(h, buffer, count);
  }
  const int64_t offset = line_position - ahead.start;
  // A dropped read-ahead is marked kNoFile: a read of kNoFile must not take it.
  const bool usable = h != kNoFile && ahead.file == h && offset >= 0 && offset <= ahead.length &&
                      (ahead.at_end || ahead.length - offset >= count);
  if (!usable) {
    ahead.file = kNoFile;
    if (file_seek(h, line_position) != line_position) return -1;
    const int32_t n = file_read(h, ahead.bytes, kReadAhead);
    if (n < 0) return -1;
    ahead.file = h;
    ahead.start = line_position;
    ahead.length = n;
    ahead.at_end = n < kReadAhead;
  }
  const auto from = static_cast<int32_t>(line_position - ahead.start);
  const int32_t n = std::min(count, ahead.length - from);
  std::memcpy(buffer, ahead.bytes + from, static_cast<size_t>(n));
  return n;
}

enum class LineRead { kLine, kEmpty, kEnd };

// Reads one line into buffer; *length is the line's length (the place of
// its line end) and *got the bytes read.
LineRead next_line(char* buffer, int32_t size, FileHandle h, int32_t* length, int32_t* got) {
  if (buffer == nullptr || size < 3) return LineRead::kEnd;
  const int32_t n = read_at_position(h, buffer, size - 2);
  if (n <= 0) return LineRead::kEnd;
  int32_t i = 0;
  int32_t line_end_bytes = 0;
  for (; i < n; ++i) {
    const char b = buffer[i];
    if (b == kEndOfText) return LineRead::kEnd;
    if (b == kLineFeed) {
      line_end_bytes = 1;
      break;
    }
    if (b == kCarriageReturn) {
      // A carriage return and a line feed; a carriage return that the bytes
      // read end with is taken to be followed by its line feed.
      line_end_bytes = (i + 1 == n || buffer[i + 1] == kLineFeed) ? 2 : 1;
      break;
    }
  }
  line_position += i + line_end_bytes;
  // The file stands where the next line begins, as for a caller that reads on
  // by itself.
  file_seek(h, line_position);
  *length = i;
  *got = n;
  return i == 0 && line_end_bytes > 0 ? LineRead::kEmpty : LineRead::kLine;
}

}  // namespace

FileHandle open_text(const char* path) {
  line_position = 0;
  ahead.file = kNoFile;
  if (path == nullptr) return kNoFile;
  return file_open_existing(path, kGenericRead);
}

int32_t read_line(char* buffer, int32_t size, FileHandle h) {
  int32_t length = 0;
  int32_t got = 0;
  if (next_line(buffer, size, h, &length, &got) == LineRead::kEnd) return -1;
  buffer[length] = '\0';
  return 0;
}

int32_t read_padded_line(char* buffer, int32_t size, FileHandle h) {
  for (;;) {
    int32_t length = 0;
    int32_t got = 0;
    const LineRead r = next_line(buffer, size, h, &length, &got);
    if (r == LineRead::kEnd) return -1;
    if (r == LineRead::kEmpty) continue;
    std::memset(buffer + length, ' ', static_cast<size_t>(got - length));
    return 0;
  }
}

int32_t write_line(const char* text, FileHandle h) {
  if (text == nullptr) return -1;
  const size_t n = std::strlen(text);
  if (n > static_cast<size_t>(INT32_MAX) - 2) return -1;
  const auto total = static_cast<int32_t>(n + 2);
  char small[kSmallLine];
  std::string large;
  char* line = small;
  if (n + 2 > sizeof small) {
    try {
      large.resize(n + 2);
    } catch (const std::bad_alloc&) {
      return -1;
    }
    line = large.data();
  }
  std::memcpy(line, text, n);
  line[n] = kCarriageReturn;
  line[n + 1] = kLineFeed;
  return file_write(h, line, total);
}

}  // namespace osp::text
