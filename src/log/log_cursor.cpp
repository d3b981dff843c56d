// The cursor moves and the loading of the record a move lands on.
#include "log/log_cursor.h"

#include <cstring>

#include "dbf/record_file.h"
#include "frame/status.h"
#include "frame/ui.h"
#include "index/index_file.h"
#include "log/cursor_mode.h"
#include "log/log_keys.h"
#include "log/log_guard.h"
#include "log/log_paths.h"
#include "record/contact_record.h"
#include "record/master_record.h"
#include "record/remark_block.h"
#include "record/view_codec.h"

namespace osp::log {

namespace {

// The record file of a mode and the image its records are loaded into.
struct Target {
  DbfSlot* file;
  uint8_t* image;
  int32_t record_size;  // what the log's open insists on
  bool contacts;
};

Target target_of(LogHandle* log, int32_t m) {
  if (is_contact_mode(m)) return {&log->dbs, log->dbs_image, contact::kRecordSize, true};
  return {&log->mst, log->mst_image, master::kRecordSize, false};
}

bool is_silent(int32_t code) {
  return code >= status::kRecnoAboveCount && code <= status::kStartOfOrder;
}

// Reads record recno of the target's file into record (at least
// contact::kRecordSize bytes). A file whose record size is not the log's
// cannot be loaded into the image.
int32_t read_record(const Target& t, int32_t recno, uint8_t* record) {
  if (t.file->handle.record_size != t.record_size) return status::kBadDataStructure;
  return dbf::read(&t.file->handle, recno, record);
}

// Steps 1 and 2 of loading: read record recno into the image, then check it
// against length bytes of key. In index order a record number outside the
// file means the index is out of step: 15.
int32_t load(LogHandle* log, const Target& t, int32_t recno, int32_t m, const char* key,
             int32_t length, bool index_order) {
  uint8_t record[contact::kRecordSize];
  int32_t r = read_record(t, recno, record);
  if (index_order && (r == status::kRecnoAboveCount || r == status::kRecnoBelowOne))
    r = status::kIndexRebuildNeeded;
  if (r != status::kOk) return r;
  std::memcpy(t.image, record, static_cast<size_t>(t.record_size - 1));
  if (!record_carries_key(log, m, key, length)) return status::kIndexRebuildNeeded;
  return status::kOk;
}

// Step 3 of loading: the contact's remark block and the view.
void finish(LogHandle* log, const Target& t, int32_t m) {
  if (!t.contacts) return;
  if ((m & mode::kNoRemarks) == 0) read_remark_block(log, contact::remark_offset(log->dbs_image));
  unpack_view(log, kUnpackBoth);
}

int32_t require_file(const LogHandle* log, const Target& t) {
  return require_open(log, t.contacts ? need::kContacts : need::kMasters);
}

// Loads the record an index move produced, checked against the key under the
// slot's cursor, and reports a failure unless it is silent.
int32_t load_from_index(LogHandle* log, const Target& t, IdxHandle* idx, int32_t recno,
                        int32_t m, bool report_all) {
  const int32_t r =
      load(log, t, recno, m, index::current_key(idx), index::key_length(idx), true);
  if (r != status::kOk) {
    if (report_all || !is_silent(r)) report_path_status(r, t.file->path);
    return r;
  }
  finish(log, t, m);
  return status::kOk;
}

// True when the key under the slot's cursor has, at position slot + 1, a byte
// above 'A' (for the master indexes the fourth character of CODE).
bool lettered(const IdxHandle* idx, int32_t slot) {
  const char* key = index::current_key(idx);
  if (key == nullptr || slot + 1 >= index::key_length(idx)) return false;
  return static_cast<uint8_t>(key[slot + 1]) > static_cast<uint8_t>('A');
}

int32_t clamp_recno(int64_t n) {
  if (n > INT32_MAX) return INT32_MAX;
  if (n < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(n);
}

// top and bottom, which differ only in the end they go to.
int32_t to_end(LogHandle* log, int32_t m, bool last) {
  if (log == nullptr) return status::kCannotOpen;
  const Target t = target_of(log, m);
  int32_t r = require_file(log, t);
  if (r != status::kOk) return r;
  if (is_record_order(m)) {
    const int32_t recno = last ? t.file->handle.record_count : 1;
    r = load(log, t, recno, m, nullptr, 0, true);
    if (r != status::kOk) {
      report_path_status(r, t.file->path);
      return r;
    }
    finish(log, t, m);
    return status::kOk;
  }
  const int32_t slot = slot_of_mode(m);
  r = require_slot_open(log, slot);
  if (r != status::kOk) return r;
  IdxHandle* idx = &log->index_slot[slot];
  const int32_t recno = last ? index::bottom(idx) : index::top(idx);
  return load_from_index(log, t, idx, recno, m, true);
}

}  // namespace

int32_t read_contact(LogHandle* log, int32_t recno, int32_t options) {
  const int32_t guard = require_open(log, need::kContacts);
  if (guard != status::kOk) return guard;
  const Target t = target_of(log, mode::kContacts);
  uint8_t record[contact::kRecordSize];
  const int32_t r = read_record(t, recno, record);
  if (r != status::kOk) {
    if (!is_silent(r)) report_path_status(r, t.file->path);
    return r;
  }
  std::memcpy(log->dbs_image, record, contact::kDataSize);
  if ((options & kUnpackRemarks) != 0)
    read_remark_block(log, contact::remark_offset(log->dbs_image));
  unpack_view(log, options);
  return status::kOk;
}

int32_t skip(LogHandle* log, int32_t count, int32_t m) {
  if (log == nullptr) return status::kCannotOpen;
  const Target t = target_of(log, m);
  int32_t r = require_file(log, t);
  if (r != status::kOk) return r;

  if (is_record_order(m)) {
    DbfHandle* h = &t.file->handle;
    // The new number stays even when the read fails, so that a walk past the
    // last record can step back onto it.
    const int32_t recno = clamp_recno(static_cast<int64_t>(h->current_recno) + count);
    h->current_recno = recno;
    r = load(log, t, recno, m, nullptr, 0, false);
    if (r != status::kOk) {
      if (!is_silent(r)) report_path_status(r, t.file->path);
      return r;
    }
    finish(log, t, m);
    return status::kOk;
  }

  const int32_t slot = slot_of_mode(m);
  r = require_slot_open(log, slot);
  if (r != status::kOk) return r;
  IdxHandle* idx = &log->index_slot[slot];
  int32_t recno = 0;
  if (count == 0) {
    // No move: the entry the cursor stands on is loaded again.
    recno = index::current_recno(idx);
    if (recno == 0) return status::kEndOfOrder;
  } else {
    const bool forward = count > 0;
    const int64_t steps = forward ? count : -static_cast<int64_t>(count);
    do {
      for (int64_t i = 0; i < steps; ++i) {
        recno = forward ? index::next(idx) : index::back(idx);
        if (recno == 0) return forward ? status::kEndOfOrder : status::kStartOfOrder;
      }
    } while ((m & mode::kPassLettered) != 0 && lettered(idx, slot));
  }
  return load_from_index(log, t, idx, recno, m, false);
}

int32_t seek(LogHandle* log, char* key, int32_t m) {
  if (log == nullptr) return status::kCannotOpen;
  const Target t = target_of(log, m);
  int32_t r = require_file(log, t);
  if (r != status::kOk) return r;
  const int32_t slot = slot_of_mode(m);
  r = require_slot_open(log, slot);
  if (r != status::kOk) return r;
  if (key == nullptr) return status::kEndOfOrder;

  IdxHandle* idx = &log->index_slot[slot];
  const size_t key_text = std::strlen(key);
  const int32_t length = key_text > INT32_MAX ? INT32_MAX : static_cast<int32_t>(key_text);
  const int32_t recno = index::search(idx, key, 0);
  if (recno == 0) return status::kEndOfOrder;
  r = load(log, t, recno, m, key, length, true);
  if (r != status::kOk) {
    report_path_status(r, t.file->path);
    return r;
  }
  if (t.contacts && (m & mode::kTellDuplicate) != 0) {
    const int32_t key_length = index::key_length(idx);
    const size_t compared = length < key_length ? static_cast<size_t>(length)
                                                : static_cast<size_t>(key_length);
    if (index::next(idx) != 0) {
      if (std::memcmp(index::current_key(idx), key, compared) == 0) {
        beep(kSimpleBeep);
        key[0] = '\0';
      }
      index::back(idx);
    } else {
      index::bottom(idx);
    }
  }
  finish(log, t, m);
  return status::kOk;
}

int32_t top(LogHandle* log, int32_t m) { return to_end(log, m, false); }

int32_t bottom(LogHandle* log, int32_t m) { return to_end(log, m, true); }

// The two cursor operations that load nothing: putting a slot's cursor on a
// known entry, and reading the key under it.
namespace {
constexpr int32_t kSlotCount = kLogSlotCount;
}  // namespace

int32_t position_on(LogHandle* log, int32_t recno, int32_t m, const char* key) {
  const int32_t slot = slot_of_mode(m);
  if (log == nullptr || key == nullptr || slot >= kSlotCount || recno == 0)
    return status::kEndOfOrder;
  IdxHandle* idx = &log->index_slot[slot];
  const int32_t key_length = index::key_length(idx);
  if (key_length == 0) return status::kEndOfOrder;
  const size_t text = std::strlen(key);
  const size_t compared = text < static_cast<size_t>(key_length) ? text
                                                                  : static_cast<size_t>(key_length);
  int32_t r = index::search(idx, key, 0);
  while (r != recno) {
    if (r == 0 || std::memcmp(index::current_key(idx), key, compared) != 0)
      return status::kEndOfOrder;
    r = index::next(idx);
  }
  return status::kOk;
}

char* read_key(LogHandle* log, int32_t which) {
  read_key_buffer[0] = '\0';
  const int32_t slot = which & mode::kSlotBits;
  if (log == nullptr || slot >= kSlotCount) return read_key_buffer;
  const IdxHandle* idx = &log->index_slot[slot];
  const char* key = index::current_key(idx);
  if (key == nullptr) return read_key_buffer;
  int32_t n = index::key_length(idx);
  if (n > kReadKeySize - 1) n = kReadKeySize - 1;
  std::memcpy(read_key_buffer, key, static_cast<size_t>(n));
  read_key_buffer[n] = '\0';
  return read_key_buffer;
}

}  // namespace osp::log
