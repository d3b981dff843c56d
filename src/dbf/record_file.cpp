#include "dbf/record_file.h"

#include <cstring>

#include "frame/bytes.h"
#include "frame/file.h"
#include "frame/status.h"
#include "frame/ui.h"
#include "platform/env.h"

namespace osp::dbf {

namespace {

// Copies the handle's first fields into their header byte image.
void header_image(const DbfHandle* h, uint8_t out[kHeaderMirrorBytes]) {
  out[kHdrVersion] = h->version;
  std::memcpy(out + kHdrDate, h->update_date, kHdrDateBytes);
  put_record_count(out, h->record_count);
  put_header_size(out, h->header_size);
  put_record_size(out, h->record_size);
}

// Bounds check shared by read and write2: 10 above the count, then 11 below 1.
// Held appends are written first: a run that fails lowers the count.
int32_t check_recno(DbfHandle* h, int32_t recno) {
  file_settle(h->file);
  if (recno > h->record_count) return status::kRecnoAboveCount;
  if (recno < 1) return status::kRecnoBelowOne;
  h->current_recno = recno;
  return status::kOk;
}

}  // namespace

int64_t record_position(const DbfHandle* h, int32_t recno) {
  const int64_t pos = static_cast<int64_t>(static_cast<uint16_t>(h->header_size)) +
                      (static_cast<int64_t>(recno) - 1) * h->record_size;
  if (pos < 0 || pos + h->record_size > kMaxFilePosition) return -1;
  return pos;
}

int32_t records_held(const DbfHandle* h) {
  if (h->record_count <= 0 || h->record_size < 1) return 0;
  const int64_t size = file_size(h->file);
  const int64_t header = static_cast<uint16_t>(h->header_size);
  if (size <= header) return 0;
  const int64_t room = (size - header) / h->record_size;
  return room < h->record_count ? static_cast<int32_t>(room) : h->record_count;
}

void stamp_date(DbfHandle* h) {
  const OspLocalTime now = local_time();
  h->update_date[0] = static_cast<uint8_t>(now.year % 100);
  h->update_date[1] = static_cast<uint8_t>(now.month);
  h->update_date[2] = static_cast<uint8_t>(now.day);
}

int32_t write_back_header(DbfHandle* h) {
  // Held appends land first: the image must carry the count that the file
  // holds, which their failure lowers.
  file_settle(h->file);
  if (h->flags == 0) return status::kOk;
  stamp_date(h);
  uint8_t image[kHeaderMirrorBytes];
  header_image(h, image);
  const bool count_changed = (h->flags & kFlagCountChanged) != 0;
  // The version and the date, or through the count.
  const int32_t length = count_changed ? kHdrHeaderSize : kHdrRecordCount;
  bool written = file_write_at(h->file, 0, image, length) == length;
  if (count_changed) {
    // The mark goes right after the last record (right after the header for
    // no records), unless a count that claims more than the file holds would
    // put it past the end.
    const int64_t end = static_cast<int64_t>(static_cast<uint16_t>(h->header_size)) +
                        static_cast<int64_t>(h->record_count) * h->record_size;
    const int64_t size = file_size(h->file);
    if (h->record_count >= 0 && end <= size) {
      const uint8_t mark = kEndOfFileMark;
      written = file_write_at(h->file, end, &mark, 1) == 1 && written;
    }
  }
  // The flags stay, so that the next flush or the close tries again.
  if (!written) return status::kDataWriteError;
  h->flags = 0;
  return status::kOk;
}

namespace {

int32_t open_with(const char* path, DbfHandle* h, unsigned access) {
  h->file = file_open_existing(path, access);
  if (h->file == kNoFile) return status::kCannotOpen;
  uint8_t image[kHeaderMirrorBytes];
  const int32_t got = file_read(h->file, image, kHeaderMirrorBytes);
  if (got > 0) {
    // Whatever header bytes were read are left in the handle's first fields.
    uint8_t full[kHeaderMirrorBytes] = {};
    std::memcpy(full, image, static_cast<size_t>(got));
    h->version = full[kHdrVersion];
    std::memcpy(h->update_date, full + kHdrDate, kHdrDateBytes);
    h->record_count = header_record_count(full);
    h->header_size = header_header_size(full);
    h->record_size = header_record_size(full);
  }
  int32_t result = status::kOk;
  if (got != kHeaderMirrorBytes) {
    result = status::kDataReadError;
  } else if (h->version != kVersionCreated && h->version != kVersionDbase3) {
    result = status::kBadDataStructure;
  } else if (h->record_size < 1 || h->header_size < kSmallestHeader) {
    // Later arithmetic divides by the record size and places record 1 after
    // the header; such a header cannot belong to a usable file.
    result = status::kBadDataStructure;
  }
  if (result != status::kOk) {
    file_close(h->file);
    h->file = kNoFile;
    return result;
  }
  h->current_recno = 0;
  h->flags = 0;
  return status::kOk;
}

}  // namespace

int32_t open(const char* path, DbfHandle* h) { return open_with(path, h, kGenericReadWrite); }

int32_t open_read_only(const char* path, DbfHandle* h) {
  return open_with(path, h, kGenericRead);
}

int32_t close(DbfHandle* h) {
  if (h->file <= 0) return static_cast<int32_t>(h->file - 1);
  const bool written = write_back_header(h) == status::kOk;
  const bool ok = file_close(h->file);
  h->file = kNoFile;
  h->flags = 0;
  return ok && written ? 1 : 0;
}

int32_t flush(DbfHandle* h) {
  const int32_t written = write_back_header(h);
  if (written != status::kOk) return written;
  return file_flush(h->file) ? status::kOk : status::kDataWriteError;
}

int32_t sync_data(DbfHandle* h) {
  const int32_t r = write_back_header(h);
  if (r != status::kOk) return r;
  return file_sync_data(h->file) ? status::kOk : status::kDataWriteError;
}

int32_t read(DbfHandle* h, int32_t recno, void* buffer) {
  const int32_t bounds = check_recno(h, recno);
  if (bounds != status::kOk) return bounds;
  const int64_t pos = record_position(h, recno);
  const int32_t count = h->record_size - 1;
  if (pos < 0 || file_read_at(h->file, pos + 1, buffer, count) != count)
    return status::kDataReadError;
  return status::kOk;
}

namespace {

// write2, and append's write of a whole new record. Only an append may make
// the file longer, and only from its end: a record the header counts but the
// file does not hold is never written, neither into a gap nor over the end
// mark.
int32_t write_record_bytes(DbfHandle* h, int32_t recno, const void* data, int32_t offset,
                           int32_t length, bool appending) {
  const int32_t bounds = check_recno(h, recno);
  if (bounds != status::kOk) return bounds;
  const int64_t pos = record_position(h, recno);
  if (pos < 0 || offset < 0 || pos + offset + length > kMaxFilePosition + 1)
    return status::kDataWriteError;
  const int64_t size = file_size(h->file);
  // A record that is not whole in the file is not one the file holds.
  const int64_t reach = offset + length > h->record_size ? offset + length : h->record_size;
  if (appending ? pos > size : pos + reach > size) return status::kDataWriteError;
  if (file_write_at(h->file, pos + offset, data, length) != length) return status::kDataWriteError;
  h->flags |= kFlagWritten;
  return status::kOk;
}

}  // namespace

int32_t write2(DbfHandle* h, int32_t recno, const void* data, int32_t offset, int32_t length) {
  return write_record_bytes(h, recno, data, offset, length, false);
}

int32_t write(DbfHandle* h, int32_t recno, const void* data) {
  return write2(h, recno, data, 1, h->record_size - 1);
}

int32_t mark_deleted(DbfHandle* h, int32_t recno) {
  const uint8_t mark = kDeletedMark;
  return write2(h, recno, &mark, 0, 1);
}

int32_t append(DbfHandle* h, const void* data) {
  if (h->record_size < 1 || h->record_size > kLargestAppendedRecord)
    return status::kBadDataStructure;
  if (h->record_count == INT32_MAX || record_position(h, h->record_count + 1) < 0)
    return status::kDataWriteError;
  const int32_t old_count = h->record_count;
  const uint16_t old_flags = h->flags;
  h->record_count += 1;
  h->flags = kFlagWritten | kFlagCountChanged;
  uint8_t record[kLargestAppendedRecord];
  record[kRecordMark] = kLiveMark;
  std::memcpy(record + 1, data, static_cast<size_t>(h->record_size - 1));
  const int32_t result = write_record_bytes(h, h->record_count, record, 0, h->record_size, true);
  if (result != status::kOk) {
    // A header must never count a record that was not written.
    h->record_count = old_count;
    h->flags = old_flags;
  }
  return result;
}

// Squeezing deleted records out of the file.
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
        if (rec[kRecordMark] == kLiveMark) {
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
    if (buf[kRecordMark] == kLiveMark) {
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
