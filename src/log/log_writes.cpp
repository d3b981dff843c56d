// The writes of a log: OSP_update, OSP_append and DB_append, OSP_flush and
// OSP_zap, each over the write protocol (log_write_protocol.h).
#include "log/log_writes.h"

#include <cstring>

#include "dbf/record_file.h"
#include "frame/file.h"
#include "frame/status.h"
#include "index/index_file.h"
#include "index/index_format.h"
#include "record/contact_record.h"
#include "log/held_appends.h"
#include "log/index_slots.h"
#include "log/log_guard.h"
#include "log/log_paths.h"
#include "log/log_write_protocol.h"
#include "record/master_record.h"
#include "record/not_applicable.h"
#include "record/remark_block.h"
#include "log/remarks_file.h"
#include "record/view_codec.h"
#include "platform/env.h"

// OSP_update: rewriting one contact or master entry after the user agreed,
// moving only the index entries whose key changed.

namespace osp::log {

namespace {

constexpr int32_t kOwnerBits = OSP_CONFIRM_OWNER_BITS;  // confirmation word: owner of the question

// How a contact changed: 0 not at all, 1 its record, 2, 4 or 8 (a later test
// overriding an earlier one) remark 1, 2 or 3.
int32_t change_class(const LogHandle* log, const LogHandle* old) {
  int32_t change = 0;
  if (std::memcmp(log->dbs_image, old->dbs_image, static_cast<size_t>(contact::kOfs.data())) != 0)
    change = 1;
  if (std::strncmp(log->view.remark1, old->view.remark1, sizeof log->view.remark1) != 0) change = 2;
  if (std::strncmp(log->view.remark2, old->view.remark2, sizeof log->view.remark2) != 0) change = 4;
  if (std::strncmp(log->view.remark3, old->view.remark3, sizeof log->view.remark3) != 0) change = 8;
  return change;
}

// Asks unless the word suppresses the write; true when the write may go ahead.
bool confirmed(int32_t* confirm, int32_t use_active) {
  const int32_t word = confirm != nullptr ? *confirm : 0;
  if ((word & kWriteSuppressed) != 0) return false;
  const int32_t answer = ask_to_register(WriteKind::kUpdate, use_active);
  if (confirm != nullptr) *confirm = answer;
  return answer == platform::kIdYes;
}

// Reads record recno as stored; a failure is reported with the file's path.
int32_t read_stored(DbfSlot* file, int32_t recno, uint8_t* record) {
  const int32_t r = dbf::read(&file->handle, recno, record);
  if (r != status::kOk) report_path_status(r, file->path);
  return r;
}

// Entry k of the viewer, 1 to viewer_count, shows contact number
// record_count - viewer_count + k.
void refresh_viewer(LogHandle* log, int32_t recno) {
  if (log->viewer == nullptr) return;
  const int64_t k = static_cast<int64_t>(log->viewer_count) -
                    (static_cast<int64_t>(log->dbs.handle.record_count) - recno);
  if (k <= 0 || k > log->viewer_count || k > static_cast<int64_t>(log->viewer_capacity) + 1)
    return;
  log->viewer[k] = log->view;
}

int32_t update_contact(LogHandle* log, const LogHandle* old, int32_t recno, int32_t* confirm) {
  int32_t r = require_open(log, need::kContacts | need::kContactIndexes);
  if (r != status::kOk) return r;
  pack_view(log);
  const int32_t change = change_class(log, old);
  if (change == 0) return status::kOk;
  const int32_t word = confirm != nullptr ? *confirm : 0;
  if (!confirmed(confirm, (word & kOwnerBits) != 0 ? 1 : 0)) return status::kOk;

  uint8_t stored[contact::kRecordSize];
  r = read_stored(&log->dbs, recno, stored);
  if (r != status::kOk) return r;
  if (change >= 2) pack_remarks(log);
  r = protocol::update_contact(log, recno, stored, change >= 2);
  if (r != status::kOk) return r;
  refresh_viewer(log, recno);
  return status::kOk;
}

int32_t update_master(LogHandle* log, LogHandle* old, int32_t recno, int32_t* confirm) {
  int32_t r = require_open(log, need::kMasters | need::kMasterIndexes);
  if (r != status::kOk) return r;
  mark_not_applicable(log->mst_image);
  if (std::memcmp(log->mst_image, old->mst_image, master::kDataSize) == 0) return status::kOk;
  if (!confirmed(confirm, 1)) return status::kOk;

  uint8_t stored[master::kRecordSize + 1];
  r = read_stored(&log->mst, recno, stored);
  if (r != status::kOk) return r;
  r = protocol::update_master(log, recno, stored);
  if (r == status::kOk || r == kEntryMoved || r == status::kIndexRebuildNeeded) {
    // The old copy's first 7 bytes become its FLG and CODE, the old key of
    // index 3, as callers of this update have always found them.
    std::memmove(old->mst_image + 1, old->mst_image, 6);
    old->mst_image[0] = old->mst_image[master::kFlg.data()];
  }
  return r;
}

}  // namespace

int32_t update(LogHandle* log, LogHandle* old_copy, int32_t recno, int32_t flags,
               int32_t* confirm) {
  if (log == nullptr || old_copy == nullptr) return status::kCannotOpen;
  if ((flags & kWriteContacts) != 0) return update_contact(log, old_copy, recno, confirm);
  return update_master(log, old_copy, recno, confirm);
}

}  // namespace osp::log

