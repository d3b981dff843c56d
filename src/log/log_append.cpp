// OSP_append and DB_append: adding a contact (with its remark block) or a
// master entry at the end of its record file.
#include "dbf/record_file.h"
#include "frame/status.h"
#include "log/contact_record.h"
#include "log/key_buffers.h"
#include "log/log_flush.h"
#include "log/log_guard.h"
#include "log/log_writes.h"
#include "log/master_record.h"
#include "log/not_applicable.h"
#include "log/index_edits.h"
#include "log/remark_block.h"
#include "log/remark_write.h"
#include "log/stale_mark.h"
#include "log/view_codec.h"
#include "log/write_question.h"
#include "platform/env.h"

namespace osp::log {

namespace {

// A non-zero word asks first; true when the append may go ahead, with the
// word then set to Yes.
bool confirmed(int32_t* confirm, int32_t use_active) {
  if (confirm == nullptr) return true;
  if (*confirm != 0) {
    *confirm = ask_to_register(WriteKind::kAppend, use_active);
    if (*confirm != platform::kIdYes) return false;
  }
  *confirm = platform::kIdYes;
  return true;
}

// The contact of the view, with its remark block, at the end of the contact
// file; the remarks file's count follows it. Failures are reported.
int32_t append_contact_record(LogHandle* log) {
  pack_view(log);
  pack_remarks(log);
  uint32_t offset = 0;
  RemarkUndo undo;
  int32_t r = append_remark_block(log, &offset, &undo);
  if (r != status::kOk) {
    report_path_status(r, log->dbr_name);
    return r;
  }
  contact::set_remark_offset(log->dbs_image, offset);
  r = dbf::append(&log->dbs.handle, log->dbs_image);
  if (r != status::kOk) {
    // The next open must find the two counts in agreement.
    undo_remark_append(log, undo);
    report_path_status(r, log->dbs.path);
  }
  return r;
}

int32_t append_contact(LogHandle* log, int32_t* confirm) {
  int32_t r = require_open(log, need::kContacts | need::kContactIndexes);
  if (r != status::kOk) return r;
  if (!confirmed(confirm, 0)) return status::kOk;
  mark_contact_indexes_stale(log);
  r = append_contact_record(log);
  if (r != status::kOk) return r;
  const int32_t recno = log->dbs.handle.record_count;
  const uint8_t* data = log->dbs_image;
  insert_entry(log, 0, data + contact::kCalls.data(),
               contact::kDataSize - contact::kCalls.data(), recno);
  insert_entry(log, 1, data + contact::kCode.data(),
               contact::kDataSize - contact::kCode.data(), recno);
  if (log->write_through != 0) flush_contact_files(log);
  return status::kOk;
}

int32_t append_master(LogHandle* log, int32_t* confirm) {
  int32_t r = require_open(log, need::kMasters | need::kMasterIndexes);
  if (r != status::kOk) return r;
  if (!confirmed(confirm, 1)) return status::kOk;
  if (!mark_not_applicable(log->mst_image)) master::set_masks(log->mst_image, 0, 0);
  mark_master_indexes_stale(log);
  r = dbf::append(&log->mst.handle, log->mst_image);
  if (r != status::kOk) {
    report_path_status(r, log->mst.path);
    return r;
  }
  const int32_t recno = log->mst.handle.record_count;
  const uint8_t* data = log->mst_image;
  insert_entry(log, 2, data + master::kCode.data(),
               master::kDataSize - master::kCode.data(), recno);
  // Indexes 3 and 4 order the same entries: they take the new one too, so
  // that a walk through them finds it.
  insert_entry(log, 3, assemble_flg_code_key(log->mst_image),
               master::kFlgCodeKeyLength, recno);
  insert_entry(log, 4, data + master::kFlg.data(),
               master::kDataSize - master::kFlg.data(), recno);
  return status::kOk;
}

}  // namespace

int32_t append(LogHandle* log, int32_t flags, int32_t* confirm) {
  if (log == nullptr) return status::kCannotOpen;
  if ((flags & kWriteContacts) != 0) return append_contact(log, confirm);
  return append_master(log, confirm);
}

int32_t append_without_index(LogHandle* log) {
  const int32_t r = require_open(log, need::kContacts);
  if (r != status::kOk) return r;
  mark_contact_indexes_stale(log);
  return append_contact_record(log);
}

}  // namespace osp::log
