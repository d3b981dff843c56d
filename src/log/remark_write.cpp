#include "log/remark_write.h"

#include <algorithm>

#include "frame/file.h"
#include "frame/status.h"
#include "log/remarks_file.h"
#include "platform/env.h"

namespace osp::log {

namespace {

// The old block at o: its size (3 when there is none, or when its lengths
// exceed their limits and its size is unknown) and, as far as the file holds
// them, its bytes.
struct OldBlock {
  int32_t size = kRemarkLengthBytes;
  bool known = true;  // size is the block's true extent
  int32_t bytes_read = 0;
  uint8_t bytes[kRemarkBlockMax] = {};
};

int32_t read_old_block(const LogHandle* log, uint32_t o, OldBlock* old) {
  if (o == 0) return status::kOk;
  if (o < kFirstRemarkOffset) return status::kRecnoBelowOne;
  if (!platform::is_open(log->dbr_file)) return status::kCannotOpen;
  if (file_seek(log->dbr_file, o) != static_cast<int64_t>(o)) return status::kDataReadError;
  const int32_t got = file_read(log->dbr_file, old->bytes, kRemarkLengthBytes);
  if (got == 0) return status::kOk;  // nothing stands there
  if (got != kRemarkLengthBytes) return status::kDataReadError;
  if (!remark_lengths_valid(old->bytes)) {
    old->known = false;
    return status::kOk;
  }
  const int32_t text = old->bytes[0] + old->bytes[1] + old->bytes[2];
  old->size = kRemarkLengthBytes + text;
  const int32_t text_read = text == 0 ? 0 : file_read(log->dbr_file, old->bytes + 3, text);
  old->bytes_read = kRemarkLengthBytes + (text_read > 0 ? text_read : 0);
  return status::kOk;
}

bool fits_32_bits(int64_t at, int32_t size) { return at + size <= kMaxFilePosition + 1; }

// Writes size bytes of block at position at; true when all were written.
bool write_at(FileHandle f, int64_t at, const uint8_t* block, int32_t size) {
  return file_write_at(f, at, block, size) == size;
}

}  // namespace

void undo_remark_block(LogHandle* log, const RemarkUndo& undo) {
  if (!undo.wrote || !platform::is_open(log->dbr_file)) return;
  if (undo.in_place && undo.old_size > 0)
    write_at(log->dbr_file, undo.at, undo.old_bytes, undo.old_size);
  if (undo.old_end >= 0 && file_size(log->dbr_file) > undo.old_end)
    file_truncate(log->dbr_file, undo.old_end);
}

int32_t write_remark_block(LogHandle* log, uint32_t o, uint32_t* offset, RemarkUndo* undo) {
  *undo = RemarkUndo{};
  uint8_t block[kRemarkBlockMax];
  const int32_t s = remark_block_bytes(log, block);
  OldBlock old;
  const int32_t r = read_old_block(log, o, &old);
  if (r != status::kOk) return r;
  if (s <= kRemarkLengthBytes) {
    *offset = 0;
    log->dbr_dirty = 1;
    return status::kOk;
  }
  if (!platform::is_open(log->dbr_file)) return status::kCannotOpen;
  const int64_t end = file_size(log->dbr_file);
  if (end < 0) return status::kCannotOpen;

  // In place when the block fits where the old one stood, or when the old one
  // is the file's last and may grow; else at the end.
  const bool in_place = o != 0 && old.known &&
                        (old.size >= s || end == static_cast<int64_t>(o) + old.size);
  const int64_t at = in_place ? o : end;
  if (!fits_32_bits(at, s)) return status::kDataWriteError;
  undo->in_place = in_place;
  undo->at = static_cast<uint32_t>(at);
  undo->old_end = end;
  if (in_place) {
    undo->old_size = old.bytes_read;
    std::copy(old.bytes, old.bytes + old.bytes_read, undo->old_bytes);
  }
  undo->wrote = true;
  if (!write_at(log->dbr_file, at, block, s)) {
    undo_remark_block(log, *undo);
    return status::kDataWriteError;
  }
  *offset = static_cast<uint32_t>(at);
  log->dbr_dirty = 1;
  return status::kOk;
}

int32_t append_remark_block(LogHandle* log, uint32_t* offset, RemarkUndo* undo) {
  *undo = RemarkUndo{};
  uint8_t block[kRemarkBlockMax];
  const int32_t s = remark_block_bytes(log, block);
  uint32_t at = 0;
  if (s > kRemarkLengthBytes) {
    if (!platform::is_open(log->dbr_file)) return status::kCannotOpen;
    const int64_t end = file_size(log->dbr_file);
    if (end < 0) return status::kCannotOpen;
    if (!fits_32_bits(end, s)) return status::kDataWriteError;
    undo->at = static_cast<uint32_t>(end);
    undo->old_end = end;
    undo->wrote = true;
    if (file_write_at(log->dbr_file, end, block, s) != s) {
      undo_remark_block(log, *undo);
      return status::kDataWriteError;
    }
    at = static_cast<uint32_t>(end);
  }
  *offset = at;
  log->dbr_dirty = 1;
  add_to_remarks_count(log->dbr_header, 1);
  return status::kOk;
}

void undo_remark_append(LogHandle* log, const RemarkUndo& undo) {
  undo_remark_block(log, undo);
  add_to_remarks_count(log->dbr_header, -1);
  // The raised count may have been written back already.
  log->dbr_dirty = 1;
}

}  // namespace osp::log