// OSP_append and DB_append: adding a contact (with its remark block) or a
// master entry at the end of its record file.

namespace osp::log {

namespace {

// A non-zero word asks first; true when the append may go ahead, with the
// word then set to Yes.
bool append_confirmed(int32_t* confirm, int32_t use_active) {
  if (confirm == nullptr) return true;
  if (*confirm != 0) {
    *confirm = ask_to_register(WriteKind::kAppend, use_active);
    if (*confirm != platform::kIdYes) return false;
  }
  *confirm = platform::kIdYes;
  return true;
}

int32_t append_contact(LogHandle* log, int32_t* confirm) {
  const int32_t r = require_open(log, need::kContacts | need::kContactIndexes | need::kMayHold);
  if (r != status::kOk) return r;
  if (!append_confirmed(confirm, 0)) return status::kOk;
  pack_view(log);
  pack_remarks(log);
  return protocol::append_contact(log, protocol::Indexing::kWithIndexes);
}

int32_t append_master(LogHandle* log, int32_t* confirm) {
  const int32_t r = require_open(log, need::kMasters | need::kMasterIndexes);
  if (r != status::kOk) return r;
  if (!append_confirmed(confirm, 1)) return status::kOk;
  if (!mark_not_applicable(log->mst_image)) master::set_masks(log->mst_image, 0, 0);
  return protocol::append_master(log);
}

}  // namespace

int32_t append(LogHandle* log, int32_t flags, int32_t* confirm) {
  if (log == nullptr) return status::kCannotOpen;
  if ((flags & kWriteContacts) != 0) return append_contact(log, confirm);
  return append_master(log, confirm);
}

int32_t append_without_index(LogHandle* log) {
  const int32_t r = require_open(log, need::kContacts | need::kMayHold);
  if (r != status::kOk) return r;
  pack_view(log);
  pack_remarks(log);
  return protocol::append_contact(log, protocol::Indexing::kWithoutIndexes);
}

}  // namespace osp::log

namespace osp::log {

namespace {

int32_t flush_record_file(DbfHandle* h) {
  return platform::is_open(h->file) ? dbf::flush(h) : status::kOk;
}

// Keeps the first failure.
void keep_first(int32_t* first, int32_t result) {
  if (*first == status::kOk) *first = result;
}

}  // namespace

int32_t flush_log(LogHandle* log) {
  if (log == nullptr) return status::kCannotOpen;
  // A flush ends a bulk run: what it holds is written first.
  int32_t first = end_bulk(log);
  keep_first(&first, flush_record_file(&log->mst.handle));
  keep_first(&first, flush_record_file(&log->dbs.handle));
  keep_first(&first, protocol::sync_remarks_file(log));
  for (int i = 0; i < kLogIndexCount; ++i) {
    keep_first(&first, index::flush(&log->index_slot[i]));
    // An index whose changed pages cannot reach its file is out of step
    // with it: dropped, as an edit that fails drops it, and built anew by
    // the next open.
    if (index::has_unwritten_pages(&log->index_slot[i])) drop_index(log, i);
  }
  return platform::is_open(log->dbs.handle.file) ? first : status::kCannotOpen;
}

}  // namespace osp::log

// OSP_zap: emptying the contact file, the remarks file and the indexes over
// the contact file.

namespace osp::log {

namespace {

// Removes every entry of an open index slot, first to last. When an entry
// does not go away (a page could not be written, or the tree holds it
// twice), the slot is dropped for the next open to build anew.
void empty_index(LogHandle* log, int slot) {
  IdxHandle* idx = &log->index_slot[slot];
  const int32_t length = index::key_length(idx);
  uint8_t previous_key[index::kMaxKeyLength];
  int32_t previous = 0;
  for (;;) {
    const int32_t recno = index::top(idx);
    if (recno == 0) return;
    const char* key = index::current_key(idx);
    const bool again =
        recno == previous && std::memcmp(key, previous_key, static_cast<size_t>(length)) == 0;
    previous = recno;
    std::memcpy(previous_key, key, static_cast<size_t>(length));
    if (again || index::remove(idx) != 0) {
      drop_index(log, slot);
      return;
    }
  }
}

}  // namespace

void zap(LogHandle* log) {
  if (log == nullptr || !platform::is_open(log->dbs.handle.file)) return;
  protocol::begin_contact_change(log);

  // The header says 0 contacts before the records go, so that a file cut
  // short is never taken for one that holds them.
  DbfHandle* dbs = &log->dbs.handle;
  dbs->record_count = 0;
  dbs->flags = dbf::kFlagWritten | dbf::kFlagCountChanged;
  dbf::write_back_header(dbs);
  file_truncate(dbs->file, static_cast<int64_t>(static_cast<uint16_t>(dbs->header_size)) + 1);
  // Written back once more at the next flush or close, should the write
  // above not have reached the file.
  dbs->flags = dbf::kFlagWritten | dbf::kFlagCountChanged;

  set_remarks_count(log->dbr_header, 0);
  log->dbr_dirty = 1;
  if (platform::is_open(log->dbr_file) && write_back_remarks_header(log) == 0) {
    file_truncate(log->dbr_file, kRemarksHeaderSize);
    log->dbr_dirty = 1;
  }

  empty_index(log, 0);
  empty_index(log, 1);
}

}  // namespace osp::log
