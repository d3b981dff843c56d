#include "contact/sequential_pass.h"

#include <cstring>
#include <new>

#include "dbf/record_file.h"
#include "frame/file.h"
#include "frame/status.h"
#include "log/log_guard.h"
#include "platform/env.h"
#include "record/contact_record.h"
#include "record/remark_block.h"
#include "record/view_codec.h"

namespace osp::contact {

namespace {

using log::kRemarkLengthBytes;

// Reads up to count bytes at offset into buffer, in pieces that a single
// read can take. Returns the number of bytes really read (0 when the file
// cannot be positioned or read).
int64_t read_at(FileHandle f, int64_t offset, uint8_t* buffer, int64_t count) {
  if (file_seek(f, offset) != offset) return 0;
  constexpr int64_t kPiece = int64_t{1} << 30;
  int64_t done = 0;
  while (done < count) {
    const int32_t want = static_cast<int32_t>(count - done < kPiece ? count - done : kPiece);
    const int32_t got = file_read(f, buffer + done, want);
    if (got <= 0) break;
    done += got;
    if (got < want) break;
  }
  return done;
}

// The window on the remarks file for a pass that begins at first_recno:
// the average block bytes per contact times the contacts still to come,
// plus a margin, ending at the end of the file.
void size_window(const LogHandle* log, int32_t first_recno, int64_t* offset, int64_t* length) {
  const int32_t count = log->dbs.handle.record_count;
  int64_t size = 0;
  if (platform::is_open(log->dbr_file)) size = file_size(log->dbr_file);
  if (size < 0) size = 0;
  const int64_t average = size / count;
  *length = average * (static_cast<int64_t>(count) - first_recno + 1) + kWindowMargin;
  *offset = size - *length < 0 ? 0 : size - *length;
}

// Reads the batch that begins with record recno.
void read_batch(LogHandle* log, PassState* p, int32_t recno) {
  const DbfHandle* h = &log->dbs.handle;
  const int64_t at = dbf::record_position(h, recno);
  p->batch_valid =
      at < 0 ? 0 : static_cast<int32_t>(read_at(h->file, at + 1, p->batch, kBatchBytes));
}

// The remark block at offset o of the remarks file into log's remark
// buffer: from the window when the whole block lies in the bytes really
// read into it, else straight from the file as the cursor reads it.
void load_remarks(LogHandle* log, const PassState* p, uint32_t o) {
  const int64_t rel = static_cast<int64_t>(o) - p->window_offset;
  if (o < log::kFirstRemarkOffset || rel < 0 || rel >= p->window_length ||
      rel + kRemarkLengthBytes > p->window_valid) {
    log::read_remark_block(log, o);
    return;
  }
  const uint8_t* block = p->window + rel;
  if (!log::remark_lengths_valid(block)) {
    log::clear_remarks(log);
    log->remark_text[0] = '\0';
    return;
  }
  const int64_t text = block[0] + block[1] + block[2];
  if (rel + kRemarkLengthBytes + text > p->window_valid) {
    log::read_remark_block(log, o);
    return;
  }
  std::memcpy(log->remark_len, block, kRemarkLengthBytes);
  std::memcpy(log->remark_text, block + kRemarkLengthBytes, sizeof log->remark_text);
  log::set_remark_parts(log);
}

}  // namespace

int32_t read_next_contact(LogHandle* log) {
  const int32_t guard = log::require_open(log, log::need::kContacts);
  if (guard != status::kOk) return guard;
  DbfHandle* h = &log->dbs.handle;

  const int32_t recno = h->current_recno >= INT32_MAX ? INT32_MAX : h->current_recno + 1;
  if (recno < 1) return status::kRecnoBelowOne;
  h->current_recno = recno;
  PassState* p = find_pass(log);
  if (recno > h->record_count) {
    end_pass(log);
    return status::kRecnoAboveCount;
  }
  if (h->record_size != log::contact::kRecordSize) {
    log::report_path_status(status::kBadDataStructure, log->dbs.path);
    return status::kBadDataStructure;
  }

  bool first = false;
  if (p == nullptr) {
    int64_t offset = 0;
    int64_t length = 0;
    size_window(log, recno, &offset, &length);
    p = start_pass(log, length);
    if (p == nullptr) {
      log::report_path_status(status::kNoMemory, log->dbs.path);
      return status::kNoMemory;
    }
    p->window_offset = offset;
    first = true;
  }

  // A caller that moved current_recno during the pass gets a fresh batch
  // from the record it named.
  if (p->next_recno != recno) p->batch_index = 0;
  if (p->batch_index == 0) read_batch(log, p, recno);
  const int32_t at = p->batch_index * kBatchRecordSize;
  if (at + log::contact::kDataSize > p->batch_valid) {
    // The file ends before this record's data bytes: nothing stale is
    // delivered.
    end_pass(log);
    log::report_path_status(status::kDataReadError, log->dbs.path);
    return status::kDataReadError;
  }
  std::memcpy(log->dbs_image, p->batch + at, log::contact::kDataSize);

  if (first && platform::is_open(log->dbr_file))
    p->window_valid = read_at(log->dbr_file, p->window_offset, p->window, p->window_length);

  load_remarks(log, p, log::contact::remark_offset(log->dbs_image));
  log::unpack_view(log, log::kUnpackBoth);

  if (++p->batch_index == kBatchRecords) p->batch_index = 0;
  p->next_recno = recno + 1;
  return status::kOk;
}

PassState* find_pass(const LogHandle* log) {
  const log::LogState* state = log::state_of(log);
  return state == nullptr ? nullptr : state->pass;
}

PassState* start_pass(LogHandle* log, int64_t window_length) {
  log::LogState* state = log::state_for(log);
  if (state == nullptr) return nullptr;
  platform::Env* env = platform::env();
  void* memory = env->allocate(sizeof(PassState));
  if (memory == nullptr) return nullptr;
  auto* p = new (memory) PassState;
  p->batch = static_cast<uint8_t*>(
      env->allocate(static_cast<size_t>(kBatchRecords + kBatchSlack) * kBatchRecordSize));
  const uint64_t window_bytes = static_cast<uint64_t>(window_length) + kWindowSlack;
  if (p->batch != nullptr && window_length >= 0 && window_bytes <= SIZE_MAX)
    p->window = static_cast<uint8_t*>(env->allocate(static_cast<size_t>(window_bytes)));
  if (p->batch == nullptr || p->window == nullptr) {
    log::release_pass(p);
    return nullptr;
  }
  p->window_length = window_length;
  log::release_pass(state->pass);
  state->pass = p;
  return p;
}

void end_pass(LogHandle* log) {
  log::LogState* state = log::state_of(log);
  if (state == nullptr) return;
  log::release_pass(state->pass);
  state->pass = nullptr;
}

int32_t active_pass_count() {
  int32_t n = 0;
  for (const log::LogState* s = log::first_state(); s != nullptr; s = s->next)
    n += s->pass != nullptr ? 1 : 0;
  return n;
}

RecordBatch::~RecordBatch() { platform::env()->release(bytes_); }

bool RecordBatch::load(const DbfHandle* h, int32_t first, int32_t count) {
  held_ = 0;
  if (first < 1 || count < 1 || h->record_size < 2 || first > h->record_count) return false;
  if (count > h->record_count - first + 1) count = h->record_count - first + 1;
  const int64_t want = static_cast<int64_t>(count) * h->record_size;
  if (want > INT32_MAX) return false;
  if (want > capacity_) {
    platform::env()->release(bytes_);
    bytes_ = static_cast<uint8_t*>(platform::env()->allocate(static_cast<size_t>(want)));
    capacity_ = bytes_ == nullptr ? 0 : want;
    if (bytes_ == nullptr) return false;
  }
  const int64_t at = dbf::record_position(h, first);
  if (at < 0 || file_seek(h->file, at) != at) return false;
  const int32_t got = file_read(h->file, bytes_, static_cast<int32_t>(want));
  if (got <= 0) return false;
  first_ = first;
  record_size_ = h->record_size;
  held_ = got / record_size_;  // whole records: the mark, then the data bytes
  return held_ > 0;
}

const uint8_t* RecordBatch::data(int32_t recno) const {
  if (held_ == 0 || recno < first_ || recno - first_ >= held_) return nullptr;
  return bytes_ + static_cast<int64_t>(recno - first_) * record_size_ + 1;
}

char RecordBatch::mark(int32_t recno) const {
  const uint8_t* d = data(recno);
  return d == nullptr ? '\0' : static_cast<char>(d[-1]);
}

uint8_t* RecordBatch::mutable_data(int32_t recno) {
  return const_cast<uint8_t*>(static_cast<const RecordBatch*>(this)->data(recno));
}

}  // namespace osp::contact
