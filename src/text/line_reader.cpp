#include "text/line_reader.h"

#include <cstring>
#include <new>
#include <string>

namespace osp::text {

namespace {

constexpr char kCarriageReturn = 0x0D;
constexpr char kLineFeed = 0x0A;
constexpr char kEndOfText = 0x1A;
constexpr int32_t kSmallLine = 1024;

// Bytes of the current text file consumed so far.
int64_t line_position = 0;

enum class LineRead { kLine, kEmpty, kEnd };

// Reads one line into buffer; *length is the line's length (the place of
// its line end) and *got the bytes read.
LineRead next_line(char* buffer, int32_t size, FileHandle h, int32_t* length, int32_t* got) {
  if (buffer == nullptr || size < 3) return LineRead::kEnd;
  if (file_seek(h, line_position) != line_position) return LineRead::kEnd;
  const int32_t n = file_read(h, buffer, size - 2);
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
  *length = i;
  *got = n;
  return i == 0 && line_end_bytes > 0 ? LineRead::kEmpty : LineRead::kLine;
}

}  // namespace

FileHandle open_text(const char* path) {
  line_position = 0;
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
