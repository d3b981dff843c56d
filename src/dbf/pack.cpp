// Squeezing deleted records out of a record file.
#include <cstring>

#include "dbf/record_file.h"
#include "frame/file.h"
#include "frame/status.h"

namespace osp::dbf {

namespace {

// Reads count whole records (marks included) starting at record first; the
// caller keeps them within the buffer, so their size fits 32 bits.
int32_t read_block(DbfHandle* h, int32_t first, uint8_t* buffer, int32_t count) {
  const int64_t pos = record_position(h, first);
  const int32_t bytes = count * h->record_size;
  if (pos < 0 || file_read_at(h->file, pos, buffer, bytes) != bytes) return status::kDataReadError;
  return status::kOk;
}

}  // namespace

int32_t pack(DbfHandle* h, void* buffer, int32_t size) {
  auto* buf = static_cast<uint8_t*>(buffer);
  const int32_t rs = h->record_size;
  const int32_t n = rs > 0 ? size / rs : 0;
  if (n < 1) return status::kDataReadError;
  // A count the file does not back would leave the pack half done at the
  // first missing record, with records moved down and copies of them left
  // behind; refuse it before anything moves. From here on the count lies in
  // 0 .. records held, so none of the sums below can overflow.
  if (h->record_count < 0 || records_held(h) != h->record_count) return status::kDataReadError;
  const int32_t original_count = h->record_count;
  int32_t read = 1;
  int32_t write = 1;
  bool moved = false;

  // Bulk phase: whole chunks of n records, written back only once something
  // has moved.
  if (h->record_count - n > n) {
    while (read < h->record_count - n) {
      const int32_t r = read_block(h, read, buf, n);
      if (r != status::kOk) return r;
      read += n;
      int32_t kept = 0;
      int32_t left = n;  // records of the chunk not yet looked at, from kept on
      while (left > 0) {
        uint8_t* rec = buf + static_cast<size_t>(kept) * rs;
        if (rec[0] == kLiveMark) {
          ++kept;
        } else {
          std::memmove(rec, rec + rs, static_cast<size_t>(left - 1) * rs);
          moved = true;
        }
        --left;
      }
      if (moved && kept > 0) {
        const int32_t w = write2(h, write, buf, 0, kept * rs);
        if (w != status::kOk) return w;
      }
      write += kept;
    }
  }

  // Tail phase: one record at a time.
  read -= 1;
  write -= 1;
  while (read < h->record_count) {
    read += 1;
    const int32_t r = read_block(h, read, buf, 1);
    if (r != status::kOk) return r;
    if (buf[0] == kLiveMark) {
      write += 1;
      if (write != read) {
        const int32_t w = write2(h, write, buf, 0, rs);
        if (w != status::kOk) return w;
      }
    }
  }

  h->record_count = write;
  // The cut and the new count must reach the file whenever the pack removed
  // records, even when nothing else was written through the handle.
  if (h->flags != 0 || write != original_count) {
    file_truncate(h->file, static_cast<int64_t>(static_cast<uint16_t>(h->header_size)) +
                                static_cast<int64_t>(write) * rs);
    stamp_date(h);
    h->flags = kFlagWritten | kFlagCountChanged;
  }
  return status::kOk;
}

}  // namespace osp::dbf
